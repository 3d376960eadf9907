// Parses the date and time at the head of an input line into a broken-down
// time, one number per letter of tform (d m y Y H M S). Returns 0 when a time
// was read, 1 when the line holds no time, 2 when its time field is unreadable.
// A letter of tform that is no time code raises its banner when a number is
// read for it. The text is written into during the call and restored.
// When a time was read and `comma` is given, *comma is the first ',' of the
// text, or nullptr when it has none.
#ifndef TRENDLE_TIME_FIELD_H_
#define TRENDLE_TIME_FIELD_H_

#include <ctime>

int get_time(char* text, struct tm* tm, const char* tform, const char** comma = nullptr);

#endif  // TRENDLE_TIME_FIELD_H_
