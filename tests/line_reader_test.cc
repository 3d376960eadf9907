#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using Lines = std::vector<std::string>;

// The lines up to the end of the input, each as its text up to the first NUL.
void read_all(LineReader& in, Lines& lines) {
  while (const char* line = in.next()) lines.push_back(line);
}

// The lines of `contents` read from a file in reads of `chunk` bytes: whole,
// or part by part, parts `step` bytes long and the last to the end.
Lines read_lines(const std::string& contents, size_t chunk, long long step = 0) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", contents);
  FILE* f = fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str(), chunk);
  Lines lines;
  long long size = static_cast<long long>(contents.size());
  for (long long at = 0; at == 0 || (step > 0 && at < size); at += std::max(step, 1LL)) {
    if (step > 0) in.read_range(at, at + step >= size ? LLONG_MAX : at + step);
    read_all(in, lines);
  }
  fclose(f);
  return lines;
}

// The lines of `contents` through a pipe, which cannot be rewound, or a
// file: read again after a rewind before the end of the first pass, and
// again after another rewind. The reader copies a pipe as it reads.
Lines reread(const std::string& contents, bool pipe) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", contents);
  FILE* f = pipe ? popen(("cat " + path).c_str(), "r") : fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str());
  Lines first, second;
  in.next();
  in.rewind();
  read_all(in, first);
  in.rewind();
  read_all(in, second);
  EXPECT_EQ(pipe ? pclose(f) : fclose(f), 0);
  return first == second ? first : Lines{"the passes differ"};
}

// Short lines whose total passes the reader's chunk, so lines straddle reads.
Lines many_lines(int count) {
  Lines lines;
  for (int n = 0; n < count; ++n) lines.push_back("12/05/99 10:30:00," + std::to_string(n) + "\n");
  return lines;
}

std::string join(const Lines& lines) {
  return std::accumulate(lines.begin(), lines.end(), std::string());
}

// Lines are compared with EXPECT_TRUE, not printed: they run to megabytes.
TEST(LineReaderTest, SplitsAtNewlinesOnlyWholeInPartsOrRewound) {
  const std::string l511(511, 'a'), l600(600, 'b'), l100k(100000, 'c'), l3m(3 << 20, 'd');
  const std::pair<std::string, Lines> kCases[] = {
      {"", {}},
      {"a\nb", {"a\n", "b"}},
      {"\n\n", {"\n", "\n"}},
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
      {join(many_lines(300)), many_lines(300)},
      {join(many_lines(120000)), many_lines(120000)},
  };
  for (const auto& [contents, want] : kCases) {
    SCOPED_TRACE(contents.substr(0, 20) + " (" + std::to_string(contents.size()) + " bytes)");
    EXPECT_TRUE(read_lines(contents, 1 << 20) == want);
    EXPECT_TRUE(read_lines(contents, 64) == want);
    EXPECT_TRUE(reread(contents, false) == want && reread(contents, true) == want);
    for (long long step : {1, 2, 7, 64, 1 << 20}) {
      for (size_t chunk : {16, 4096}) {
        EXPECT_TRUE(contents.size() > 10000 || read_lines(contents, chunk, step) == want)
            << step << "-byte parts, chunk " << chunk;
      }
    }
  }
}

// Bytes this process has read so far, by any read call.
long long bytes_read() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long n = -1;
  while (io >> key >> n && key != "rchar:") continue;
  return n;
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
  EXPECT_GT(before, 0);
  fclose(f);
}

}  // namespace
