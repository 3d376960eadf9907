// Reads input lines into a sample. A line is a comment ('#' as its first
// non-blank character), a line without a time, or a record: a time field and
// up to 32 value columns, fields between the settings' delimiters, laid out
// as the settings say (by default the time first, then the values).
#ifndef TRENDLE_INPUT_RECORD_H_
#define TRENDLE_INPUT_RECORD_H_

#include <exception>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "common/settings.h"
#include "input/sample.h"

class LineReader;

enum class Line { record, skipped, unreadable };

// Takes one line into s: for a record its time, its columns' values and flags
// (flags from s.columns on are 0); nothing changes for a skipped line or one
// whose time field cannot be read. A bad tform letter raises its banner. The
// flags of s from s.columns on must be 0, as a new Sample's and as every
// call leaves them.
Line parse_record(const char* line, const Settings& set, Sample& s);

// --by: the values read as series 0 to `values` - 1 moved to those of group
// `group`, each flagged: an empty cell's value is a NaN, which breaks its own
// series' line but no other's.
void into_group(Sample& s, int group, int values);

// The time `text` holds, read as a record's time field is (the tform, -u);
// false when the tform reads no time from it.
bool read_time(const char* text, const Settings& set, time_t& t, int& nanos);

// Whether a record at (t, nanos) lies in the settings' window.
inline bool in_window(const Settings& set, time_t t, int nanos) {
  if (set.has_from && (t < set.from_time || (t == set.from_time && nanos < set.from_nanos)))
    return false;
  return !set.has_to || t < set.to_time || (t == set.to_time && nanos <= set.to_nanos);
}

// The next record of `in` into s, passing over those outside the window;
// false at the end of the input. A record whose quoted field is open at its
// line's end takes in the lines after it until it closes (at most 64 KiB;
// else it closes at that end). A time field that cannot be read raises
// "Failed to read line %d." with `number`.
bool next_record(LineReader& in, const Settings& set, long long number, Sample& s);

// What stopped a worker thread's reading of its block of lines, if anything.
struct BlockStop {
  std::exception_ptr error;  // a banner raised while reading
  bool unreadable = false;   // a line whose time field cannot be read
  bool spans_lines = false;  // a quoted field open at a line's end
};

// Raised in order for a block whose record spans lines: the pass is read
// again by one thread (LineReader::read_alone). A banner if it ever escapes.
struct SpansLines : Fatal {
  using Fatal::Fatal;
};

// next_record for a worker: false at the block's end or when a banner, an
// unreadable line or a quoted field open at a line's end stopped it, kept
// in `stop` to be raised in order.
bool next_block_record(LineReader& lines, const Settings& set, Sample& s, BlockStop& stop);

// On the calling thread, after the block's records: raises what stopped the
// block, naming an unreadable line by `number`, its number in the whole pass;
// SpansLines for a record that spans lines.
void finish_block(const BlockStop& stop, long long number);

// The names a header line gives its fields, in field order: each field's
// text without surrounding blanks and one pair of surrounding quotes.
std::vector<std::string> field_names(const std::string& line, char delimiter);

#endif  // TRENDLE_INPUT_RECORD_H_
