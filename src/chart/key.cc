#include "chart/key.h"

#include <gdfonts.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "chart/palette.h"
#include "chart/scan.h"
#include "common/text.h"

namespace {

constexpr const char* kRightMark = " (R)";

// One entry: its sample line from x to x + line, its label from x + indent:
// the name (in the font's glyphs) or the number, then the mark. `named`:
// the label is a name, which may be cut. --by's texts left out have an
// entry without a line, series -1.
struct Entry {
  int series, x;
  std::string name, mark;
  bool named;
  int length() const { return static_cast<int>(name.size() + mark.size()); }
};

struct Key {
  int line, indent;
  std::vector<Entry> entries;
};

// The even share of the width: entries `slot` apart, where no name is
// longer than `fit` characters with its mark (or longer than one).
struct Share {
  int slot, fit;
};

Share even_share(const RunState& st, int width, int char_width, int entries) {
  int slot = (width - st.margin) / std::max(entries, 4);
  return Share{slot, (slot - slot / 2) / char_width};
}

// The entries with their labels, not yet placed.
std::vector<Entry> labels(const RunState& st) {
  std::vector<Entry> entries;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!st.range.active[n]) continue;
    Entry e{n, 0, in_font(st.names[n]), st.settings.right >> n & 1 ? kRightMark : "",
            !st.names[n].empty()};
    if (!e.named) e.name = std::to_string(st.settings.columns_spec ? st.settings.field_of(n) : n);
    entries.push_back(e);
  }
  if (st.left_out > 0) {
    std::string count = st.left_out < kMostLeftOut ? std::to_string(st.left_out) : "many";
    entries.push_back(Entry{-1, 0, "+" + count + " more", "", false});
  }
  return entries;
}

// Entries `slot` apart.
void place_evenly(std::vector<Entry>& entries, const RunState& st, Share share) {
  int x = st.margin;
  for (Entry& e : entries) {
    e.x = x;
    x += share.slot;
  }
}

// The width of entry e with the least share `least`: after its label, but
// for the last, the room between a sample line and its label (a character
// at least).
int width_of(const Entry& e, const Key& key, int least, int char_width, bool last) {
  int after = last ? 0 : std::max(key.indent - key.line, char_width);
  return std::max(least, key.indent + e.length() * char_width + after);
}

int total(const Key& key, int least, int char_width) {
  int sum = 0;
  for (const Entry& e : key.entries)
    sum += width_of(e, key, least, char_width, &e == &key.entries.back());
  return sum;
}

// Names of entries wider than the room: the longest name loses its last
// character, until all fit or every name is one character.
void cut_longest(Key& key, int room, int cw) {
  while (total(key, 0, cw) > room) {
    Entry* longest = nullptr;
    for (Entry& e : key.entries) {
      bool cut = e.named && e.name.size() > 1;
      if (cut && (!longest || e.name.size() > longest->name.size())) longest = &e;
    }
    if (!longest) return;
    longest->name.pop_back();
  }
}

// Entries as wide as the share or their labels, left to right.
void place_by_names(Key& key, const RunState& st, int width, Share share, int cw) {
  int room = width - st.margin, least = share.slot;
  // No name is longer than the room, whatever the header holds.
  for (Entry& e : key.entries)
    e.name.resize(std::min<size_t>(e.name.size(), std::max(room / cw, 1)));
  while (least > 0 && total(key, least, cw) > room) --least;
  cut_longest(key, room, cw);
  int x = st.margin;
  for (Entry& e : key.entries) {
    e.x = x;
    x += width_of(e, key, least, cw, &e == &key.entries.back());
  }
}

Key lay_out(const RunState& st, int width, int char_width) {
  std::vector<Entry> entries = labels(st);
  Share share = even_share(st, width, char_width, static_cast<int>(entries.size()));
  Key key{share.slot / 3, share.slot / 2, entries};
  bool fits = std::all_of(key.entries.begin(), key.entries.end(), [&](const Entry& e) {
    int fit = std::max(share.fit - static_cast<int>(e.mark.size()), 1);
    return (!e.named && e.series >= 0) || static_cast<int>(e.name.size()) <= fit;
  });
  // A key without names always fits: numbers are never cut. The count of
  // texts left out is placed as names are where it does not fit.
  if (!fits && key.entries.back().series < 0) {
    // The count of texts left out keeps its room at the right end.
    Entry count = key.entries.back();
    key.entries.pop_back();
    int reserved = key.indent + count.length() * char_width;
    place_by_names(key, st, width - reserved, share, char_width);
    count.x = width - reserved;
    key.entries.push_back(count);
  } else if (!fits) {
    place_by_names(key, st, width, share, char_width);
  } else {
    place_evenly(key.entries, st, share);
  }
  return key;
}

}  // namespace

void draw_key(const RunState& st, int width) {
  gdFontPtr font = gdFontGetSmall();
  Key key = lay_out(st, width, font->w);
  int ly = st.margin / 2, ty = st.margin / 2 - font->h / 2;
  for (const Entry& e : key.entries) {
    if (e.series >= 0) gdImageLine(st.im_out, e.x, ly, e.x + key.line, ly, st.colours[e.series]);
    std::string label = e.name + e.mark;
    gdImageString(st.im_out, font, e.x + key.indent, ty,
                  reinterpret_cast<unsigned char*>(label.data()), st.colours[0]);
  }
}

int key_end(const RunState& st) {
  gdFontPtr font = gdFontGetSmall();
  Key key = lay_out(st, st.settings.width, font->w);
  if (key.entries.empty()) return st.margin;
  const Entry& last = key.entries.back();
  return last.x + key.indent + last.length() * font->w;
}

gdImagePtr with_title(RunState& st, const char* title, int rows) {
  gdImagePtr chart = st.im_out;
  gdImagePtr whole = gdImageCreate(gdImageSX(chart), gdImageSY(chart) + rows);
  if (!whole) return nullptr;
  st.im_out = whole;
  allocate_colours(st);  // the same indices
  // Row by row: gdImageCopy would map the palette's repeated colours to their first index.
  for (int y = 0; y < gdImageSY(chart); ++y) {
    memcpy(whole->pixels[y + rows], chart->pixels[y], gdImageSX(chart));
  }
  gdFontPtr font = gdFontGetSmall();
  std::string text = in_font(as_utf8(title));
  text.resize(std::min<size_t>(text.size(), gdImageSX(whole) / font->w));
  int x = (gdImageSX(whole) - static_cast<int>(text.size()) * font->w) / 2;
  gdImageString(whole, font, x, rows / 2 - font->h / 2,
                reinterpret_cast<unsigned char*>(text.data()), st.colours[0]);
  return whole;
}
