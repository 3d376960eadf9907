#include "input/record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <string>

#include "common/fatal.h"
#include "input/line_reader.h"
#include "input/match.h"
#include "input/quotes.h"
#include "input/time_cache.h"
#include "input/time_field.h"
#include "input/usual_time.h"
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

// A copy of a line or of a value, per thread. One grown for a long line is
// let go after it, so that memory stays that of the lines themselves.
struct Scratch {
  std::string text;
  void let_go() {
    if (text.capacity() > (1 << 20)) std::string().swap(text);
  }
};
thread_local Scratch moved_line, cut_value, unquoted_line, row_text;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Passes over --thousands' character between two digits of the number's
// whole part, up to its decimal point or exponent: as the delimiter, it
// stands inside quotes for itself.
void drop_thousands(std::string& cell, const Settings& set) {
  char mark = set.thousands == set.delimiter ? kQuotedDelimiter : set.thousands;
  char point = set.decimal_comma ? ',' : '.';
  bool whole = true;
  size_t kept = 0;  // at most i: a byte before i is changed only where bytes were left out
  for (size_t i = 0; i < cell.size(); ++i) {
    char c = cell[i];
    whole = whole && c != point && c != 'e' && c != 'E';
    if (whole && c == mark && i > 0 && is_digit(cell[i - 1]) && is_digit(cell[i + 1])) continue;
    cell[kept++] = c;
  }
  cell.resize(kept);
}

// The value of the cell that begins at `cell`, as strtod reads it; *end is
// where the reading stopped, at or before the cell's delimiter.
bool read_cell(const char* cell, const Settings& set, float& value, const char** end) {
  if (!set.cut_cells) {
    const char* text = open_quote(cell);
    value = parse_value(text, end);
    return *end != text;
  }
  // The usual number with a decimal comma reads no delimiter: it is read
  // where it stands (copied, decimal commas took 1.40 times the default's
  // CPU time on the 1M x 4 log). Any other is cut at its delimiter, its
  // decimal comma made a point.
  if (set.comma_cells && parse_usual_value(open_quote(cell), ',', value, end)) return true;
  const char* stop = strchr(cell, set.delimiter);
  if (!stop) stop = cell + strlen(cell);
  std::string& copy = cut_value.text;
  copy.assign(cell, stop);
  if (set.thousands) drop_thousands(copy, set);
  if (set.decimal_comma) std::replace(copy.begin(), copy.end(), ',', '.');
  const char* text = open_quote(copy.c_str());
  const char* read;
  value = parse_value(text, &read);
  cut_value.let_go();
  *end = stop;
  return read != text;
}

bool ends_line(const char* p) {
  return p[0] == '\0' || (p[0] == '\n' && p[1] == '\0');
}

// The first delimiter after p, where a number's reading stopped before the
// end of the line; null when there is none. Most often right after the
// closing quote of a quoted number (looked for with strchr, a quoted log
// took 3.5% more instructions).
const char* delimiter_after(const char* p, char delimiter) {
  if (*p == '"' && p[1] == delimiter) return p + 1;
  if (*p == '"' && ends_line(p + 1)) return nullptr;
  return strchr(p, delimiter);
}

// The values after the time field, each after its delimiter `comma`.
// Flattened: parse_value, called from several places, is inlined here, where
// the usual layout spends its time (a sixth more CPU time on 32 series).
[[gnu::flatten]] void read_columns(const char* comma, const Settings& set, Sample& s) {
  const char delimiter = set.delimiter;
  int col = 0;
  for (; comma && col < kMaxSeries; ++col) {
    s.flags[col] = read_cell(comma + 1, set, s.values[col], &comma);
    // A number holds no delimiter, so the next one is at or after its end;
    // a line's last number is usually right before its end, "\n\0".
    if (*comma != delimiter) comma = ends_line(comma) ? nullptr : delimiter_after(comma, delimiter);
  }
  s.columns = col;
}

