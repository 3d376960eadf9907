#include "input/blocks.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>

#include "input/line_reader.h"
#include "test_util.h"

namespace {

// Each line reaches consume once and in file order, a few lines a call, whatever the
// workers throw: a part a worker failed to read is read again on the calling thread.
TEST(BlocksTest, EveryLineOnceInOrderWhateverWorkersThrow) {
  std::string text;
  for (int n = 0; n < 3000; ++n) text += std::to_string(n) + "\n";
  ScratchDir dir;
  std::string path = dir.write("in.csv", text);
  FILE* f = fopen(path.c_str(), "rb");
  LineReader whole(f, path.c_str());
  long long usual = block_bytes();
  set_block_bytes(1000);
  const std::thread::id caller = std::this_thread::get_id();
  for (int fail_every : {0, 3, 1}) {
    std::vector<std::string> slots[kSlots];
    std::string got;
    std::atomic<int> calls = 0;
    auto work = [&](LineReader& lines, int slot) {
      slots[slot].clear();
      bool fail = std::this_thread::get_id() != caller && fail_every && ++calls % fail_every == 0;
      for (const char* line; slots[slot].size() < 10; slots[slot].push_back(line)) {
        if (fail && slots[slot].size() == 5) throw std::bad_alloc();
        if (!(line = lines.next())) return true;
      }
      return false;
    };
    run_in_order(whole, block_count(whole), work, [&](int slot) {
      for (const std::string& line : slots[slot]) got += line;
    });
    EXPECT_TRUE(got == text) << "failing every " << fail_every << " calls";
  }
  set_block_bytes(usual);
  fclose(f);
}

}  // namespace
