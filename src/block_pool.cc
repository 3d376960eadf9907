#include "block_pool.h"

#include <climits>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "fatal.h"
#include "line_reader.h"
#include "record.h"

namespace {

long long bytes_per_block = 256 << 10;

// Sets `lines` to the lines of `block`; the last block runs to the end of the
// file, whatever its size by then.
void read_block(LineReader& lines, int block, int count) {
  long long begin = block * bytes_per_block;
  lines.read_range(begin, block == count - 1 ? LLONG_MAX : begin + bytes_per_block);
}

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
  std::mutex mu;
  std::condition_variable changed;
  int next = 0;      // the next block to work on
  int consumed = 0;  // blocks consumed, whose slots are free again
  bool done[kSlots] = {};
  bool stop = false;

  auto worker = [&] {
    // On this thread's own stack and heap: readers side by side in memory
    // would share cache lines that both threads write for every line.
    LineReader lines(whole, static_cast<size_t>(bytes_per_block));
    for (;;) {
      int block;
      {
        std::unique_lock<std::mutex> lock(mu);
        changed.wait(lock, [&] { return stop || next >= count || next < consumed + kSlots; });
        if (stop || next >= count) return;
        block = next++;
      }
      read_block(lines, block, count);
      work(lines, block % kSlots);
      {
        std::lock_guard<std::mutex> lock(mu);
        done[block % kSlots] = true;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
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
  auto finish = [&] {
    {
      std::lock_guard<std::mutex> lock(mu);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& t : threads) t.join();
  };

  try {
    for (int block = 0; block < count; ++block) {
      int slot = block % kSlots;
      {
        std::unique_lock<std::mutex> lock(mu);
        changed.wait(lock, [&] { return done[slot]; });
      }
      consume(slot);
      {
        std::lock_guard<std::mutex> lock(mu);
        done[slot] = false;
        ++consumed;
      }
      changed.notify_all();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

bool next_block_record(LineReader& lines, Sample& s, int number, const char* tform,
                       BlockStop& stop) {
  try {
    while (char* line = lines.next()) {
      try {
        if (parse_record(line, s.values, s.flags, number, &s.time, tform, &s.columns) == 0)
          return true;
      } catch (const Fatal&) {
        stop.error = std::current_exception();
        stop.refused = true;
        stop.refused_line = line;
        return false;
      }
    }
  } catch (...) {
    stop.error = std::current_exception();
  }
  return false;
}

void finish_block(const BlockStop& stop, const char* tform, int number) {
  if (stop.refused) {
    Sample scratch;
    std::string line = stop.refused_line;
    parse_record(line.data(), scratch.values, scratch.flags, number, &scratch.time, tform);
  }
  if (stop.error) std::rethrow_exception(stop.error);
}