// The values of the fields that set.cells names, walking the line's fields.
// A time field read where it stands, from `time` on, ends at `time_end`, the
// first delimiter after it: the walk takes it from there.
[[gnu::flatten]] void read_fields(const char* line, const Settings& set, Sample& s,
                                  const char* time, const char* time_end) {
  const char delimiter = set.delimiter;
  const char* cell = line;  // the start of field `field`
  const char* from = line;  // where its delimiter is looked for
  int field = 1;
  for (auto [wanted, series] : set.cells) {
    for (; field < wanted; ++field) {
      cell = *from == delimiter ? from : from == time ? time_end : strchr(from, delimiter);
      if (!cell) return;
      from = ++cell;
    }
    s.flags[series] = read_cell(cell, set, s.values[series], &from);
    s.columns = std::max(s.columns, series + 1);
  }
}

// Where field set.time_field of the line begins; null when it has none.
const char* nth_field(const char* line, const Settings& set) {
  const char* start = line;
  for (int field = 1; field < set.time_field; ++field) {
    start = strchr(start, set.delimiter);
    if (!start) return nullptr;
    ++start;
  }
  return start;
}

// The line as it would read with the time field, at `start`, moved to the front.
const char* time_field_first(const char* line, const char* start, const Settings& set) {
  size_t length = strlen(line);
  const char* stop = line + length;
  const char* ending = stop;  // the line's newline, which stays at its end
  if (length > 0 && stop[-1] == '\n') ending -= length > 1 && stop[-2] == '\r' ? 2 : 1;
  const char* after = strchr(start, set.delimiter);
  if (!after || after > ending) after = ending;
  std::string& moved = moved_line.text;
  moved.assign(start, after);
  moved += set.delimiter;
  moved.append(line, start - 1 - line);
  moved.append(after, stop);
  return moved.c_str();
}

// The line's time field into `field`: the first, or the one -t names, read
// where it stands when it is the usual one, else from a copy of the line
// with it moved to the front (copying every line took -t 2 from 1.25 to
// 1.36 times the default's CPU time as the default grew faster); none when
// the line has no such field. `in_place` is where the field -t names begins
// when it was read there, ending at field.comma; else null.
TimeField read_time_field(const char* line, const Settings& set, TimeFields& field,
                          const char*& in_place) {
  in_place = nullptr;
  if (set.time_field == 1) return get_time(line, set, field);
  const char* start = nth_field(line, set);
  if (!start) return TimeField::none;
  if (get_usual_time(start, set, field)) {
    in_place = start;
    return TimeField::read;
  }
  TimeField got = get_time(time_field_first(line, start, set), set, field);
  moved_line.let_go();
  return got;
}

// The instant a time field names: local unless it had a UTC offset.
time_t seconds_of(TimeFields& field) {
  if (field.unix_seconds >= 0) return static_cast<time_t>(field.unix_seconds);
  field.tm.tm_mon -= 1;  // months are written from 1
  // A UTC offset makes the reading an instant, whatever TZ says.
  return field.offset == kNoOffset ? local_seconds(&field.tm)
                                   : utc_seconds(&field.tm) - static_cast<time_t>(field.offset);
}

// The index of `text` in `texts`, or -1. Most texts are a few bytes,
// compared here: std::find's memcmp call for each took --by 3% more CPU
// time on the 1M-row long log (15 runs each).
int index_of(const std::vector<std::string>& texts, std::string_view text) {
  for (size_t k = 0; k < texts.size(); ++k) {
    const std::string& t = texts[k];
    if (t.size() != text.size()) continue;
    size_t i = 0;
    while (i < t.size() && t[i] == text[i]) ++i;
    if (i == t.size()) return static_cast<int>(k);
  }
  return -1;
}

