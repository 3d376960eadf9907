#include "chart/scales.h"

#include "common/fatal.h"

namespace {

// Adds a scale over all the plot's rows for the series in use on one side
// (the right one: those -r lists), if there are any.
void add_side(RunState& st, int rows, bool right) {
  Extent e;
  bool any = false;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!st.range.active[n] || (st.settings.right >> n & 1) != right) continue;
    const Extent& own = st.range.series[n];
    if (own.max > e.max) e.max = own.max;
    if (own.min < e.min) e.min = own.min;
    st.scale_of[n] = static_cast<signed char>(st.num_scales);
    any = true;
  }
  if (any) st.scales[st.num_scales++] = Scale{e.min, e.max, st.margin, rows, right};
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
    add_side(st, rows, false);
    add_side(st, rows, true);
  }
  // One scale for all: the range as the scan found it, or no series at all.
  if (st.num_scales == 0) {
    st.scales[0] = Scale{r.min, r.max, st.margin, rows, false};
    st.num_scales = 1;
  }
  for (int k = 0; k < st.num_scales; ++k) fix_scale(st.scales[k], set);
}
