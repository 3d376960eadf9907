// The time of the last record a pass would chart (within --from and --to),
// which --last counts back from. A regular file is read from its end back, a
// part at a time, so a long log costs little more than its last lines; any
// other input (a pipe, a gzip file) is read through once more and rewound.
// With --sort it is the latest record's time, and every input is read through.
#ifndef TRENDLE_INPUT_LAST_RECORD_H_
#define TRENDLE_INPUT_LAST_RECORD_H_

#include <ctime>

#include "common/settings.h"

class LineReader;

// False when the input has no such record. Lines that would raise a banner
// are passed over here: the passes raise them, in order.
bool last_record_time(LineReader& in, const Settings& set, time_t& t, int& nanos);

#endif  // TRENDLE_INPUT_LAST_RECORD_H_
