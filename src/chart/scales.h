// The value scales of a run: one for every series; with --right a second one
// for the listed series; with --panels one per series, each in a band of its
// own, one under another. Known once the range scan is done.
#ifndef TRENDLE_CHART_SCALES_H_
#define TRENDLE_CHART_SCALES_H_

#include "chart/run_state.h"

// Sets st.scales from the range: each spans its series' values, widened by 1
// each way when flat, with --min and --max in place of the data's ends.
// Raises "Strange y limits" when one stays unusable.
void set_scales(RunState& st);

#endif  // TRENDLE_CHART_SCALES_H_
