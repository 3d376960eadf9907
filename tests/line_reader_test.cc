#include "line_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fatal.h"
#include "test_util.h"

namespace {

using Lines = std::vector<std::string>;

// Every line up to the end of the input, each as its text up to the first NUL.
Lines read_all(LineReader& in) {
  Lines lines;
  while (const char* line = in.next()) lines.push_back(line);
  return lines;
}

Lines read_file_lines(const std::string& contents) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", contents);
  FILE* f = fopen(path.c_str(), "rb");
  EXPECT_NE(f, nullptr);
  LineReader in(f, path.c_str());
  Lines lines = read_all(in);
  fclose(f);
  return lines;
}

std::string head(const Lines& lines, size_t n) {
  if (n >= lines.size()) return "(none)";
  return std::to_string(lines[n].size()) + " bytes \"" + lines[n].substr(0, 16) + "\"";
}

// Empty when equal, else the first line that differs, kept short since the
// lines run to megabytes.
std::string difference(const Lines& got, const Lines& want) {
  size_t n = 0;
  while (n < got.size() && n < want.size() && got[n] == want[n]) ++n;
  if (n == got.size() && n == want.size()) return "";
  return "line " + std::to_string(n) + ": got " + head(got, n) + " of " +
         std::to_string(got.size()) + " lines, want " + head(want, n) + " of " +
         std::to_string(want.size());
}

// Short lines whose total passes the reader's chunk, so lines straddle reads.
std::string many_lines(int count) {
  std::string text;
  for (int n = 0; n < count; ++n) text += "12/05/99 10:30:00," + std::to_string(n) + "\n";
  return text;
}

TEST(LineReaderTest, SplitsAtNewlinesOnly) {
  const std::string l511(511, 'a'), l600(600, 'b'), l100k(100000, 'c'), l3m(3 << 20, 'd');
  struct Case {
    std::string contents;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a\nb\n", {"a\n", "b\n"}},
      {"a\nb", {"a\n", "b"}},
      {"\n\n", {"\n", "\n"}},
      {"a\r\nb\r\n", {"a\r\n", "b\r\n"}},
      {l511 + "\n", {l511 + "\n"}},
      {l511 + "\nx\n", {l511 + "\n", "x\n"}},
      {l600 + "\n" + l511, {l600 + "\n", l511}},
      {"x\n" + l100k + "\ny\n", {"x\n", l100k + "\n", "y\n"}},
      {l3m + "\n" + l600 + "\n", {l3m + "\n", l600 + "\n"}},
      {std::string("abc\0def\nghi\n", 12), {"abc", "ghi\n"}},
      {std::string("\0\n", 2), {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contents.substr(0, 20) + " (" + std::to_string(c.contents.size()) + " bytes)");
    EXPECT_EQ(difference(read_file_lines(c.contents), c.lines), "");
  }
}

TEST(LineReaderTest, LinesAcrossReadBoundaries) {
  std::string text = many_lines(120000);
  Lines lines = read_file_lines(text);
  ASSERT_EQ(lines.size(), 120000u);
  std::string joined;
  for (const std::string& l : lines) joined += l;
  EXPECT_TRUE(joined == text);
}

TEST(LineReaderTest, LineTextIsWritable) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", "one\ntwo\n");
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  LineReader in(f, path.c_str());
  char* line = in.next();
  line[0] = 'X';
  line[3] = '\0';
  EXPECT_STREQ(in.next(), "two\n");
  EXPECT_EQ(in.next(), nullptr);
  EXPECT_EQ(in.next(), nullptr);
  fclose(f);
}

TEST(LineReaderTest, RewindGivesTheSameLinesFromAFile) {
  ScratchDir dir;
  std::string text = many_lines(100000) + "last";
  std::string path = dir.write("in.csv", text);
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  LineReader in(f, path.c_str());
  Lines first = read_all(in);
  in.rewind();
  EXPECT_EQ(difference(read_all(in), first), "");
  // A rewind partway through also starts again from the first byte.
  in.rewind();
  in.next();
  in.rewind();
  EXPECT_EQ(difference(read_all(in), first), "");
  EXPECT_EQ(first.size(), 100001u);
  EXPECT_EQ(first.back(), "last");
  fclose(f);
}

