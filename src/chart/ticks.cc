#include "chart/ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <tuple>

#include "chart/mapping.h"
#include "chart/round_time.h"
#include "chart/value_text.h"
#include "input/time_field.h"

namespace {

constexpr int kRowsApart = 40;
constexpr int kColumnsApart = 80;

// 10^e; exact up to 10^22.
double power_of_ten(int e) {
  double p = 1;
  for (int i = 0; i < std::abs(e); ++i) p *= 10;
  return e < 0 ? 1 / p : p;
}

// A value step: mantissa 1, 2 or 5 times 10^exponent.
struct ValueStep {
  int mantissa;
  int exponent;
};

// The smallest step of at least `least`, a positive finite number.
ValueStep value_step(double least) {
  // log10 may be a little off: start a power lower.
  for (int e = static_cast<int>(std::floor(std::log10(least))) - 1;; ++e) {
    for (int m : {1, 2, 5}) {
      if (m * power_of_ten(e) >= least) return {m, e};
    }
  }
}

// Line k's value, the double nearest k times the step: for a step below 1
// the division by the power of ten rounds once.
double line_value(long long k, ValueStep s) {
  double km = static_cast<double>(k * s.mantissa);
  return s.exponent < 0 ? km / power_of_ten(-s.exponent) : km * power_of_ten(s.exponent);
}

// "%g" (or with SI prefixes, 4 digits), with more digits where that would
// not tell two lines apart.
void format_value(char* buf, size_t size, double v, ValueStep s, double largest, bool si) {
  int digits = static_cast<int>(std::floor(std::log10(largest))) - s.exponent + 1;
  value_text(buf, size, v, std::clamp(digits, si ? 4 : 6, 17), si);
}

void value_ticks(const Scale& sc, bool si, std::vector<Tick>& out) {
  double lo = sc.min, hi = sc.max;
  if (sc.rows < 2 || !std::isfinite(lo) || !std::isfinite(hi)) return;
  ValueStep s = value_step((hi - lo) * kRowsApart / (sc.rows - 1));
  double unit = line_value(1, s);
  // The index of a line is well inside a long long: a float scale spans at
  // least 2^-24 of its ends, and a line is 40 rows or more from the next.
  long long first = static_cast<long long>(std::floor(lo / unit));
  long long last = static_cast<long long>(std::ceil(hi / unit));
  double largest = std::max(std::abs(line_value(first, s)), std::abs(line_value(last, s)));
  ValueMapping m = make_value_mapping(sc);
  for (long long k = first; k <= last; ++k) {
    // A line where a value of its text would be drawn, but not on the frame
    // or the line under the band, nor below them, where the min may be.
    float v = static_cast<float>(line_value(k, s));
    int row = map_y(m, v);
    if (!(v > sc.min && v < sc.max) || row >= sc.top + sc.rows - 1) continue;
    Tick& t = out.emplace_back();
    t.at = row;
    format_value(t.text, sizeof t.text, line_value(k, s), s, largest, si);
  }
}

// Fractions of a second are read by tform's f, and by s with -u.
bool reads_fractions(const Settings& s) {
  return s.unit_digits > 0 || reads_fraction(s.tform);
}

void time_ticks(const RunState& st, std::vector<Tick>& out) {
  const Range& r = st.range;
  TimeMapping m = make_time_mapping(st);
  if (!(m.hscale > 0) || !std::isfinite(m.hscale)) return;
  TimeStep step = time_step(m.hscale, kColumnsApart, reads_fractions(st.settings));
  time_t t = r.start_time;
  int nanos = r.start_nanos;
  while (next_round_time(step, t, nanos) &&
         std::tie(t, nanos) < std::tie(r.end_time, r.end_nanos)) {
    int x = map_x(m, t, nanos);
    // One on the frame would be hidden by it.
    if (x <= st.margin || x >= st.margin + st.plot_width) continue;
    Tick& tick = out.emplace_back();
    tick.at = x;
    format_round_time(tick.text, sizeof tick.text, step, t, nanos, st.settings.dates);
  }
}

// --elapsed: lines at whole multiples of the step after the first record,
// each labelled with the time since it.
void elapsed_ticks(const RunState& st, std::vector<Tick>& out) {
  const Range& r = st.range;
  TimeMapping m = make_time_mapping(st);
  if (!(m.hscale > 0) || !std::isfinite(m.hscale)) return;
  TimeStep step = time_step(m.hscale, kColumnsApart, reads_fractions(st.settings));
  const Nanos each = step_nanos(step),
              span = nanos_between(r.start_time, r.start_nanos, r.end_time, r.end_nanos);
  for (Nanos e = each; e < span; e += each) {
    Nanos at = r.start_nanos + e;
    time_t t = r.start_time + static_cast<time_t>(at / 1000000000);
    int x = map_x(m, t, static_cast<int>(at % 1000000000));
    if (x <= st.margin || x >= st.margin + st.plot_width) continue;
    Tick& tick = out.emplace_back();
    tick.at = x;
    format_elapsed(tick.text, sizeof tick.text, e, step_decimals(step));
  }
}

}  // namespace

Ticks find_ticks(const RunState& st) {
  Ticks ticks;
  for (int k = 0; k < st.scales.count; ++k)
    value_ticks(st.scales.of[k], st.settings.si, ticks.values[k]);
  if (st.settings.elapsed) {
    elapsed_ticks(st, ticks.times);
  } else {
    time_ticks(st, ticks.times);
  }
  return ticks;
}
