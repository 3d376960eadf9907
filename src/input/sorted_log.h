// The records of a log in time order, those at equal times in file order
// (--sort). Memory stays flat at any length: runs of a few megabytes are
// sorted in memory and written to an unnamed temporary file in $TMPDIR (else
// /tmp), which no exit leaves behind, then merged as they are read.
#ifndef TRENDLE_INPUT_SORTED_LOG_H_
#define TRENDLE_INPUT_SORTED_LOG_H_

#include <cstdio>
#include <memory>
#include <vector>

#include "common/settings.h"
#include "input/sample.h"

class LineReader;

// Bytes of records sorted at once, before they are written out. Tests set it small.
long long sort_run_bytes();
void set_sort_run_bytes(long long bytes);

class SortedLog {
 public:
  // Reads every record of `in` in the window (a big regular file by threads)
  // and rewinds it, keeping the values of series 0 to `series` - 1. A
  // temporary file that cannot be made, written or read raises the input's
  // read-failed banner.
  SortedLog(const Settings& set, LineReader& in, int series);
  ~SortedLog();
  SortedLog(const SortedLog&) = delete;
  SortedLog& operator=(const SortedLog&) = delete;

  // The next record in time order into s: its time, values and flags as
  // the record reader gave them; false after the last.
  bool next(Sample& s);

  // Starts again from the earliest record.
  void rewind();

  struct Run {
    long long begin, end;  // bytes of the temporary file
  };
  struct Runs;
  struct Merge;

 private:
  void merge_down();

  const char* path_;
  size_t size_;  // of a record: its time, a bit per series with a value, the values
  std::unique_ptr<FILE, int (*)(FILE*)> file_{nullptr, &fclose};  // the sorted runs in turn
  std::vector<Run> runs_;
  std::unique_ptr<Merge> merge_;
};

#endif  // TRENDLE_INPUT_SORTED_LOG_H_
