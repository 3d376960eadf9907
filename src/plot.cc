#include "plot.h"

#include <cmath>
#include <utility>

#include "fast_line.h"
#include "line_reader.h"
#include "record.h"

namespace {

// Pixel positions are bounded to about +-2^29 before any conversion to int,
// so that a point far outside the image stays defined; gd clips it.
constexpr double kPixelBound = 536870912.0;

double bound(double v) {
  if (std::isnan(v)) return 0;
  // Comparisons, not fmax/fmin: those are library calls, made per sample.
  return v < -kPixelBound ? -kPixelBound : v > kPixelBound ? kPixelBound : v;
}

int bounded_sum(long long a, double b) {
  return static_cast<int>(bound(static_cast<double>(a) + bound(b)));
}

bool has_value(const Sample& s, int n) {
  return s.flags[n] && !std::isnan(s.values[n]);
}

// A line from the previous sample to the current one, or a single pixel when
// there is no previous sample.
void draw_step(const RunState& st, int n, int x_cur, int y_cur, int x_prev, const int* y_prev) {
  int colour = st.colours[n];
  if (y_prev) {
    fast_line(st.im_out, x_prev, *y_prev, x_cur, y_cur, colour);
  } else {
    gdImageSetPixel(st.im_out, x_cur, y_cur, colour);
  }
}

// The x and the rows of one sample buffer, kept from the record that filled
// it, so that each sample is mapped once rather than again as the previous.
struct Mapped {
  int x;
  int y[kMaxSeries];
};

void map_rows(const RunState& st, const Scales& sc, const Sample& s, const int* series, int count,
              Mapped* m) {
  for (int i = 0; i < count; ++i) {
    int n = series[i];
    if (has_value(s, n)) m->y[n] = map_y(st, sc, s.values[n]);
  }
}

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
  int y_prev = has_value(prev, n) ? map_y(st, sc, prev.values[n]) : 0;
  draw_step(st, n, x_cur, map_y(st, sc, cur.values[n]), x_prev,
            has_value(prev, n) ? &y_prev : nullptr);
}

// What plot_to_point draws for every active series of every record, with
// each time and each value mapped once.
void plot_pass(RunState& st, const Scales& sc, LineReader& in) {
  int series[kMaxSeries], count = 0;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (st.range.active[n]) series[count++] = n;
  }
  Sample* cur = &st.sample1;
  Sample* prev = &st.sample2;
  Mapped m1, m2;
  Mapped* mcur = &m1;
  Mapped* mprev = &m2;
  // Both x start at the margin. Buffer 1 is read first, so only buffer 2's
  // x can come from the time it holds, at the first record.
  m1.x = st.margin;
  m2.x = st.sample2.time > 0 ? map_x(st, sc, st.sample2.time) : st.margin;
  map_rows(st, sc, st.sample2, series, count, &m2);
  int counter = 0;
  int result;
  while ((result = read_line(in, cur->values, cur->flags, counter, &cur->time, st.tform)) != 2) {
    if (result != 0) continue;
    if (cur->time > 0) mcur->x = map_x(st, sc, cur->time);
    map_rows(st, sc, *cur, series, count, mcur);
    for (int i = 0; i < count; ++i) {
      int n = series[i];
      if (!has_value(*cur, n)) continue;
      draw_step(st, n, mcur->x, mcur->y[n], mprev->x, has_value(*prev, n) ? &mprev->y[n] : nullptr);
    }
    ++counter;
    std::swap(cur, prev);
    std::swap(mcur, mprev);
  }
}
