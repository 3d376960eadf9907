#include "plot.h"

#include <cmath>
#include <utility>

#include "line_reader.h"
#include "record.h"

namespace {

// Pixel positions are bounded to about +-2^29 before any conversion to int,
// so that a point far outside the image stays defined; gd clips it.
constexpr double kPixelBound = 536870912.0;

double bound(double v) {
  if (std::isnan(v)) return 0;
  return std::fmax(-kPixelBound, std::fmin(kPixelBound, v));
}

int bounded_sum(long long a, double b) {
  return static_cast<int>(bound(static_cast<double>(a) + bound(b)));
}

bool has_value(const Sample& s, int n) { return s.flags[n] && !std::isnan(s.values[n]); }

}  // namespace

Scales make_scales(const RunState& st) {
  const Range& r = st.range;
  Scales sc;
  sc.hscale = static_cast<float>(st.plot_width / static_cast<double>(r.end_time - r.start_time));
  sc.vscale = static_cast<float>(1.0 / (static_cast<double>(r.min) - static_cast<double>(r.max)));
  sc.e = st.height - 2 * st.margin;
  return sc;
}

int map_x(const RunState& st, const Scales& sc, time_t t) {
  double dt = static_cast<double>(t - st.range.start_time);
  return bounded_sum(st.margin, std::floor(dt * static_cast<double>(sc.hscale) + 0.5));
}

int map_y(const RunState& st, const Scales& sc, float v) {
  if (std::isinf(v)) v = v > 0 ? st.range.max : st.range.min;
  double p =
      static_cast<double>(sc.e - 1) * (static_cast<double>(v) - static_cast<double>(st.range.min));
  if (std::isinf(sc.vscale)) {
    // A range narrower than 1 / FLT_MAX overflows the float scale; dividing
    // in double keeps it on the plot instead of throwing max off the image.
    p /= static_cast<double>(st.range.min) - static_cast<double>(st.range.max);
  } else {
    p *= static_cast<double>(sc.vscale);
  }
  return bounded_sum(static_cast<long long>(st.margin) + sc.e, std::trunc(bound(p)));
}

void draw_frame(const RunState& st) {
  int left = st.margin, top = st.margin;
  int right = st.width - 1, bottom = st.height - st.margin - 1;
  gdImageDashedLine(st.im_out, left, top, right, top, st.grid);
  gdImageDashedLine(st.im_out, right, top, right, bottom, st.grid);
  gdImageDashedLine(st.im_out, right, bottom, left, bottom, st.grid);
  gdImageDashedLine(st.im_out, left, bottom, left, top, st.grid);
}

void plot_to_point(const RunState& st, const Scales& sc, int n, int x_cur, int x_prev,
                   const Sample& cur, const Sample& prev) {
  if (!has_value(cur, n)) return;
  int colour = st.colours[n];
  int y_cur = map_y(st, sc, cur.values[n]);
  if (has_value(prev, n)) {
    int y_prev = map_y(st, sc, prev.values[n]);
    gdImageLine(st.im_out, x_prev, y_prev, x_cur, y_cur, colour);
  } else {
    gdImageSetPixel(st.im_out, x_cur, y_cur, colour);
  }
}

void plot_pass(RunState& st, const Scales& sc, LineReader& in) {
  Sample* cur = &st.sample1;
  Sample* prev = &st.sample2;
  int x1 = st.margin, x2 = st.margin;  // x of sample1, of sample2
  int counter = 0;
  int result;
  while ((result = read_line(in, cur->values, cur->flags, counter, &cur->time, st.tform)) != 2) {
    if (result != 0) continue;
    if (st.sample1.time > 0) x1 = map_x(st, sc, st.sample1.time);
    if (st.sample2.time > 0) x2 = map_x(st, sc, st.sample2.time);
    bool cur_is_1 = cur == &st.sample1;
    int x_cur = cur_is_1 ? x1 : x2, x_prev = cur_is_1 ? x2 : x1;
    for (int ch = 0; ch < kMaxSeries; ++ch) {
      if (st.range.active[ch] && cur->flags[ch]) plot_to_point(st, sc, ch, x_cur, x_prev, *cur, *prev);
    }
    ++counter;
    std::swap(cur, prev);
  }
}
