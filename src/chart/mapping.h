// Times and values to pixel positions, fixed once the range is known.
#ifndef TRENDLE_CHART_MAPPING_H_
#define TRENDLE_CHART_MAPPING_H_

#include <ctime>

#include "chart/run_state.h"

struct Mapping {
  time_t start_time;
  int start_nanos;
  int margin;
  float hscale;    // pixels per second
  float min, max;  // the value range
  double e1;       // vertical extent (height - 2 * margin) less one
  double vscale;   // 1 / (min - max) as a float, or (min - max) to divide by
  bool divide;     // 1 / (min - max) overflowed a float
  long long base;  // margin + vertical extent: the row of min
};

Mapping make_mapping(const RunState& st);

// x of time t and nanos: margin + floor((t - start) * hscale + 0.5), with
// t - start in seconds as a double.
int map_x(const Mapping& m, time_t t, int nanos);

// y of value v: margin + e + trunc((e - 1) * (v - min) * vscale). An infinity
// maps as max (+inf) or min (-inf); a far point is bounded well inside int.
int map_y(const Mapping& m, float v);

#endif  // TRENDLE_CHART_MAPPING_H_
