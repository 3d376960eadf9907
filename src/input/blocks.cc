#include "input/blocks.h"

#include <climits>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

#include "input/line_reader.h"

namespace {

constexpr int kWorkers = 2;

long long bytes_per_block = 256 << 10;

// Sets `lines` to the lines of `block`; the last block runs to the end of the
// file, whatever its size by then.
void read_block(LineReader& lines, int block, int count) {
  long long begin = block * bytes_per_block;
  lines.read_range(begin, block == count - 1 ? LLONG_MAX : begin + bytes_per_block);
}

// The blocks handed out to the workers and taken back in order.
struct Queue {
  std::mutex mu;
  std::condition_variable_any changed;
  int next = 0;      // the next block to work on
  int consumed = 0;  // blocks consumed, whose slots are free again
  bool done[kSlots] = {};
};

}  // namespace

long long block_bytes() {
  return bytes_per_block;
}

void set_block_bytes(long long bytes) {
  bytes_per_block = bytes;
}

int block_count(const LineReader& in) {
  long long size = in.regular_size();
  long long count = size / bytes_per_block + (size % bytes_per_block != 0);
  return count >= 2 && count <= INT_MAX ? static_cast<int>(count) : 0;
}

void run_in_order(const LineReader& whole, int count,
                  const std::function<void(LineReader& lines, int slot)>& work,
                  const std::function<void(int slot)>& consume) {
  Queue q;
  auto worker = [&](std::stop_token stop) {
    // On this thread's own stack and heap: readers side by side in memory
    // would share cache lines that both threads write for every line.
    LineReader lines(whole, static_cast<size_t>(bytes_per_block));
    for (;;) {
      int block;
      {
        std::unique_lock lock(q.mu);
        q.changed.wait(lock, stop, [&] { return q.next >= count || q.next < q.consumed + kSlots; });
        if (stop.stop_requested() || q.next >= count) return;
        block = q.next++;
      }
      read_block(lines, block, count);
      work(lines, block % kSlots);
      {
        std::lock_guard lock(q.mu);
        q.done[block % kSlots] = true;
      }
      q.changed.notify_all();
    }
  };
  // Declared after q: however this function is left, the threads are told
  // to stop and joined before q goes.
  std::vector<std::jthread> threads;
  // A limit on processes (ulimit -u, a container's) may refuse threads: the
  // ones started share the blocks out, and with none this thread does all.
  for (int id = 0; id < kWorkers; ++id) {
    try {
      threads.emplace_back(worker);
    } catch (const std::system_error&) {
      break;
    }
  }
  if (threads.empty()) {
    LineReader lines(whole, static_cast<size_t>(bytes_per_block));
    for (int block = 0; block < count; ++block) {
      read_block(lines, block, count);
      work(lines, block % kSlots);
      consume(block % kSlots);
    }
    return;
  }
  for (int block = 0; block < count; ++block) {
    int slot = block % kSlots;
    {
      std::unique_lock lock(q.mu);
      q.changed.wait(lock, [&] { return q.done[slot]; });
    }
    consume(slot);
    {
      std::lock_guard lock(q.mu);
      q.done[slot] = false;
      ++q.consumed;
    }
    q.changed.notify_all();
  }
}
