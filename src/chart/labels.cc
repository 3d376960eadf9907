#include "chart/labels.h"

#include <gdfonts.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "input/sample.h"

namespace {

unsigned char* text(char* s) {
  return reinterpret_cast<unsigned char*>(s);
}

void draw_value_labels(const RunState& st, gdFontPtr font, char* buf, size_t size) {
  int x = st.margin / 2 - font->h / 2;
  int black = st.colours[0];
  // The products are unsigned, as the label lengths are.
  snprintf(buf, size, "%g", static_cast<double>(st.range.min));
  size_t len = strlen(buf);
  int y = st.settings.height - st.margin + static_cast<int>(len * font->w / 3u);
  gdImageStringUp(st.im_out, font, x, y, text(buf), black);

  snprintf(buf, size, "%g", static_cast<double>(st.range.max));
  len = strlen(buf);
  y = st.margin + static_cast<int>(len * (font->w + font->w) / 3u);
  gdImageStringUp(st.im_out, font, x, y, text(buf), black);
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
// its field's with -c, else its own.
std::string key_label(const RunState& st, int n, int fit) {
  if (!st.names[n].empty()) return st.names[n].substr(0, std::max(fit, 1));
  return std::to_string(st.settings.columns_spec ? st.settings.field_of(n) : n);
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
  draw_value_labels(st, font, buf, sizeof buf);

  const Range& r = st.range;
  double span = seconds_between(r.start_time, r.start_nanos, r.end_time, r.end_nanos);
  bool millis = r.start_nanos != 0 || r.end_nanos != 0;
  int y = st.settings.height - st.margin / 2 - font->h / 2 + 2;
  format_time(buf, 31, r.start_time, r.start_nanos, span, millis);
  gdImageString(st.im_out, font, st.margin, y, text(buf), st.colours[0]);
  format_time(buf, 31, r.end_time, r.end_nanos, span, millis);
  int len = static_cast<int>(strlen(buf));
  gdImageString(st.im_out, font, st.settings.width - len * font->w - 2, y, text(buf),
                st.colours[0]);
}
