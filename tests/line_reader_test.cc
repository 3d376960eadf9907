#include "input/line_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>

#include "test_util.h"

namespace {

// Lines as the reader gives them: each its text up to the first NUL.
using Lines = std::vector<std::string>;

// The lines of `contents` through a pipe or a file in reads of `chunk` bytes: part by part,
// parts `step` bytes long and the last to the end; or whole, after a rewind before the end of
// a first pass, and again after another rewind (the reader copies a pipe as it reads).
Lines read_lines(const std::string& contents, size_t chunk, bool pipe, long long step = 0) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", contents);
  FILE* f = pipe ? popen(("cat " + path).c_str(), "r") : fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str(), chunk);
  Lines lines, again;
  long long size = static_cast<long long>(contents.size());
  for (long long at = 0; step > 0 && (at == 0 || at < size); at += step) {
    in.read_range(at, at + step >= size ? LLONG_MAX : at + step);
    while (const char* line = in.next()) lines.push_back(line);
  }
  if (step == 0) {
    in.next();  // a first pass stopped early
    in.rewind();
    while (const char* line = in.next()) lines.push_back(line);
    in.rewind();
    while (const char* line = in.next()) again.push_back(line);
  }
  EXPECT_EQ(pipe ? pclose(f) : fclose(f), 0);
  return step > 0 || lines == again ? lines : Lines{"the passes differ"};
}

// Lines are compared with EXPECT_TRUE, not printed: they run to megabytes.
TEST(LineReaderTest, SplitsAtNewlinesOnlyWholeInPartsOrRewound) {
  const std::string l511(511, 'a'), l600(600, 'b'), l100k(100000, 'c'), l3m(3 << 20, 'd');
  // Short lines whose total passes the reader's chunk, so that lines straddle reads.
  Lines many;
  std::string text;
  for (int n = 0; n < 120000; ++n)
    text += many.emplace_back("12/05/99 10:30:00," + std::to_string(n) + "\n");
  size_t first_300 = text.find(many[300]);
  const std::pair<std::string, Lines> kCases[] = {
      {"", {}},
      {"a\nb", {"a\n", "b"}},
      {"\n\n", {"\n", "\n"}},
      {"a\n\nb\n\n", {"a\n", "\n", "b\n", "\n"}},
      {"a\r\nb\r\n", {"a\r\n", "b\r\n"}},
      {l511 + "\n", {l511 + "\n"}},
      {l600 + "\n" + l511, {l600 + "\n", l511}},
      {"x\n" + l100k + "\ny\n", {"x\n", l100k + "\n", "y\n"}},
      {l3m + "\n" + l600 + "\n", {l3m + "\n", l600 + "\n"}},
      {std::string("abc\0def\nghi\n", 12), {"abc", "ghi\n"}},
      {std::string("\0\n", 2), {""}},
      // gzip's magic only counts as the input's first two bytes.
      {"\x1f", {"\x1f"}},
      {"\x1f\x8a\n", {"\x1f\x8a\n"}},
      {"a\n\x1f\x8b\nb\n", {"a\n", "\x1f\x8b\n", "b\n"}},
      {text.substr(0, first_300), Lines(many.begin(), many.begin() + 300)},
      {text, many}};
  for (const auto& [contents, want] : kCases) {
    SCOPED_TRACE(contents.substr(0, 20) + " (" + std::to_string(contents.size()) + " bytes)");
    EXPECT_TRUE(read_lines(contents, 64, false) == want) << "64-byte reads";
    EXPECT_TRUE(read_lines(contents, 1 << 20, false) == want) << "file";
    EXPECT_TRUE(read_lines(contents, 1 << 20, true) == want) << "pipe";
    for (long long step : {1, 2, 7, 64, 1 << 20}) {
      for (size_t chunk : {16, 4096}) {
        EXPECT_TRUE(contents.size() > 10000 || read_lines(contents, chunk, false, step) == want)
            << step << "-byte parts, chunk " << chunk;
      }
    }
  }
}

// A reader reads the file as it was when made, a final line without its newline included:
// lines appended later are not read, in passes or in parts; a file that shrinks, as far as it
// goes, and after a pass over it, only as far as that pass went.
TEST(LineReaderTest, ReadsTheSnapshotItWasMadeOn) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", "a\nb\nc");
  FILE* f = fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str(), 64);
  std::ofstream(path, std::ios::app) << "d\n" << std::string(5000, 'e') << "\n";
  LineReader part(in, 64);
  auto lines = [](LineReader& r) {
    Lines got;
    while (const char* line = r.next()) got.push_back(line);
    return got;
  };
  part.read_range(2, LLONG_MAX);
  EXPECT_EQ(lines(part), Lines({"b\n", "c"}));
  EXPECT_EQ(lines(in), Lines({"a\n", "b\n", "c"}));
  EXPECT_EQ(truncate(path.c_str(), 3), 0);
  in.rewind();
  EXPECT_EQ(lines(in), Lines({"a\n", "b"}));
  std::ofstream(path, std::ios::app) << "cd\n";
  in.rewind();
  EXPECT_EQ(lines(in), Lines({"a\n", "b"}));
  fclose(f);
}

// Readers of parts grow their buffers one at a time: a second waits until the first gives its
// long line's buffer back, so that two threads never hold two long lines.
TEST(LineReaderTest, PartsGrowOneAtATime) {
  ScratchDir dir;
  std::string path =
      dir.write("in.csv", std::string(100000, 'x') + "\n" + std::string(100000, 'y'));
  FILE* f = fopen(path.c_str(), "rb");
  LineReader first(f, path.c_str(), 4096), second(first, 4096);
  first.read_range(0, 1);
  ASSERT_NE(first.next(), nullptr);
  std::atomic<bool> read = false;
  std::thread other([&] {
    second.read_range(100001, LLONG_MAX);
    read = second.next() != nullptr;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(read) << "grew while another part's reader held a grown buffer";
  first.give_back();
  other.join();
  EXPECT_TRUE(read);
  fclose(f);
}

// Bytes this process has read so far, by any read call.
long long bytes_read() {
  std::string io = read_file("/proc/self/io");
  return std::stoll(io.substr(io.find("rchar: ") + 7));
}

// A part inside one long line ends at its own end, not at the line's: else
// the parts of a line of n bytes read n * n / part bytes between them.
TEST(LineReaderTest, PartInsideALongLineReadsLittle) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", "start\n" + std::string(8 << 20, 'x') + "\nend\n");
  FILE* f = fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str(), 4096);
  long long before = bytes_read();
  in.read_range(1 << 20, (1 << 20) + 4096);
  EXPECT_EQ(in.next(), nullptr);
  EXPECT_LT(bytes_read() - before, 1 << 20);
  fclose(f);
}

}  // namespace
