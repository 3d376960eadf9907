#include "chart/labels.h"

#include <gdfonts.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "input/sample.h"

namespace {

constexpr const char* kRightMark = " (R)";

unsigned char* text(char* s) {
  return reinterpret_cast<unsigned char*>(s);
}

// Rows between a label and the line between bands, and at least between two
// labels of bands, so that two labels do not read as one number.
constexpr int kApart = 4;

// A value label: its text and the rows (lo, hi] it covers, written upwards
// from hi.
struct ValueLabel {
  char text[32];
  int lo, hi;
};

// The min and max labels of scale k, max first. The outer ones sit as one
// scale's always have, across the band's ends; between `bands`, each keeps
// inside its own band, clear of the line between them.
void scale_labels(const RunState& st, int k, bool bands, int w, ValueLabel out[2]) {
  const Scale& sc = st.scales[k];
  for (int i = 0; i < 2; ++i) {
    ValueLabel& l = out[i];
    snprintf(l.text, sizeof l.text, "%g", static_cast<double>(i == 0 ? sc.max : sc.min));
    // The products are unsigned, as the label lengths are.
    size_t len = strlen(l.text);
    int length = static_cast<int>(len * w);
    if (i == 0) {
      l.hi = !bands || k == 0 ? sc.top + static_cast<int>(len * (w + w) / 3u)
                              : sc.top + kApart + length;
    } else {
      l.hi = !bands || k == st.num_scales - 1 ? sc.top + sc.rows + static_cast<int>(len * w / 3u)
                                              : sc.top + sc.rows - kApart;
    }
    l.lo = l.hi - length;
  }
}

// Each scale's min and max, upwards in its margin. With bands, a label that
// would run into one drawn before it is left out.
void draw_value_labels(const RunState& st, gdFontPtr font) {
  ValueLabel drawn[2 * kMaxSeries];
  int count = 0;
  bool bands = st.settings.panels && st.num_scales > 1;
  for (int k = 0; k < st.num_scales; ++k) {
    const Scale& sc = st.scales[k];
    int x = (sc.right ? st.margin + st.plot_width + 1 : 0) + st.margin / 2 - font->h / 2;
    ValueLabel pair[2];
    scale_labels(st, k, bands, font->w, pair);
    for (ValueLabel& l : pair) {
      bool clear = true;
      for (int j = 0; bands && j < count; ++j) {
        if (l.lo < drawn[j].hi + kApart && drawn[j].lo < l.hi + kApart) clear = false;
      }
      if (!clear) continue;
      gdImageStringUp(st.im_out, font, x, l.hi, text(l.text), st.colours[0]);
      drawn[count++] = l;
    }
  }
}

// Writes at most size bytes: an empty text when t has no local time. With
// `millis`, a span under 100 s shows the milliseconds, rounded down.
void format_time(char* buf, size_t size, time_t t, int nanos, double span, bool millis) {
  struct tm tm;
  const char* format = span < 100 ? "%H:%M:%S" : span < 86400 ? "%H:%M" : "%d,%H:%M";
  size_t length = localtime_r(&t, &tm) ? strftime(buf, size, format, &tm) : 0;
  buf[length] = '\0';
  if (length > 0 && millis && span < 100)
    snprintf(buf + length, size - length, ".%03d", nanos / 1000000);
}

// A series' name, cut to `fit` characters (one at least), else its number:
// its field's with -c, else its own. A series on the right scale is marked.
std::string key_label(const RunState& st, int n, int fit) {
  const char* mark = st.settings.right >> n & 1 ? kRightMark : "";
  fit -= static_cast<int>(strlen(mark));
  if (!st.names[n].empty()) return st.names[n].substr(0, std::max(fit, 1)) + mark;
  return std::to_string(st.settings.columns_spec ? st.settings.field_of(n) : n) + mark;
}

}  // namespace

void draw_key(const RunState& st, int width) {
  const Range& r = st.range;
  if (r.num_active == 0) return;
  gdFontPtr font = gdFontGetSmall();
  int slot = (width - st.margin) / (r.num_active > 3 ? r.num_active : 4);
  int third = slot / 3, half = slot / 2;
  int ly = st.margin / 2, ty = st.margin / 2 - font->h / 2;
  int k = 0;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!r.active[n]) continue;
    int x0 = k * slot + st.margin;
    gdImageLine(st.im_out, x0, ly, x0 + third, ly, st.colours[n]);
    std::string label = key_label(st, n, (slot - half) / font->w);
    gdImageString(st.im_out, font, x0 + half, ty, text(label.data()), st.colours[0]);
    ++k;
  }
}

void draw_labels(const RunState& st) {
  gdFontPtr font = gdFontGetSmall();
  char buf[64];
  draw_value_labels(st, font);

  const Range& r = st.range;
  double span = seconds_between(r.start_time, r.start_nanos, r.end_time, r.end_nanos);
  bool millis = r.start_nanos != 0 || r.end_nanos != 0;
  int y = st.settings.height - st.margin / 2 - font->h / 2 + 2;
  format_time(buf, 31, r.start_time, r.start_nanos, span, millis);
  gdImageString(st.im_out, font, st.margin, y, text(buf), st.colours[0]);
  format_time(buf, 31, r.end_time, r.end_nanos, span, millis);
  int len = static_cast<int>(strlen(buf));
  // Ending at the plot area's right end, left of the right scale's labels.
  gdImageString(st.im_out, font, st.margin + st.plot_width - 1 - len * font->w, y, text(buf),
                st.colours[0]);
}
