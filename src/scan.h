// The first pass: the value range, the time span and the series in use.
#ifndef TRENDLE_SCAN_H_
#define TRENDLE_SCAN_H_

#include "run_state.h"

class LineReader;

// Clears the values and flags of both sample buffers.
void set_up(RunState& st);

// Adds one good record to the range. Non-finite values never widen min and
// max; an infinity still marks its series active, a NaN is a gap.
void add_to_range(Range& range, const Sample& sample);

// Reads every record into sample1, collecting st.range, then rewinds.
void scan_file(RunState& st, LineReader& in);

// Widens a zero-width value range or time span; raises "Strange y limits" or
// "Strange time limits" when one stays unusable.
void fix_ranges(Range& range);

#endif  // TRENDLE_SCAN_H_