// --by: the row's group in s, and a text not yet known in s.text; false for
// a row passed over: one without the field, or, once the texts are known,
// one of a text left out. `time_end`: the delimiter that ends the time
// field where it was read in place, from which a later field is looked for.
bool find_group(const char* line, const Settings& set, Sample& s, const char* time_end) {
  bool after = time_end && set.by_field > set.time_field;
  const char* from = after ? time_end + 1 : line;
  int field = after ? set.by_field - set.time_field : set.by_field;
  std::string_view text;
  if (!text_at(from, field, set.delimiter, row_text.text, text)) return false;
  s.group = index_of(set.by_texts, text);
  if (s.group >= 0) return true;
  if (set.by_known) return false;
  // Kept past the line, which a long one's copy may not be.
  if (text.data() != row_text.text.data()) row_text.text.assign(text);
  s.text = row_text.text;
  return true;
}

// A line, its quoted delimiters and newlines stood in for, into s.
// Flattened: with the time letters, the time field grew past what the
// compiler inlines here, and the value walk was called out of line (4% more
// instructions on the 1M x 4 benchmark log than inlined).
[[gnu::flatten]] Line read_line(const char* line, const Settings& set, Sample& s) {
  const char* first = line;
  // isspace's set in the C locale, without a call per line.
  while (is_space(*first)) ++first;
  if (*first == '#') return Line::skipped;
  if (!set.matches.empty() && !row_matches(line, set)) return Line::skipped;

  TimeFields field;
  const char* in_place;
  // With -t the values are read from the line itself: field.comma is not used then.
  switch (read_time_field(line, set, field, in_place)) {
    case TimeField::none:
      return Line::skipped;
    case TimeField::unreadable:
      return Line::unreadable;
    case TimeField::read:
      break;
  }
  // Where the time field begins, when the delimiter after it is known: read
  // in place, or first and of numbers alone, which end at the line's first
  // delimiter. The fields up to it are not walked again.
  const char* time = in_place                                     ? in_place
                     : set.time_field == 1 && set.time_ends_first ? line
                                                                  : nullptr;
  const char* time_end = time ? field.comma : nullptr;
  if (set.by_field && !find_group(line, set, s, time_end)) return Line::skipped;
  s.nanos = field.nanos;
  s.time = seconds_of(field);

  if (set.cells.empty()) {
    // The flags from s.columns on are 0 already: only those of columns the
    // last record had and this one lacks are cleared. A memset of all 32
    // became a string instruction that took 7% of a record's time to start.
    int before = s.columns;
    read_columns(field.comma, set, s);
    for (int col = s.columns; col < before; ++col) s.flags[col] = 0;
  } else {
    // As above: only the flags of columns the last record had are cleared.
    for (int col = 0; col < s.columns; ++col) s.flags[col] = 0;
    s.columns = 0;
    read_fields(line, set, s, time, field.comma);
    if (set.by_field && s.group >= 0) into_group(s, s.group, static_cast<int>(set.columns.size()));
  }
  return Line::record;
}

// A line into s; `inner`: whether its quotes hold a delimiter or a newline
// (Quotes::inner), which its caller found.
[[gnu::always_inline]] inline Line parse_line(const char* text, bool inner, const Settings& set,
                                              Sample& s) {
  if (!inner) return read_line(text, set, s);
  Line kind = read_line(unquoted(text, set.delimiter, unquoted_line.text), set, s);
  unquoted_line.let_go();
  return kind;
}

}  // namespace

Line parse_record(const char* text, const Settings& set, Sample& s) {
  bool inner = strchr(text, '"') && scan_quotes(text, strlen(text), set.delimiter).inner;
  return parse_line(text, inner, set, s);
}

void into_group(Sample& s, int group, int values) {
  const int base = group * values;
  // From the last down: the values only move up.
  for (int v = values - 1; v >= 0; --v) {
    s.values[base + v] = s.flags[v] ? s.values[v] : NAN;
    s.flags[base + v] = 1;
  }
  for (int v = 0; v < std::min(values, base); ++v) s.flags[v] = 0;
  s.columns = base + values;
  s.group = group;
}

