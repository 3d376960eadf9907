// The first pass: the value range, the time span and the series in use.
#ifndef TRENDLE_CHART_SCAN_H_
#define TRENDLE_CHART_SCAN_H_

#include "chart/run_state.h"

class LineReader;

// Reads every record of `in` once, collecting st.range and st.gap (with
// --gap=auto from the steps between records), then rewinds it. A big regular
// file is shared out between threads by blocks, merged in file order to
// exactly what one reading finds.
void scan_file(RunState& st, LineReader& in);

// Widens a zero-width time span by a second each way; raises "Strange time
// limits" when it stays unusable.
void fix_time_span(Range& range);

#endif  // TRENDLE_CHART_SCAN_H_
