// Parses the date and time at the head of an input line into a broken-down
// time, one number per letter of tform (d m y Y H M S). A letter of tform that
// is no time code raises its banner when a number is read for it; letters
// past the last number read are never looked at. The text is only read.
#ifndef TRENDLE_INPUT_TIME_FIELD_H_
#define TRENDLE_INPUT_TIME_FIELD_H_

#include <ctime>

enum class TimeField { read, none, unreadable };

// When a time was read and `comma` is given, *comma is the first ',' of the
// text, or nullptr when it has none.
TimeField get_time(const char* text, struct tm* tm, const char* tform,
                   const char** comma = nullptr);

#endif  // TRENDLE_INPUT_TIME_FIELD_H_
