// Reads input lines into a sample buffer. A line is a comment ('#' as its first
// non-blank character), a line without a time, or a record: a time field, then
// up to 32 value columns, each after a ','.
#ifndef TRENDLE_RECORD_H_
#define TRENDLE_RECORD_H_

#include <ctime>

class LineReader;

// Converts one value column (the text after its ',') like strtod, rounded to
// float; the flag is 1 only when a number was consumed, else value and flag 0.
void get_value(const char* text, int index, float* values, int* flags);

// Takes one line of text into the buffer: 0 for a good record (time, flags and
// the values of the columns present stored), 1 for a skipped line (nothing
// changes). An unreadable time field raises "Failed to read line %d." with
// line_number. `columns`, when given, is set to the number of value columns
// of a good record; the flags past them are 0.
int parse_record(char* line, float* values, int* flags, int line_number, time_t* time,
                 const char* tform, int* columns = nullptr);

// The next line of the input through parse_record; 2 at the end of the input.
int read_line(LineReader& in, float* values, int* flags, int line_number, time_t* time,
              const char* tform, int* columns = nullptr);

#endif  // TRENDLE_RECORD_H_
