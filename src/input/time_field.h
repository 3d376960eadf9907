// Parses the date and time at the head of an input line, one number per
// letter of tform (d m y Y H M S, s; b a month name), up to the settings'
// delimiter; f, p and z read the fraction, AM/PM and the UTC offset where they
// stand. A letter of tform that is no time code raises its banner when a
// number is read for it; letters past the last number read are never looked
// at. The text is only read.
#ifndef TRENDLE_INPUT_TIME_FIELD_H_
#define TRENDLE_INPUT_TIME_FIELD_H_

#include <ctime>

#include "common/settings.h"

enum class TimeField { read, none, unreadable };

// No UTC offset in the field: the time is local.
constexpr long kNoOffset = -1L << 40;

// What a time field holds, when one was read.
struct TimeFields {
  struct tm tm;            // the numbers of d m y Y H M S, the month as written, the hour in 24
  long long unix_seconds;  // the last number read for an 's', or -1: then tm holds the time
  int nanos;               // the fraction of the second, in nanoseconds
  long offset;             // seconds east of UTC that z read, or kNoOffset
  const char* comma;       // the line's first delimiter, or nullptr when it has none
};

// At most 18 digits count for an 's' (after the digits below the second are
// dropped): a longer run is this many seconds.
constexpr long long kMaxUnixSeconds = 999999999999999999;

// Whether tform reads an 's': one among its first six numbers or names
// (letters but f, p and z), within its first 12 letters.
bool reads_unix_time(const char* tform);

// Whether tform reads an 'f', the fraction of a second, where get_time reads it.
bool reads_fraction(const char* tform);

// The time field at the head of `text`: the usual one on its fast path
// (usual_time.h), any other letter by letter.
TimeField get_time(const char* text, const Settings& settings, TimeFields& out);

#endif  // TRENDLE_INPUT_TIME_FIELD_H_
