// Quoted fields: a field that begins with '"' (after blanks) runs to its
// closing quote, and on to the next delimiter; the delimiter, a doubled
// quote and a newline inside the quotes are its text. A line whose quoted
// fields hold no delimiter and no newline reads as it always did.
#ifndef TRENDLE_INPUT_QUOTES_H_
#define TRENDLE_INPUT_QUOTES_H_

#include <cstddef>
#include <string>
#include <vector>

// Stands in for a delimiter inside quotes in the text the record reader
// reads: no number or name runs through it, and no field ends at it.
constexpr char kQuotedDelimiter = '\x1f';

// What the quotes of a text do.
struct Quotes {
  bool open = false;   // the text ends inside a quoted field: its record goes on
  bool inner = false;  // a delimiter, or a newline before the text's own end, inside quotes
};

// The quotes of `text`, `length` bytes or up to a NUL; with `open`, the text
// goes on from inside a quoted field.
Quotes scan_quotes(const char* text, size_t length, char delimiter, bool open = false);

// `line`, whose quotes hold a delimiter or newline (Quotes::inner), as the
// record reader reads it: `copy`, with each such delimiter kQuotedDelimiter
// and each such newline or carriage return a blank. A field still open at
// the end closes there.
const char* unquoted(const char* line, char delimiter, std::string& copy);

// The texts of the fields of `line` up to its line ending, as the names of
// a header: quoted ones without their quotes, a doubled quote as one; no
// field after a delimiter that ends the line.
std::vector<std::string> split_fields(const std::string& line, char delimiter);

#endif  // TRENDLE_INPUT_QUOTES_H_
