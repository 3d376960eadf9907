#include "scan.h"

#include <cmath>

#include "fatal.h"
#include "line_reader.h"
#include "parallel_scan.h"
#include "record.h"

void set_up(RunState& st) {
  for (Sample* s : {&st.sample1, &st.sample2}) {
    for (int n = 0; n < kMaxSeries; ++n) {
      s->values[n] = 0.0f;
      s->flags[n] = 0;
    }
  }
}

void add_to_range(Range& range, const Sample& sample) {
  if (range.start_time == 0) range.start_time = sample.time;
  for (int n = 0; n < sample.columns; ++n) {
    if (!sample.flags[n]) continue;
    float v = sample.values[n];
    if (std::isnan(v)) continue;
    if (std::isfinite(v)) {
      if (v > range.max) range.max = v;
      if (v < range.min) range.min = v;
    }
    if (!range.active[n]) {
      range.active[n] = 1;
      ++range.num_active;
    }
  }
}

void scan_file(RunState& st, LineReader& in) {
  if (scan_in_blocks(st, in)) return;
  Sample& s = st.sample1;
  int counter = 1;
  int result;
  while ((result = read_line(in, s.values, s.flags, counter, &s.time, st.tform, &s.columns)) != 2) {
    if (result != 0) continue;
    add_to_range(st.range, s);
    ++counter;
  }
  in.rewind();
  st.range.end_time = s.time;
}

void fix_ranges(Range& range) {
  if (range.max == range.min) {
    range.min = range.min - 1;
    range.max = range.max + 1;
  }
  if (range.min >= range.max) gerr("Strange y limits");
  if (range.start_time == range.end_time) {
    range.start_time -= 1;
    range.end_time += 1;
  }
  if (range.start_time >= range.end_time) gerr("Strange time limits");
}
