// Parses the date and time at the head of an input line, one number per
// letter of tform (d m y Y H M S, s), up to the settings' delimiter. A letter of tform that is no
// time code raises its banner when a number is read for it; letters past the last number read are
// never looked at. The text is only read.
#ifndef TRENDLE_INPUT_TIME_FIELD_H_
#define TRENDLE_INPUT_TIME_FIELD_H_

#include <ctime>

#include "common/settings.h"

enum class TimeField { read, none, unreadable };

// What a time field holds, when one was read.
struct TimeFields {
  struct tm tm;            // the numbers of d m y Y H M S, the month as written
  long long unix_seconds;  // the last number read for an 's', or -1: then tm holds the time
  const char* comma;       // the line's first delimiter, or nullptr when it has none
};

// At most 18 digits count for an 's' (after the digits below the second are
// dropped): a longer run is this many seconds.
constexpr long long kMaxUnixSeconds = 999999999999999999;

TimeField get_time(const char* text, const Settings& settings, TimeFields& out);

#endif  // TRENDLE_INPUT_TIME_FIELD_H_
