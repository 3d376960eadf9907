// The usual time field on a fast path: "12/05/99 10:30:00," and its like,
// quoted or not, read in about half the steps of get_time's full loop. For
// every text and settings where it returns true, `out` equals what that loop
// makes of them, field by field: held by RecordTest.Table (each row read
// again off the fast path) and the record fuzz target's model.
#ifndef TRENDLE_INPUT_USUAL_TIME_H_
#define TRENDLE_INPUT_USUAL_TIME_H_

#include "common/settings.h"
#include "input/time_field.h"

// The usual field at the head of `text` into `out`; false for any other
// text, with `out` cleared, for the full loop to read.
bool read_usual(const char* text, const Settings& settings, TimeFields& out);

// The fast path alone, for a time field where it stands in a line (-t): true
// for a usual field whose reading ends at the first delimiter after it, with
// `out` as get_time fills it from the line with that field moved to the front
// (out.comma that delimiter); false for any other, with `out` cleared.
bool get_usual_time(const char* field, const Settings& settings, TimeFields& out);

#endif  // TRENDLE_INPUT_USUAL_TIME_H_
