// The chart's text but the key: the value range upwards in the left margin,
// the first and last times at the bottom.
#ifndef TRENDLE_CHART_LABELS_H_
#define TRENDLE_CHART_LABELS_H_

#include "chart/run_state.h"

// The min and max labels of each scale, then the start and end time labels, in local time
// in a form chosen by the span: "%H:%M:%S" below 100 s (with ".mmm" when
// either time has a fraction), "%H:%M" below a day, else "%d,%H:%M". Then
// the grid's labels, each centred on its line, those that would run into
// another label left out.
void draw_labels(const RunState& st);

#endif  // TRENDLE_CHART_LABELS_H_
