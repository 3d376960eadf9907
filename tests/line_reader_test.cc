#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using Lines = std::vector<std::string>;

// Every line up to the end of the input, each as its text up to the first NUL.
Lines read_all(LineReader& in) {
  Lines lines;
  while (const char* line = in.next()) lines.push_back(line);
  return lines;
}

// The lines of `contents` read from a file in reads of `chunk` bytes: whole,
// or with `step` > 0 part by part, parts `step` bytes long, the last running
// to the end of the file.
Lines read_lines(const std::string& contents, size_t chunk, long long step = 0) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", contents);
  FILE* f = fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str(), chunk);
  Lines lines;
  long long size = static_cast<long long>(contents.size());
  for (long long begin = 0; begin == 0 || begin < size; begin += step) {
    if (step > 0) in.read_range(begin, begin + step >= size ? LLONG_MAX : begin + step);
    Lines part = read_all(in);
    lines.insert(lines.end(), part.begin(), part.end());
    if (step == 0) break;
  }
  fclose(f);
  return lines;
}

// Empty when equal, else the first line that differs, kept short since the
// lines run to megabytes.
std::string difference(const Lines& got, const Lines& want) {
  size_t n = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin();
  auto head = [n](const Lines& lines) {
    if (n >= lines.size()) return "(none) of " + std::to_string(lines.size());
    return std::to_string(lines[n].size()) + " bytes \"" + lines[n].substr(0, 16) + "\"";
  };
  return got == want ? ""
                     : "line " + std::to_string(n) + ": got " + head(got) + ", want " + head(want);
}

// Short lines whose total passes the reader's chunk, so lines straddle reads.
Lines many_lines(int count, std::string last = "") {
  Lines lines;
  for (int n = 0; n < count; ++n) lines.push_back("12/05/99 10:30:00," + std::to_string(n) + "\n");
  if (!last.empty()) lines.push_back(last);
  return lines;
}

std::string join(const Lines& lines) {
  std::string text;
  for (const std::string& l : lines) text += l;
  return text;
}

TEST(LineReaderTest, SplitsAtNewlinesOnlyWholeOrInParts) {
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
      {join(many_lines(300)), many_lines(300)},
      {join(many_lines(120000)), many_lines(120000)},
  };
  for (const auto& [contents, want] : kCases) {
    SCOPED_TRACE(contents.substr(0, 20) + " (" + std::to_string(contents.size()) + " bytes)");
    EXPECT_EQ(difference(read_lines(contents, 1 << 20), want), "");
    EXPECT_EQ(difference(read_lines(contents, 64), want), "");
    if (contents.size() > 10000) continue;
    for (long long step : {1, 2, 7, 64, 1 << 20}) {
      for (size_t chunk : {16, 4096}) {
        EXPECT_EQ(difference(read_lines(contents, chunk, step), want), "")
            << "parts of " << step << " bytes, chunk " << chunk;
      }
    }
  }
}

// A pipe cannot be rewound: the reader keeps its own copy of the first pass,
// and a rewind before its end still replays all of it.
TEST(LineReaderTest, RewindReplaysEveryLineOfAFileOrAPipe) {
  Lines want = many_lines(100000, std::string(200000, 'x') + "\n");
  want.push_back("last");
  ScratchDir dir;
  std::string path = dir.write("in.csv", join(want));
  for (bool pipe : {false, true}) {
    SCOPED_TRACE(pipe ? "pipe" : "file");
    FILE* f = pipe ? popen(("cat " + path).c_str(), "r") : fopen(path.c_str(), "rb");
    LineReader in(f, pipe ? "-" : path.c_str());
    ASSERT_NE(in.next(), nullptr);
    for (int pass = 0; pass < 2; ++pass) {
      in.rewind();
      EXPECT_EQ(difference(read_all(in), want), "");
    }
    EXPECT_EQ(pipe ? pclose(f) : fclose(f), 0);
  }
}

// Bytes this process has read so far, by any read call.
long long bytes_read() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long n;
  while (io >> key >> n) {
    if (key == "rchar:") return n;
  }
  return -1;
}

// A part inside one long line ends at its own end, not at the line's: else
// the parts of a line of n bytes read n * n / part bytes between them.
TEST(LineReaderTest, PartInsideALongLineReadsLittle) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", "start\n" + std::string(8 << 20, 'x') + "\nend\n");
  FILE* f = fopen(path.c_str(), "rb");
  LineReader in(f, path.c_str(), 4096);
  long long before = bytes_read();
  ASSERT_GE(before, 0);
  in.read_range(1 << 20, (1 << 20) + 4096);
  EXPECT_EQ(in.next(), nullptr);
  EXPECT_LT(bytes_read() - before, 1 << 20);
  fclose(f);
}

}  // namespace
