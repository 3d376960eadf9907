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
// regular file, less than two blocks, or records that span lines.
int block_count(const LineReader& in);

// Reads some of a block's lines into slot `slot`: true when it read them to
// the block's end, false when the slot is full and more remain.
using BlockWork = std::function<bool(LineReader& lines, int slot)>;

// Calls work(lines, slot) on worker threads for blocks 0 to count - 1 of
// `whole`'s file, `lines` reading just that block's lines, and consume(slot)
// on the calling thread in block order after each call, so that a slot's
// result is consumed before work fills it again. `slot` (0 to kSlots - 1)
// names the caller's storage for a block's result. Whatever a worker throws
// stays on its thread: that part of the block is read again on the calling
// thread, where a failure goes on to the caller, as does an exception from
// consume, which stops the workers.
void run_in_order(const LineReader& whole, int count, const BlockWork& work,
                  const std::function<void(int slot)>& consume);

#endif  // TRENDLE_INPUT_BLOCKS_H_
