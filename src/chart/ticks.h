// The grid of -g: the round values of each scale and the round times of the
// span, each with the row or column of its line and the text of its label.
#ifndef TRENDLE_CHART_TICKS_H_
#define TRENDLE_CHART_TICKS_H_

#include "chart/run_state.h"

// The grid, once the scales and the time span are fixed: values of 1, 2
// or 5 times a power of ten strictly between each scale's ends, about 40
// rows apart or more; round times strictly inside the span, about 80 columns
// apart or more.
Ticks find_ticks(const RunState& st);

#endif  // TRENDLE_CHART_TICKS_H_
