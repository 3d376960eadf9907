#include "parallel_scan.h"

#include "block_pool.h"
#include "line_reader.h"
#include "scan.h"

namespace {

// What one block adds to the scan, on cache lines of its own.
struct alignas(64) Part {
  Range range;  // of the block alone; start_time its first nonzero time
  int records = 0;
  Sample last;  // the block's last good record, when it has one
  BlockStop stop;
};

void scan_block(LineReader& lines, const char* tform, Part& part) {
  Range range;
  Sample s;
  int records = 0;
  part.stop = BlockStop();
  while (next_block_record(lines, s, records + 1, tform, part.stop)) {
    add_to_range(range, s);
    ++records;
  }
  part.range = range;
  part.records = records;
  part.last = s;
}

// Adds a later block's range as if its records had followed one by one: the
// comparisons are the strict ones of add_to_range, so equal values (0 and
// -0) keep the earlier one.
void merge(Range& range, const Range& later) {
  if (range.start_time == 0) range.start_time = later.start_time;
  if (later.max > range.max) range.max = later.max;
  if (later.min < range.min) range.min = later.min;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (later.active[n] && !range.active[n]) {
      range.active[n] = 1;
      ++range.num_active;
    }
  }
}

}  // namespace

bool scan_in_blocks(RunState& st, LineReader& in) {
  int count = block_count(in);
  if (count == 0) return false;
  Part parts[kSlots];
  int records = 0;  // good records in the blocks merged so far
  run_in_order(
      in, count, [&](LineReader& lines, int slot) { scan_block(lines, st.tform, parts[slot]); },
      [&](int slot) {
        Part& part = parts[slot];
        merge(st.range, part.range);
        if (part.records > 0) st.sample1 = part.last;
        finish_block(part.stop, st.tform, records + part.records + 1);
        records += part.records;
      });
  st.range.end_time = st.sample1.time;
  return true;
}
