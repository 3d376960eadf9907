// Writes deterministic benchmark logs: one record per second of a text clock
// ("dd/mm/yy HH:MM:SS"), random-walk readings with 2 to 4 decimals, some
// negative, occasional empty cells and comment lines. The same shape always
// gives the same bytes, whatever the machine or the time zone.
#ifndef TRENDLE_BENCH_LOG_GEN_H_
#define TRENDLE_BENCH_LOG_GEN_H_

#include <cstdint>
#include <cstdio>

struct LogShape {
  long long rows = 1000000;  // records; comment lines come on top
  int series = 4;            // value columns, 1 to 32
  // The clock of the first record, as UTC seconds since the epoch; the text
  // is this civil time whatever zone later reads it.
  long long start = 1672531200;  // 01/01/23 00:00:00
  uint64_t seed = 1;
};

// Writes the whole log to `out`; false when a write fails.
bool write_log(const LogShape& shape, FILE* out);

#endif  // TRENDLE_BENCH_LOG_GEN_H_
