// One record held in memory: its time, its values and their valid flags.
#ifndef TRENDLE_INPUT_SAMPLE_H_
#define TRENDLE_INPUT_SAMPLE_H_

#include <ctime>

#include "common/settings.h"

struct Sample {
  time_t time = 0;
  float values[kMaxSeries] = {};
  int flags[kMaxSeries] = {};
  int columns = kMaxSeries;  // the flags from here on are 0
};

#endif  // TRENDLE_INPUT_SAMPLE_H_
