// The chart's fixed palette: white background, frame grey, then one colour per
// series, 34 allocations in a fixed order (repeats included).
#ifndef TRENDLE_CHART_PALETTE_H_
#define TRENDLE_CHART_PALETTE_H_

#include "chart/run_state.h"

// Allocates the palette on the fresh image st.im_out and records the indices.
void allocate_colours(RunState& st);

#endif  // TRENDLE_CHART_PALETTE_H_
