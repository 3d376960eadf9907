#include "chart/mapping.h"

#include <cmath>

#include "input/sample.h"

namespace {

// Pixel positions are bounded to about +-2^29 before any conversion to int,
// so that a point far outside the image stays defined; gd clips it.
constexpr double kPixelBound = 536870912.0;

double bound(double v) {
  if (std::isnan(v)) return 0;
  // Comparisons, not fmax/fmin: those are library calls, made per sample.
  return v < -kPixelBound ? -kPixelBound : v > kPixelBound ? kPixelBound : v;
}

// a + b for an a near the image and a whole b, bounded like b. The sum is
// exact, as it would be in double.
int bounded_sum(long long a, long long b) {
  constexpr long long kBound = static_cast<long long>(kPixelBound);
  long long s = a + b;
  return static_cast<int>(s < -kBound ? -kBound : s > kBound ? kBound : s);
}

}  // namespace

TimeMapping make_time_mapping(const RunState& st) {
  const Range& r = st.range;
  return TimeMapping{
      .start_time = r.start_time,
      .start_nanos = r.start_nanos,
      .margin = st.margin,
      .hscale = static_cast<float>(
          st.plot_width / seconds_between(r.start_time, r.start_nanos, r.end_time, r.end_nanos))};
}

ValueMapping make_value_mapping(const Scale& scale) {
  float vscale =
      static_cast<float>(1.0 / (static_cast<double>(scale.min) - static_cast<double>(scale.max)));
  ValueMapping m{.min = scale.min,
                 .max = scale.max,
                 .e1 = static_cast<double>(scale.rows - 1),
                 .vscale = vscale,
                 .divide = std::isinf(vscale),
                 .base = static_cast<long long>(scale.top) + scale.rows};
  // A range narrower than 1 / FLT_MAX overflows the float scale; dividing
  // in double keeps it on the plot instead of throwing max off the image.
  if (m.divide) m.vscale = static_cast<double>(scale.min) - static_cast<double>(scale.max);
  return m;
}

int map_x(const TimeMapping& m, time_t t, int nanos) {
  double dt = seconds_between(m.start_time, m.start_nanos, t, nanos);
  // floor by conversion: bounding first makes it exact, without a library call.
  double b = bound(dt * static_cast<double>(m.hscale) + 0.5);
  long long f = static_cast<long long>(b);
  return bounded_sum(m.margin, static_cast<double>(f) > b ? f - 1 : f);
}

int map_y(const ValueMapping& m, float v) {
  if (std::isinf(v)) v = v > 0 ? m.max : m.min;
  double p = m.e1 * (static_cast<double>(v) - static_cast<double>(m.min));
  p = m.divide ? p / m.vscale : p * m.vscale;
  return bounded_sum(m.base, static_cast<long long>(bound(p)));
}
