#include "chart/scales.h"

#include "common/fatal.h"

namespace {

// The extent of the series in use that `wanted` says, in series order.
Extent extent_of(const Range& r, bool (*wanted)(const Settings&, int), const Settings& set) {
  Extent e;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!r.active[n] || !wanted(set, n)) continue;
    if (r.series[n].max > e.max) e.max = r.series[n].max;
    if (r.series[n].min < e.min) e.min = r.series[n].min;
  }
  return e;
}

bool on_left(const Settings& set, int n) {
  return !(set.right >> n & 1);
}

bool on_right(const Settings& set, int n) {
  return set.right >> n & 1;
}

// Adds a scale over the rows [top, top + rows] for the series in use that
// `wanted` says, if any.
void add_scale(RunState& st, Extent e, int top, int rows, bool right,
               bool (*wanted)(const Settings&, int)) {
  bool any = false;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!st.range.active[n] || !wanted(st.settings, n)) continue;
    st.scale_of[n] = static_cast<signed char>(st.num_scales);
    any = true;
  }
  if (any) st.scales[st.num_scales++] = Scale{e.min, e.max, top, rows, right};
}

void fix_scale(Scale& sc, const Settings& set) {
  if (sc.max == sc.min) {
    sc.min = sc.min - 1;
    sc.max = sc.max + 1;
  }
  if (set.has_min) sc.min = set.min_value;
  if (set.has_max) sc.max = set.max_value;
  if (sc.min >= sc.max) gerr("Strange y limits");
}

}  // namespace

void set_scales(RunState& st) {
  const Settings& set = st.settings;
  const Range& r = st.range;
  int rows = set.height - 2 * st.margin;
  st.num_scales = 0;
  if (set.panels && r.num_active > 1) {
    int each = rows / r.num_active;
    for (int n = 0; n < kMaxSeries; ++n) {
      if (!r.active[n]) continue;
      int k = st.num_scales;
      bool last = k == r.num_active - 1;
      st.scale_of[n] = static_cast<signed char>(k);
      st.scales[st.num_scales++] = Scale{r.series[n].min, r.series[n].max, st.margin + k * each,
                                         last ? rows - k * each : each, false};
    }
  } else if (set.right) {
    add_scale(st, extent_of(r, on_left, set), st.margin, rows, false, on_left);
    add_scale(st, extent_of(r, on_right, set), st.margin, rows, true, on_right);
  }
  // One scale for all: the range as the scan found it, or no series at all.
  if (st.num_scales == 0) {
    st.scales[0] = Scale{r.min, r.max, st.margin, rows, false};
    st.num_scales = 1;
  }
  for (int k = 0; k < st.num_scales; ++k) fix_scale(st.scales[k], set);
}
