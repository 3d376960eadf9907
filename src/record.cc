#include "record.h"

#include <cstdlib>
#include <cstring>

#include "fatal.h"
#include "line_reader.h"
#include "local_time.h"
#include "run_state.h"
#include "time_field.h"
#include "value_parse.h"

void get_value(const char* text, int index, float* values, int* flags) {
  const char* end;
  values[index] = parse_value(text, &end);
  flags[index] = end != text;
}

int parse_record(char* line, float* values, int* flags, int line_number, time_t* time,
                 const char* tform, int* columns) {
  const char* first = line;
  // isspace's set in the C locale, without a call per line.
  while (*first == ' ' || (*first >= '\t' && *first <= '\r')) ++first;
  if (*first == '#') return 1;

  struct tm tm;
  const char* comma;
  switch (get_time(line, &tm, tform, &comma)) {
    case 1:
      return 1;
    case 2:
      gerr("Failed to read line %d.", line_number);
  }
  tm.tm_mon -= 1;  // months are written from 1
  *time = local_seconds(&tm);

  memset(flags, 0, kMaxSeries * sizeof *flags);
  int col = 0;
  for (; comma && col < kMaxSeries; ++col) {
    const char* text = comma + 1;
    values[col] = parse_value(text, &comma);
    flags[col] = comma != text;
    // A number holds no ',', so the next one is at or after where it ended.
    if (*comma != ',') comma = strchr(comma, ',');
  }
  if (columns) *columns = col;
  return 0;
}

int read_line(LineReader& in, float* values, int* flags, int line_number, time_t* time,
              const char* tform, int* columns) {
  char* line = in.next();
  if (!line) return 2;
  return parse_record(line, values, flags, line_number, time, tform, columns);
}
