// The first pass: the value range, the time span and the series in use.
#ifndef TRENDLE_CHART_SCAN_H_
#define TRENDLE_CHART_SCAN_H_

#include <string>
#include <vector>

#include "chart/run_state.h"

class LineReader;
class SortedLog;

// What the range scan finds: the range, and the gap no line may cross (with
// --gap=auto from the steps between records; 0: none).
struct Scan {
  Range range;
  Nanos gap = 0;
  // --by: the texts in the order they first appear, as many as have series,
  // and how many more there were (counted up to kMostLeftOut).
  std::vector<std::string> texts;
  int left_out = 0;
};

constexpr int kMostLeftOut = 9999;

// Reads every record of `in` once, then rewinds it. A big regular file is
// shared out between threads by blocks, merged in file order to exactly
// what one reading finds.
Scan scan_file(const Settings& set, LineReader& in);

// --gap=auto's gap from the steps between the records of `log` in time
// order (with --by, of each text's), which it reads through and rewinds.
Nanos sorted_gap(SortedLog& log, const Settings& set);

// The range with a zero-width time span widened by a second each way;
// raises "Strange time limits" when it stays unusable.
Range fix_time_span(Range range);

#endif  // TRENDLE_CHART_SCAN_H_
