// The state of one run, in one place: the settings the stages before the
// scan fixed, the geometry, the image and its palette, and what each stage
// after returned: the range, the scales, the grid.
#ifndef TRENDLE_CHART_RUN_STATE_H_
#define TRENDLE_CHART_RUN_STATE_H_

#include <gd.h>

#include <cfloat>
#include <ctime>
#include <string>
#include <vector>

#include "chart/steps.h"
#include "common/settings.h"

// The smallest and largest finite value of some series.
struct Extent {
  float min = FLT_MAX;
  float max = -FLT_MAX;
};

// What the range scan finds; read by the plot pass and the labels.
// Times are whole seconds and nanoseconds: the span runs from the first
// record to the last, with --sort from the earliest to the latest.
struct Range {
  float min = FLT_MAX;  // of all series
  float max = -FLT_MAX;
  Extent series[kMaxSeries];  // of each, when the scales need them
  bool started = false;       // a good record has set the start
  bool in_order = true;       // no record's time is before the one before it
  time_t start_time = 0;
  int start_nanos = 0;
  time_t end_time = 0;
  int end_nanos = 0;
  int active[kMaxSeries] = {};
  int num_active = 0;
};

// A value scale: its range and the band of rows it is drawn in. The max is
// drawn a row below the band's top, the min `rows` below it.
struct Scale {
  float min = FLT_MAX;
  float max = -FLT_MAX;
  int top = 0;
  int rows = 0;
  bool right = false;  // labelled in the right margin
};

// The value scales in band order, top first (with -r the left first), and
// the scale of each series in use.
struct Scales {
  Scale of[kMaxSeries];
  int count = 0;
  signed char index[kMaxSeries] = {};
};

// A line of the grid: its row (a value's) or column (a time's), and its label.
struct Tick {
  int at;
  char text[32];
};

// The grid that -g asks for; empty without it.
struct Ticks {
  std::vector<Tick> values[kMaxSeries];  // of each scale, from the bottom up
  std::vector<Tick> times;               // left to right
};

// The state of a run: the settings the stages before the scan fixed, the
// image, and what each stage returned.
struct RunState {
  Settings settings;

  // Geometry, from the small font's height.
  int margin = 0;
  int plot_width = 0;  // the plot area spans x = margin to margin + plot_width

  // The one image and its palette indices; the background is index 0.
  gdImagePtr im_out = nullptr;
  int grid = 0;
  signed char colours[kMaxSeries] = {};

  // What each stage of the run returned, in order: the names from the
  // header, the scan's range (after the fix-ups) and gap, the scales, the grid.
  std::string names[kMaxSeries];  // empty: the key shows numbers
  int left_out = 0;               // --by: texts without series of their own
  Range range;
  Nanos gap = 0;  // no line joins records further apart; 0: any are joined
  Scales scales;
  Ticks ticks;
};

#endif  // TRENDLE_CHART_RUN_STATE_H_
