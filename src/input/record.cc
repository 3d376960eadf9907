#include "input/record.h"

#include <cstring>

#include "common/fatal.h"
#include "input/line_reader.h"
#include "input/time_cache.h"
#include "input/time_field.h"
#include "input/value_parse.h"

namespace {

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// A cell that opens with a double quote (after blanks) is read from the
// character after it, as exports that quote every field write numbers.
const char* open_quote(const char* cell) {
  const char* p = cell;
  while (is_space(*p)) ++p;
  return *p == '"' ? p + 1 : cell;
}

}  // namespace

Line parse_record(const char* line, const char* tform, Sample& s) {
  const char* first = line;
  // isspace's set in the C locale, without a call per line.
  while (is_space(*first)) ++first;
  if (*first == '#') return Line::skipped;

  TimeFields field;
  switch (get_time(line, tform, field)) {
    case TimeField::none:
      return Line::skipped;
    case TimeField::unreadable:
      return Line::unreadable;
    case TimeField::read:
      break;
  }
  if (field.unix_seconds >= 0) {
    s.time = static_cast<time_t>(field.unix_seconds);
  } else {
    field.tm.tm_mon -= 1;  // months are written from 1
    s.time = local_seconds(&field.tm);
  }

  memset(s.flags, 0, sizeof s.flags);
  int col = 0;
  for (const char* comma = field.comma; comma && col < kMaxSeries; ++col) {
    const char* text = open_quote(comma + 1);
    s.values[col] = parse_value(text, &comma);
    s.flags[col] = comma != text;
    // A number holds no ',', so the next one is at or after where it ended.
    if (*comma != ',') comma = strchr(comma, ',');
  }
  s.columns = col;
  return Line::record;
}

bool next_record(LineReader& in, const char* tform, long long number, Sample& s) {
  while (const char* line = in.next()) {
    Line kind = parse_record(line, tform, s);
    if (kind == Line::unreadable) gerr("Failed to read line %lld.", number);
    if (kind == Line::record) return true;
  }
  return false;
}

bool next_block_record(LineReader& lines, const char* tform, Sample& s, BlockStop& stop) {
  try {
    while (const char* line = lines.next()) {
      Line kind = parse_record(line, tform, s);
      stop.unreadable = kind == Line::unreadable;
      if (kind != Line::skipped) return kind == Line::record;
    }
  } catch (const Fatal&) {
    // A banner ends the pass where one reading would end it. Anything else
    // (memory running out) leaves the worker, to be read again elsewhere.
    stop.error = std::current_exception();
  }
  return false;
}

void finish_block(const BlockStop& stop, long long number) {
  if (stop.error) std::rethrow_exception(stop.error);
  if (stop.unreadable) gerr("Failed to read line %lld.", number);
}
