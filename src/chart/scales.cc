#include "chart/scales.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "common/fatal.h"

namespace {

// Adds a scale from row `top` over `rows` rows for the series in use on
// one side (the right one: those -r lists), if there are any.
void add_side(Scales& out, const Range& r, uint32_t listed, int top, int rows, bool right) {
  Extent e;
  bool any = false;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!r.active[n] || (listed >> n & 1) != right) continue;
    const Extent& own = r.series[n];
    if (own.max > e.max) e.max = own.max;
    if (own.min < e.min) e.min = own.min;
    out.index[n] = static_cast<signed char>(out.count);
    any = true;
  }
  if (any) out.of[out.count++] = Scale{e.min, e.max, top, rows, right};
}

// Widens a flat range [v, v] by 1 each way, or, where single precision
// rounds v plus or minus 1 back to v (from 2^24 on), to the nearest float
// beyond v; only an end at the largest float stays, the other moving.
void widen_flat(float& min, float& max) {
  float v = min;
  min = v - 1;
  max = v + 1;
  if (min == v) min = std::nextafter(v, -FLT_MAX);
  if (max == v) max = std::nextafter(v, FLT_MAX);
}

// The ends of a scale over data from sc.min to sc.max (min > max: no
// finite value): the data's, widened when flat, with --min and --max in
// their place.
void set_ends(Scale& sc, const Settings& set) {
  if (sc.max == sc.min) widen_flat(sc.min, sc.max);
  if (set.has_min) sc.min = set.min_value;
  if (set.has_max) sc.max = set.max_value;
}

// Sets a scale where the chart on one scale is usable: a scale without a
// finite value is flat at 0 (its infinities drawn at its ends), and one whose
// fixed end lies past all its data runs a unit beyond that end, so that its
// series is cut away at the edge.
void fix_scale(Scale& sc, const Settings& set) {
  if (sc.min > sc.max) sc.min = sc.max = 0;
  set_ends(sc, set);
  if (sc.min < sc.max) return;
  // Only a fixed end can pass the data: that end, and a unit beyond it.
  float lo = set.has_min ? sc.min : sc.max, hi = lo;
  widen_flat(lo, hi);
  if (set.has_min)
    sc.max = hi;
  else
    sc.min = lo;
}

// A band for each group of `group` series in use, each on the range of its
// series, `bands` in all sharing `rows` rows from `margin` down.
void add_bands(Scales& out, const Range& r, int group, int bands, int margin, int rows) {
  int each = rows / bands;
  for (int n = 0, last = -1; n < kMaxSeries; ++n) {
    if (!r.active[n]) continue;
    if (n / group != last) {
      int k = out.count++;
      int band_rows = k == bands - 1 ? rows - k * each : each;
      out.of[k] = Scale{FLT_MAX, -FLT_MAX, margin + k * each, band_rows, false};
      last = n / group;
    }
    Scale& sc = out.of[out.count - 1];
    sc.min = std::min(sc.min, r.series[n].min);
    sc.max = std::max(sc.max, r.series[n].max);
    out.index[n] = static_cast<signed char>(out.count - 1);
  }
}

}  // namespace

Scales set_scales(const Range& r, const Settings& set, int margin) {
  Scales out;
  int rows = set.height - 2 * margin;
  // -p: a band per group of series (with --by a text's, else each alone).
  const int group = set.by_field ? static_cast<int>(set.columns.size()) : 1;
  int bands = 0;
  for (int n = 0, last = -1; n < kMaxSeries; ++n) {
    if (r.active[n] && n / group != last) ++bands, last = n / group;
  }
  if (set.panels && bands > 1) {
    add_bands(out, r, group, bands, margin, rows);
  } else if (set.right) {
    add_side(out, r, set.right, margin, rows, false);
    add_side(out, r, set.right, margin, rows, true);
  }
  // One scale for all: the range as the scan found it, or no series at all.
  if (out.count == 0) {
    out.of[0] = Scale{r.min, r.max, margin, rows, false};
    out.count = 1;
  }
  // Raised only where the chart on one scale would be: no record, no
  // usable value, or every value past a fixed end.
  Scale one{r.min, r.max};
  set_ends(one, set);
  if (!r.started || !(one.min < one.max)) gerr("Strange y limits");
  for (int k = 0; k < out.count; ++k) fix_scale(out.of[k], set);
  return out;
}
