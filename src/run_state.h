// The whole state of one run, in one place: the arguments, the geometry, the
// image and its palette, the two sample buffers and the range results.
#ifndef TRENDLE_RUN_STATE_H_
#define TRENDLE_RUN_STATE_H_

#include <gd.h>

#include <cfloat>
#include <ctime>

constexpr int kMaxSeries = 32;

// One record held in memory: its time, its values and their valid flags.
struct Sample {
  time_t time = 0;
  float values[kMaxSeries] = {};
  int flags[kMaxSeries] = {};
  int columns = kMaxSeries;  // the flags from here on are 0
};

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

  // The one image and its palette indices.
  gdImagePtr im_out = nullptr;
  int white = 0;
  int grid = 0;
  signed char colours[kMaxSeries] = {};

  Sample sample1;
  Sample sample2;
  Range range;
};

#endif  // TRENDLE_RUN_STATE_H_
