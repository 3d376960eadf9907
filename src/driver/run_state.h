// The whole state of one run, in one place: the arguments, the geometry, the
// image and its palette, and the range results.
#ifndef TRENDLE_DRIVER_RUN_STATE_H_
#define TRENDLE_DRIVER_RUN_STATE_H_

#include <gd.h>

#include <cfloat>
#include <ctime>

#include "input/sample.h"

// What the range scan finds; read by the plot pass and the labels.
struct Range {
  float min = FLT_MAX;
  float max = -FLT_MAX;
  time_t start_time = 0;  // 0 means not yet set
  time_t end_time = 0;
  int active[kMaxSeries] = {};
  int num_active = 0;
};

struct RunState {
  // Command line.
  const char* in_csv = nullptr;
  const char* outname = nullptr;
  int width = 0;
  int height = 0;
  const char* tform = "dmyHMS";

  // Geometry, from the small font's height.
  int margin = 0;
  int plot_width = 0;

  // The one image and its palette indices; the background is index 0.
  gdImagePtr im_out = nullptr;
  int grid = 0;
  signed char colours[kMaxSeries] = {};

  Range range;
};

#endif  // TRENDLE_DRIVER_RUN_STATE_H_
