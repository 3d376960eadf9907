// The plot area: the dashed frame, the grid's lines, and the second pass,
// which draws every active series as lines between consecutive valid samples.
#ifndef TRENDLE_CHART_PLOT_H_
#define TRENDLE_CHART_PLOT_H_

#include "chart/run_state.h"

class LineReader;
class SortedLog;

void draw_frame(const RunState& st);

// The lines of st.ticks, dashed in the frame's grey inside the plot area:
// each scale's but a right scale's beside a left one, and the times'.
void draw_grid(const RunState& st);

// Reads the (rewound) input again. Each record draws, per active series with
// a value, a line from the previous record's value, or a single pixel when
// that record had none; NaN is no value. Records are drawn in file order.
void plot_pass(const RunState& st, LineReader& in);

// The second pass with --sort over a log out of order: the records of `log`,
// in time order.
void plot_sorted(const RunState& st, SortedLog& log);

#endif  // TRENDLE_CHART_PLOT_H_
