// The first pass: the value range, the time span and the series in use.
#ifndef TRENDLE_CHART_SCAN_H_
#define TRENDLE_CHART_SCAN_H_

#include "chart/run_state.h"

class LineReader;

// What the range scan finds: the range, and the gap no line may cross (with
// --gap=auto from the steps between records; 0: none).
struct Scan {
  Range range;
  Nanos gap = 0;
};

// Reads every record of `in` once, then rewinds it. A big regular file is
// shared out between threads by blocks, merged in file order to exactly
// what one reading finds.
Scan scan_file(const Settings& set, LineReader& in);

// The range with a zero-width time span widened by a second each way;
// raises "Strange time limits" when it stays unusable.
Range fix_time_span(Range range);

#endif  // TRENDLE_CHART_SCAN_H_