bool read_time(const char* text, const Settings& set, time_t& t, int& nanos) {
  TimeFields field;
  if (get_time(text, set, field) != TimeField::read) return false;
  t = seconds_of(field);
  nanos = field.nanos;
  return true;
}

namespace {

// The quotes of a line the reader read: none in a comment, which has no fields.
Quotes quotes_of(const LineReader& in, const char* line, char delimiter) {
  if (!in.quoted()) return Quotes();
  // isspace's set, without a call per line.
  const char* p = line;
  while (is_space(*p)) ++p;
  if (*p == '#') return Quotes();
  return scan_quotes(line, in.length(), delimiter);
}

// A quoted field runs on through the lines after its own for at most this
// many bytes: one stray quote never swallows the log.
constexpr size_t kMostQuoted = 64 << 10;

thread_local Scratch joined_lines;

// The next line of `in`, or a record's lines joined: with a quoted field
// still open at its end, the lines after it until the field closes. Past
// kMostQuoted bytes or at the end of the input the quote closes at the end
// of its own line, and the lines read ahead are read again. `inner`: whether
// its quotes hold a delimiter or a newline.
const char* next_text(LineReader& in, const Settings& set, bool& inner) {
  const char* line = in.next();
  Quotes quotes = line ? quotes_of(in, line, set.delimiter) : Quotes();
  inner = quotes.inner;
  if (!quotes.open) return line;
  // Such a record may span blocks: every pass after this one reads the log
  // on one thread too (the scan of --by reads on one thread from the start).
  in.read_alone();
  std::string& joined = joined_lines.text;
  joined = line;
  const size_t first = joined.size();
  std::deque<std::string> ahead;
  while (joined.size() <= kMostQuoted) {
    const char* more = in.next();
    if (!more) break;
    ahead.emplace_back(more);
    joined += more;
    if (!scan_quotes(more, in.length(), set.delimiter, true).open) {
      inner = true;  // the newline that ended its first line
      return joined.c_str();
    }
  }
  in.read_again(std::move(ahead));
  joined.resize(first);
  return joined.c_str();
}

}  // namespace

bool next_record(LineReader& in, const Settings& set, long long number, Sample& s) {
  bool inner;
  while (const char* line = next_text(in, set, inner)) {
    Line kind = parse_line(line, inner, set, s);
    if (kind == Line::unreadable) gerr("Failed to read line %lld.", number);
    if (kind == Line::record && (!set.windowed || in_window(set, s.time, s.nanos))) return true;
  }
  return false;
}

bool next_block_record(LineReader& lines, const Settings& set, Sample& s, BlockStop& stop) {
  try {
    while (const char* line = lines.next()) {
      // A record that spans lines may span blocks: the pass is read again
      // by one thread.
      Quotes quotes = quotes_of(lines, line, set.delimiter);
      if (quotes.open) {
        stop.spans_lines = true;
        return false;
      }
      Line kind = parse_line(line, quotes.inner, set, s);
      stop.unreadable = kind == Line::unreadable;
      if (kind == Line::record && set.windowed && !in_window(set, s.time, s.nanos)) continue;
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
  if (stop.spans_lines) throw SpansLines("Failed to read line " + std::to_string(number) + ".");
  if (stop.error) std::rethrow_exception(stop.error);
  if (stop.unreadable) gerr("Failed to read line %lld.", number);
}

std::vector<std::string> field_names(const std::string& line, char delimiter) {
  std::vector<std::string> names = split_fields(line, delimiter);
  for (std::string& name : names) {
    size_t a = name.find_first_not_of(" \t"), b = name.find_last_not_of(" \t");
    name = a == name.npos ? "" : name.substr(a, b - a + 1);
  }
  return names;
}
