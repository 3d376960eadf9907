// Times and values to pixel positions, fixed once the range is known: one
// time mapping for the plot area, one value mapping for each scale.
#ifndef TRENDLE_CHART_MAPPING_H_
#define TRENDLE_CHART_MAPPING_H_

#include <ctime>

#include "chart/run_state.h"

struct TimeMapping {
  time_t start_time;
  int start_nanos;
  int margin;
  float hscale;  // pixels per second
};

struct ValueMapping {
  float min, max;  // the scale's range
  double e1;       // the scale's rows less one
  double vscale;   // 1 / (min - max) as a float, or (min - max) to divide by
  bool divide;     // 1 / (min - max) overflowed a float
  long long base;  // the scale's top plus its rows: the row of min
};

TimeMapping make_time_mapping(const RunState& st);
ValueMapping make_value_mapping(const Scale& scale);

// x of time t and nanos: margin + floor((t - start) * hscale + 0.5), with
// t - start in seconds as a double.
int map_x(const TimeMapping& m, time_t t, int nanos);

// y of value v: base + trunc((rows - 1) * (v - min) * vscale). An infinity
// maps as max (+inf) or min (-inf); a far point is bounded well inside int.
int map_y(const ValueMapping& m, float v);

#endif  // TRENDLE_CHART_MAPPING_H_
