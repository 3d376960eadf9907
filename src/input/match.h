// Rows picked by their text (--match): a row is a record only where each
// field the settings name holds one of the texts given for it; and grouped
// by it (--by).
#ifndef TRENDLE_INPUT_MATCH_H_
#define TRENDLE_INPUT_MATCH_H_

#include <string>
#include <string_view>

#include "common/settings.h"

// Whether `line` is a row that --match keeps: true without --match.
bool row_matches(const char* line, const Settings& set);

// The text of field `field` (from 1) of `line`, as the record reader reads
// lines (a quoted delimiter stood in for by kQuotedDelimiter): without
// surrounding blanks and one pair of quotes, a doubled quote inside as one;
// in place where it holds no quote, else in `copy`. False when the line has
// no such field.
bool text_at(const char* line, int field, char delimiter, std::string& copy,
             std::string_view& text);

#endif  // TRENDLE_INPUT_MATCH_H_