// A pipe cannot be rewound: the reader keeps its own copy of the first pass.
TEST(LineReaderTest, RewindGivesTheSameLinesFromAPipe) {
  ScratchDir dir;
  std::string text = many_lines(100000) + std::string(200000, 'x') + "\nlast";
  std::string path = dir.write("in.csv", text);
  FILE* pipe = popen(("cat " + path).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  LineReader in(pipe, "-");
  Lines first = read_all(in);
  in.rewind();
  Lines second = read_all(in);
  in.rewind();
  Lines third = read_all(in);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(difference(first, read_file_lines(text)), "");
  EXPECT_EQ(difference(second, first), "");
  EXPECT_EQ(difference(third, first), "");
}

// A rewind before the end of a pipe still replays all of it.
TEST(LineReaderTest, RewindPartwayThroughAPipe) {
  ScratchDir dir;
  std::string text = many_lines(100000);
  std::string path = dir.write("in.csv", text);
  FILE* pipe = popen(("cat " + path).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  LineReader in(pipe, "-");
  ASSERT_NE(in.next(), nullptr);
  in.rewind();
  Lines all = read_all(in);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(difference(all, read_file_lines(text)), "");
}

TEST(LineReaderTest, ReadErrorIsFatal) {
  ScratchDir dir;
  std::string path = dir.path("");  // a directory opens, but cannot be read
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  LineReader in(f, path.c_str());
  try {
    in.next();
    ADD_FAILURE() << "no Fatal";
  } catch (const Fatal& e) {
    EXPECT_EQ(std::string(e.what()), path + " - read failed");
  }
  fclose(f);
}

}  // namespace

namespace {

// The lines of every part of `contents`, parts `step` bytes long, the last
// running to the end of the file, read in turn with one reader.
Lines read_in_parts(const std::string& contents, long long step, size_t chunk) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", contents);
  FILE* f = fopen(path.c_str(), "rb");
  EXPECT_NE(f, nullptr);
  LineReader in(f, path.c_str(), chunk);
  Lines lines;
  long long size = static_cast<long long>(contents.size());
  for (long long begin = 0; begin == 0 || begin < size; begin += step) {
    in.read_range(begin, begin + step >= size ? LLONG_MAX : begin + step);
    Lines part = read_all(in);
    lines.insert(lines.end(), part.begin(), part.end());
  }
  fclose(f);
  return lines;
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
  ASSERT_NE(f, nullptr);
  LineReader in(f, path.c_str(), 4096);
  long long before = bytes_read();
  ASSERT_GE(before, 0);
  in.read_range(1 << 20, (1 << 20) + 4096);
  EXPECT_EQ(in.next(), nullptr);
  EXPECT_LT(bytes_read() - before, 1 << 20);
  fclose(f);
}

TEST(LineReaderTest, PartsOfAFileHoldEachLineOnce) {
  std::string long_line(700, 'x');
  const std::string kInputs[] = {
      "",
      "\n",
      "a\nbb\n\nccc\n",
      "no newline at the end",
      "\n\n\nx\n\n",
      "12/05/99 10:30:00,1\n" + long_line + "\n" + long_line + long_line + "\nend",
      std::string("nul\0inside\nnext\n", 17),
      many_lines(300),
  };
  for (const std::string& in : kInputs) {
    Lines want = read_file_lines(in);
    for (long long step : {1, 2, 3, 7, 64, 1000, 1 << 20}) {
      for (size_t chunk : {16, 4096}) {
        EXPECT_EQ(difference(read_in_parts(in, step, chunk), want), "")
            << "parts of " << step << " bytes, chunk " << chunk << ", input of " << in.size();
      }
    }
  }
}

}  // namespace
