#include "input/blocks.h"

#include <climits>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "input/line_reader.h"

namespace {

constexpr int kWorkers = 2;

long long bytes_per_block = 256 << 10;

using Consume = std::function<void(int slot)>;

long long block_begin(int block) {
  return block * bytes_per_block;
}

// The last block runs to the end of the file's snapshot.
long long block_end(int block, int count) {
  return block == count - 1 ? LLONG_MAX : block_begin(block) + bytes_per_block;
}

// Reads the lines of `block` from `from` (its first byte, or a line's) to its
// end on this thread, consuming each slotful.
void read_here(LineReader& lines, long long from, int block, int count, const BlockWork& work,
               const Consume& consume) {
  int slot = block % kSlots;
  lines.read_range(from, block_end(block, count));
  while (!work(lines, slot)) consume(slot);
  // Before this thread waits for a worker that may be waiting to grow.
  lines.give_back();
  consume(slot);
}

// Blocks `from` to count - 1, all on this thread.
void read_alone(const LineReader& whole, int from, int count, const BlockWork& work,
                const Consume& consume) {
  LineReader lines(whole, static_cast<size_t>(bytes_per_block));
  for (int block = from; block < count; ++block) {
    read_here(lines, block_begin(block), block, count, work, consume);
  }
}

// The blocks handed out to the workers and taken back in order.
struct Queue {
  std::mutex mu;
  std::condition_variable_any changed;
  int next = 0;      // the next block to work on
  int consumed = 0;  // blocks consumed, whose slots are free again
  int workers = 0;   // workers that have a reader
  bool done[kSlots] = {};
  bool more[kSlots] = {};  // the block's worker fills the slot again once consumed
  long long redo[kSlots];  // >= 0: the worker failed reading from this offset
};

// One worker's reading of `block`, slotful by slot; false when told to stop.
bool work_on(Queue& q, LineReader& lines, int block, int count, const BlockWork& work,
             std::stop_token stop) {
  int slot = block % kSlots;
  long long from = block_begin(block);
  lines.read_range(from, block_end(block, count));
  for (;;) {
    bool finished = true;
    long long redo = -1;
    try {
      finished = work(lines, slot);
    } catch (...) {
      redo = from;
    }
    from = lines.next_line_offset();
    lines.give_back();
    {
      std::lock_guard lock(q.mu);
      q.done[slot] = true;
      q.more[slot] = !finished;
      q.redo[slot] = redo;
    }
    q.changed.notify_all();
    if (finished) return true;
    std::unique_lock lock(q.mu);
    q.changed.wait(lock, stop, [&] { return !q.done[slot]; });
    if (stop.stop_requested()) return false;
  }
}

void worker(Queue& q, const LineReader& whole, int count, const BlockWork& work,
            std::stop_token stop) {
  // On this thread's own stack and heap: readers side by side in memory
  // would share cache lines that both threads write for every line.
  std::optional<LineReader> lines;
  try {
    lines.emplace(whole, static_cast<size_t>(bytes_per_block));
  } catch (...) {
    std::lock_guard lock(q.mu);
    --q.workers;
    q.changed.notify_all();
    return;
  }
  for (;;) {
    int block;
    {
      std::unique_lock lock(q.mu);
      q.changed.wait(lock, stop, [&] { return q.next >= count || q.next < q.consumed + kSlots; });
      if (stop.stop_requested() || q.next >= count) return;
      block = q.next++;
    }
    if (!work_on(q, *lines, block, count, work, stop)) return;
  }
}

}  // namespace

long long block_bytes() {
  return bytes_per_block;
}

void set_block_bytes(long long bytes) {
  bytes_per_block = bytes;
}

int block_count(const LineReader& in) {
  if (in.alone()) return 0;
  long long size = in.regular_size();
  long long count = size / bytes_per_block + (size % bytes_per_block != 0);
  return count >= 2 && count <= INT_MAX ? static_cast<int>(count) : 0;
}

void run_in_order(const LineReader& whole, int count, const BlockWork& work,
                  const Consume& consume) {
  Queue q;
  std::optional<LineReader> here;  // for what a worker failed to read
  // Declared after q: however this function is left, the threads are told
  // to stop and joined before q goes.
  std::vector<std::jthread> threads;
  // A limit on processes (ulimit -u, a container's) or on memory may refuse
  // threads: the ones started share the blocks out.
  for (int id = 0; id < kWorkers; ++id) {
    try {
      std::lock_guard lock(q.mu);
      threads.emplace_back([&](std::stop_token stop) { worker(q, whole, count, work, stop); });
      ++q.workers;
    } catch (const std::exception&) {
      break;
    }
  }
  for (int block = 0; block < count;) {
    int slot = block % kSlots;
    std::unique_lock lock(q.mu);
    q.changed.wait(lock, [&] { return q.done[slot] || q.workers == 0; });
    // With no worker left none took a block: this thread reads them all.
    if (!q.done[slot]) {
      lock.unlock();
      read_alone(whole, block, count, work, consume);
      return;
    }
    bool more = q.more[slot];
    long long redo = q.redo[slot];
    lock.unlock();
    if (redo >= 0) {
      if (!here) here.emplace(whole, static_cast<size_t>(bytes_per_block));
      read_here(*here, redo, block, count, work, consume);
    } else {
      consume(slot);
    }
    lock.lock();
    q.done[slot] = false;
    if (!more) {
      ++q.consumed;
      ++block;
    }
    lock.unlock();
    q.changed.notify_all();
  }
}
