// One record held in memory: its time, its values and their valid flags.
#ifndef TRENDLE_INPUT_SAMPLE_H_
#define TRENDLE_INPUT_SAMPLE_H_

#include <ctime>
#include <string_view>

#include "common/settings.h"

struct Sample {
  time_t time = 0;
  int nanos = 0;  // the fraction of the second, 0 to 999999999
  float values[kMaxSeries] = {};
  int flags[kMaxSeries] = {};
  int columns = kMaxSeries;  // the flags from here on are 0
  // --by: the index of the row's text in Settings::by_texts; -1 for a text
  // not there yet, held in `text` until the next record is read.
  int group = 0;
  std::string_view text;
};

// Seconds from (t0, n0) to (t1, n1), whole seconds and nanoseconds, as a
// double: exact for whole seconds, and for fractions in steps of a power of two.
inline double seconds_between(time_t t0, int n0, time_t t1, int n1) {
  double d = static_cast<double>(t1 - t0);
  return n1 == n0 ? d : d + (n1 - n0) / 1e9;
}

#endif  // TRENDLE_INPUT_SAMPLE_H_
