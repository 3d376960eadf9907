#include "chart/labels.h"

#include <gdfonts.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chart/key.h"
#include "chart/round_time.h"
#include "chart/value_text.h"
#include "input/sample.h"

namespace {

// gd takes text as unsigned and not const, but does not write it.
unsigned char* text(const char* s) {
  return reinterpret_cast<unsigned char*>(const_cast<char*>(s));
}

// Rows between a label and the line between bands, and at least between two
// labels of bands, so that two labels do not read as one number.
constexpr int kApart = 4;

// A value label: its text and the rows (lo, hi] it covers, written upwards
// from hi, in the right margin or the left.
struct ValueLabel {
  char text[32];
  int lo, hi;
  bool right;
};

// The column a value label is drawn upwards from.
int label_x(const RunState& st, gdFontPtr font, bool right) {
  return (right ? st.margin + st.plot_width + 1 : 0) + st.margin / 2 - font->h / 2;
}

// Moves l along its margin just enough to stand in rows `first` to `last`;
// where it cannot, its start (its bottom) stands.
void fit(ValueLabel& l, int first, int last) {
  int by = l.lo < first - 1 ? first - 1 - l.lo : 0;
  if (l.hi + by > last) by = last - l.hi;
  l.lo += by;
  l.hi += by;
}

// The last row of the key's labels.
int key_last_row(const RunState& st, gdFontPtr font) {
  return st.margin / 2 - font->h / 2 + font->h - 1;
}

// Whether l reaches the key's row in columns that the key reaches: from the
// margin to its last label's end.
bool under_key(const RunState& st, gdFontPtr font, const ValueLabel& l) {
  int x = label_x(st, font, l.right);
  return st.range.num_active > 0 && l.lo < key_last_row(st, font) && x + font->h > st.margin &&
         x < key_end(st);
}

// Moves an outer label that the image's edge would cut, or a max label that
// would cross the key, just enough to stand whole: kApart rows below the
// key, and above the time labels where the image is tall enough.
void keep_whole(const RunState& st, gdFontPtr font, bool max, ValueLabel& l) {
  int height = st.settings.height;
  bool crosses_key = max && under_key(st, font, l);
  if (l.lo >= -1 && l.hi < height && !crosses_key) return;
  int time_row = height - st.margin / 2 - font->h / 2 + 2;
  int first = crosses_key ? key_last_row(st, font) + 1 + kApart : 0;
  fit(l, first, !max && l.hi - l.lo <= time_row ? time_row - 1 : height - 1);
}

// The min and max labels of scale k, max first. The outer ones sit as one
// scale's always have, across the band's ends, unless that would cut them;
// between `bands`, each keeps inside its own band, clear of the line between
// them.
void scale_labels(const RunState& st, int k, bool bands, gdFontPtr font, ValueLabel out[2]) {
  const Scale& sc = st.scales.of[k];
  int w = font->w;
  for (int i = 0; i < 2; ++i) {
    ValueLabel& l = out[i];
    l.right = sc.right;
    // Six digits as %g writes them; four with SI prefixes.
    value_text(l.text, sizeof l.text, i == 0 ? sc.max : sc.min, st.settings.si ? 4 : 6,
               st.settings.si);
    // The products are unsigned, as the label lengths are.
    size_t len = strlen(l.text);
    int length = static_cast<int>(len * w);
    bool outer = !bands || k == (i == 0 ? 0 : st.scales.count - 1);
    if (i == 0) {
      l.hi = outer ? sc.top + static_cast<int>(len * (w + w) / 3u) : sc.top + kApart + length;
    } else {
      l.hi = outer ? sc.top + sc.rows + static_cast<int>(len * w / 3u) : sc.top + sc.rows - kApart;
    }
    l.lo = l.hi - length;
    if (outer) keep_whole(st, font, i == 0, l);
  }
}

// Draws l upwards in its margin, unless it would come within `apart` rows of
// a label drawn there before; a negative `apart` draws it anyway.
void draw_value_label(const RunState& st, gdFontPtr font, const ValueLabel& l, int apart,
                      std::vector<ValueLabel>& drawn) {
  for (const ValueLabel& d : drawn) {
    if (apart >= 0 && d.right == l.right && l.lo < d.hi + apart && d.lo < l.hi + apart) return;
  }
  gdImageStringUp(st.im_out, font, label_x(st, font, l.right), l.hi, text(l.text), st.colours[0]);
  drawn.push_back(l);
}

// Each scale's min and max, then its grid values, each centred on its line.
// With bands, a min or max label that would run into one drawn before it is
// left out; a grid value is left out within two characters of another.
void draw_value_labels(const RunState& st, gdFontPtr font) {
  std::vector<ValueLabel> drawn;
  bool bands = st.settings.panels && st.scales.count > 1;
  for (int k = 0; k < st.scales.count; ++k) {
    ValueLabel pair[2];
    scale_labels(st, k, bands, font, pair);
    for (ValueLabel& l : pair) draw_value_label(st, font, l, bands ? kApart : -1, drawn);
  }
  for (int k = 0; k < st.scales.count; ++k) {
    for (const Tick& t : st.ticks.values[k]) {
      ValueLabel l;
      snprintf(l.text, sizeof l.text, "%s", t.text);
      int length = static_cast<int>(strlen(l.text)) * font->w;
      l.hi = t.at + length / 2;
      l.lo = l.hi - length;
      l.right = st.scales.of[k].right;
      draw_value_label(st, font, l, 2 * font->w, drawn);
    }
  }
}

// Each round time's label centred under its line, unless it would come within
// two characters of the first or last time label, or of the one before it.
// `after` is where the first time label ends, `before` where the last begins.
void draw_time_ticks(const RunState& st, gdFontPtr font, int y, int after, int before) {
  int gap = 2 * font->w;
  for (const Tick& t : st.ticks.times) {
    int length = static_cast<int>(strlen(t.text)) * font->w;
    int x = t.at - length / 2;
    if (x < after + gap || x + length + gap > before) continue;
    gdImageString(st.im_out, font, x, y, text(t.text), st.colours[0]);
    after = x + length;
  }
}

// Writes at most size bytes: an empty text when t has no local time. With
// `millis`, a span under 100 s shows the milliseconds, rounded down; with
// `dates` the date comes first, in the place of a day's "DD,".
void format_time(char* buf, size_t size, time_t t, int nanos, double span, bool millis,
                 bool dates) {
  const char* format = span < 100     ? (dates ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S")
                       : span < 86400 ? (dates ? "%Y-%m-%d %H:%M" : "%H:%M")
                                      : (dates ? "%Y-%m-%d %H:%M" : "%d,%H:%M");
  size_t length = local_time_text(buf, size, format, t);
  if (length > 0 && millis && span < 100)
    snprintf(buf + length, size - length, ".%03d", nanos / 1000000);
}

// The label of the first or the last record's time (t, nanos): with
// --elapsed the time since the first, else as format_time writes it.
void time_label(char* buf, size_t size, const RunState& st, time_t t, int nanos, bool dates) {
  const Range& r = st.range;
  double span = seconds_between(r.start_time, r.start_nanos, r.end_time, r.end_nanos);
  bool millis = r.start_nanos != 0 || r.end_nanos != 0;
  if (st.settings.elapsed) {
    Nanos since = nanos_between(r.start_time, r.start_nanos, t, nanos);
    format_elapsed(buf, size, since, millis && span < 100 ? 3 : 0);
  } else {
    format_time(buf, size, t, nanos, span, millis, dates);
  }
}

}  // namespace

void draw_labels(const RunState& st) {
  gdFontPtr font = gdFontGetSmall();
  char buf[64];
  draw_value_labels(st, font);

  const Range& r = st.range;
  int y = st.settings.height - st.margin / 2 - font->h / 2 + 2;
  bool dates = st.settings.dates;
  time_label(buf, 31, st, r.start_time, r.start_nanos, dates);
  // A dated label that would leave the image is written without its date.
  if (dates && st.margin + static_cast<int>(strlen(buf)) * font->w > st.settings.width) {
    dates = false;
    time_label(buf, 31, st, r.start_time, r.start_nanos, dates);
  }
  gdImageString(st.im_out, font, st.margin, y, text(buf), st.colours[0]);
  int after = st.margin + static_cast<int>(strlen(buf)) * font->w;
  time_label(buf, 31, st, r.end_time, r.end_nanos, dates);
  int len = static_cast<int>(strlen(buf));
  // Ending at the plot area's right end, left of the right scale's labels.
  int before = st.margin + st.plot_width - 1 - len * font->w;
  // Dated and elapsed labels are long: in a narrow image the last is left
  // out where it would come within two characters of the first.
  if ((st.settings.dates || st.settings.elapsed) && before < after + 2 * font->w)
    before = st.margin + st.plot_width;
  else
    gdImageString(st.im_out, font, before, y, text(buf), st.colours[0]);
  draw_time_ticks(st, font, y, after, before);
}
