// Rows picked by their text (--match): a row is a record only where each
// field the settings name holds one of the texts given for it.
#ifndef TRENDLE_INPUT_MATCH_H_
#define TRENDLE_INPUT_MATCH_H_

#include <string>

#include "common/settings.h"

// The text of field `field` (from 1) of `line`, as the record reader reads
// lines (a quoted delimiter stood in for by kQuotedDelimiter): without
// surrounding blanks and one pair of quotes, a doubled quote inside as one;
// false when the line has no such field.
bool field_text(const char* line, int field, char delimiter, std::string& text);

// Whether `line` is a row that --match keeps: true without --match.
bool row_matches(const char* line, const Settings& set);

#endif  // TRENDLE_INPUT_MATCH_H_
