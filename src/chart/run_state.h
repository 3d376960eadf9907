// The whole state of one run, in one place: the settings, the geometry, the
// image and its palette, and the range results.
#ifndef TRENDLE_CHART_RUN_STATE_H_
#define TRENDLE_CHART_RUN_STATE_H_

#include <gd.h>

#include <cfloat>
#include <ctime>
#include <string>

#include "common/settings.h"

// What the range scan finds; read by the plot pass and the labels.
// Times are whole seconds and nanoseconds.
struct Range {
  float min = FLT_MAX;
  float max = -FLT_MAX;
  bool started = false;  // a good record has set the start
  time_t start_time = 0;
  int start_nanos = 0;
  time_t end_time = 0;
  int end_nanos = 0;
  int active[kMaxSeries] = {};
  int num_active = 0;
};

struct RunState {
  Settings settings;

  // Geometry, from the small font's height.
  int margin = 0;
  int plot_width = 0;

  // The one image and its palette indices; the background is index 0.
  gdImagePtr im_out = nullptr;
  int grid = 0;
  signed char colours[kMaxSeries] = {};

  Range range;
  std::string names[kMaxSeries];  // from the header; empty: the key shows numbers
};

#endif  // TRENDLE_CHART_RUN_STATE_H_
