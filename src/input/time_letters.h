// What the full reading of a time field (time_field.cc) shares with its fast
// path (usual_time.cc): where a reading stands, and the letters b, f, p and
// z, read from where the last number ended. Internal to those two files.
#ifndef TRENDLE_INPUT_TIME_LETTERS_H_
#define TRENDLE_INPUT_TIME_LETTERS_H_

#include <cstring>
#include <string>
#include <vector>

#include "input/time_field.h"

namespace time_letters {

// At most this many letters of tform are read, six of them numbers or names.
constexpr int kMaxLetters = 12;

// Where the reading of a time field stands. Passed by value to what is kept
// out of line, so that the usual loop keeps it in registers.
struct Cursor {
  const char* p;     // where the next number is looked for
  const char* mark;  // right after what was read last: where f, p, z and b look
  int i;             // letters of tform read
  int meridian;      // what p read, for the hour at the end: 0 none, 1 AM, 2 PM
};

// No field read yet: all 0, and daylight saving time left to the library.
inline void clear_fields(TimeFields& out) {
  memset(&out.tm, 0, sizeof out.tm);
  out.tm.tm_isdst = -1;
  out.unix_seconds = -1;
  out.nanos = 0;
  out.offset = kNoOffset;
}

// b: the next month name from the mark on; false, with c.p where the search
// stopped, when none comes before the delimiter.
bool read_month(Cursor& c, char comma, const std::vector<std::string>& months, struct tm& tm);

// f, p and z from tform[c.i] on, each read where the last reading ended;
// one that finds nothing there changes nothing.
void read_in_place(Cursor& c, const char* tform, char comma, TimeFields& out);

// The end of a field read up to c: the hour by AM or PM, and the line's
// first delimiter, if no number ended at it.
void end_field(const Cursor& c, const char* first_comma, char comma, TimeFields& out);

}  // namespace time_letters

#endif  // TRENDLE_INPUT_TIME_LETTERS_H_
