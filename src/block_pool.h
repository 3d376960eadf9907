// Shares a pass over a big regular file out between two worker threads, a
// block of lines at a time, and hands the results back in file order, so
// that a pass uses both cores while its outcome stays that of one reading.
#ifndef TRENDLE_BLOCK_POOL_H_
#define TRENDLE_BLOCK_POOL_H_

#include <exception>
#include <functional>
#include <string>

#include "run_state.h"

class LineReader;

constexpr int kWorkers = 2;
constexpr int kSlots = 6;  // blocks in flight: results held at once

// Bytes per block. A block's lines are those that begin inside it. Tests set
// it small to share out small files.
long long block_bytes();
void set_block_bytes(long long bytes);

// The number of blocks of `in`, or 0 when it is not worth sharing out: not a
// regular file, or less than two blocks.
int block_count(const LineReader& in);

// Calls work(lines, slot) on the worker threads for blocks 0 to count - 1 of
// `whole`'s file, `lines` reading just that block's lines, and consume(slot)
// on the calling thread in block order, each after its block's work. `slot`
// (0 to kSlots - 1) names the caller's storage for the block's result. work
// must not throw; an exception from consume stops the workers and goes on
// to the caller.
void run_in_order(const LineReader& whole, int count,
                  const std::function<void(LineReader& lines, int slot)>& work,
                  const std::function<void(int slot)>& consume);

// What stopped a worker's reading of its block, if anything.
struct BlockStop {
  std::exception_ptr error;
  bool refused = false;      // a line's time field could not be read
  std::string refused_line;  // that line, to be read again with its number
};

// The next good record of a block into s, `number` naming it in a failure:
// false at the block's end, or when a line or a read stopped it (kept in
// stop; the worker must not throw).
bool next_block_record(LineReader& lines, Sample& s, int number, const char* tform,
                       BlockStop& stop);

// On the calling thread, after the block's records: reads a refused line
// again with `number`, its number in the whole pass, so that the banner is
// the one a single reading gives; then rethrows what stopped the block.
void finish_block(const BlockStop& stop, const char* tform, int number);

#endif  // TRENDLE_BLOCK_POOL_H_
