// The value scales of a run: one for every series; with --right a second one
// for the listed series; with --panels one per series, each in a band of its
// own, one under another. Known once the range scan is done.
#ifndef TRENDLE_CHART_SCALES_H_
#define TRENDLE_CHART_SCALES_H_

#include "chart/run_state.h"

// The scales of a range: each spans its series' values, widened by 1
// each way when flat (to the nearest other floats where 1 is too little),
// with --min and --max in place of the data's ends. Raises "Strange y limits"
// where one scale for all would be unusable: no record, no finite value, or
// every value past a fixed end; a scale of its own is then made usable.
Scales set_scales(const Range& range, const Settings& set, int margin);

#endif  // TRENDLE_CHART_SCALES_H_
