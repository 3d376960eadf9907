// Shares a pass over a big regular file out between worker threads, a block
// of lines at a time, and hands the results back in file order, so that a
// pass uses both cores while its outcome stays that of one reading.
#ifndef TRENDLE_INPUT_BLOCKS_H_
#define TRENDLE_INPUT_BLOCKS_H_

#include <functional>

class LineReader;

constexpr int kSlots = 6;  // blocks in flight: results held at once

// Bytes per block. A block's lines are those that begin inside it. Tests set
// it small to share out small files.
long long block_bytes();
void set_block_bytes(long long bytes);

// The number of blocks of `in`, or 0 when it is not worth sharing out: not a
// regular file, or less than two blocks.
int block_count(const LineReader& in);

// Calls work(lines, slot) on worker threads for blocks 0 to count - 1 of
// `whole`'s file, `lines` reading just that block's lines, and consume(slot)
// on the calling thread in block order, each after its block's work. `slot`
// (0 to kSlots - 1) names the caller's storage for the block's result. work
// must not throw; an exception from consume stops the workers and goes on
// to the caller.
void run_in_order(const LineReader& whole, int count,
                  const std::function<void(LineReader& lines, int slot)>& work,
                  const std::function<void(int slot)>& consume);

#endif  // TRENDLE_INPUT_BLOCKS_H_
