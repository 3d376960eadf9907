// The plot area: the dashed frame and the second pass, which draws every
// active series as lines between consecutive valid samples.
#ifndef TRENDLE_PLOT_H_
#define TRENDLE_PLOT_H_

#include "run_state.h"

class LineReader;

// The mapping of times and values to pixels, fixed once the range is known.
struct Scales {
  float hscale;  // pixels per second
  float vscale;  // 1 / (min - max): negative
  int e;         // vertical extent, height - 2 * margin
};

Scales make_scales(const RunState& st);

// x of time t: margin + floor((t - start_time) * hscale + 0.5).
int map_x(const RunState& st, const Scales& sc, time_t t);

// y of value v: margin + e + trunc((e - 1) * (v - min) * vscale). An infinity
// maps as max (+inf) or min (-inf); the result is bounded well inside int.
int map_y(const RunState& st, const Scales& sc, float v);

void draw_frame(const RunState& st);

// One series' step for one record: a line from the previous valid sample, or
// a single pixel when the previous record had no value for it. NaN is no value.
void plot_to_point(const RunState& st, const Scales& sc, int n, int x_cur, int x_prev,
                   const Sample& cur, const Sample& prev);

// Reads the (rewound) input again and draws every active series.
void plot_pass(RunState& st, const Scales& sc, LineReader& in);

#endif  // TRENDLE_PLOT_H_
