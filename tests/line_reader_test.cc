#include "line_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
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
Lines many_lines(int count) {
  Lines lines;
  for (int n = 0; n < count; ++n) lines.push_back("12/05/99 10:30:00," + std::to_string(n) + "\n");
  return lines;
}

std::string join(const Lines& lines) {
  std::string text;
  for (const std::string& l : lines) text += l;
  return text;
}

// `text` as one gzip member, as the gzip tool writes it.
std::string gzip(const std::string& text) {
  ScratchDir dir;
  std::string path = dir.write("text", text);
  EXPECT_EQ(system(("gzip -n " + path).c_str()), 0);
  return read_file(path + ".gz");
}

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

TEST(LineReaderTest, SplitsAtNewlinesOnlyWholeOrInParts) {
  const std::string l511(511, 'a'), l600(600, 'b'), l100k(100000, 'c'), l3m(3 << 20, 'd');
  struct Case {
    std::string contents;
    Lines lines;
  };
  const Case cases[] = {
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
      {"\x1f", {"\x1f"}},
      {"\x1f\x8a\n\x1f\x8b\n", {"\x1f\x8a\n", "\x1f\x8b\n"}},
      {join(many_lines(300)), many_lines(300)},
      {join(many_lines(120000)), many_lines(120000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contents.substr(0, 20) + " (" + std::to_string(c.contents.size()) + " bytes)");
    EXPECT_EQ(difference(read_file_lines(c.contents), c.lines), "");
    if (c.contents.size() > 10000) continue;
    for (long long step : {1, 2, 7, 64, 1 << 20}) {
      for (size_t chunk : {16, 4096}) {
        EXPECT_EQ(difference(read_in_parts(c.contents, step, chunk), c.lines), "")
            << "parts of " << step << " bytes, chunk " << chunk;
      }
    }
  }
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

// A pipe cannot be rewound: the reader keeps its own copy of the first pass,
// and a rewind before its end still replays all of it. A gzip input, in one
// member or two joined inside a line, inflates again on every pass and is
// not shared out by parts.
TEST(LineReaderTest, RewindReplaysEveryLineOfAFileOrAPipe) {
  Lines want = many_lines(100000);
  want.push_back(std::string(200000, 'x') + "\n");
  want.push_back("last");
  const std::string text = join(want), a = text.substr(0, 1000003), b = text.substr(a.size());
  for (const std::string& contents : {text, gzip(text), gzip(a) + gzip(b)}) {
    ScratchDir dir;
    std::string path = dir.write("in.csv", contents);
    for (bool pipe : {false, true}) {
      SCOPED_TRACE(std::string(pipe ? "pipe" : "file") + (contents == text ? "" : " of gzip"));
      FILE* f = pipe ? popen(("cat " + path).c_str(), "r") : fopen(path.c_str(), "rb");
      ASSERT_NE(f, nullptr);
      LineReader in(f, pipe ? "-" : path.c_str());
      EXPECT_EQ(in.regular_size() < 0, pipe || contents != text);
      ASSERT_NE(in.next(), nullptr);
      in.rewind();
      EXPECT_EQ(difference(read_all(in), want), "");
      in.rewind();
      EXPECT_EQ(difference(read_all(in), want), "");
      EXPECT_EQ(pipe ? pclose(f) : fclose(f), 0);
    }
  }
}

// A gzip stream cut off, down to its magic bytes alone, or corrupt fails the
// read after the lines inflated before the fault.
TEST(LineReaderTest, BrokenGzipFailsTheRead) {
  std::string packed = gzip(join(many_lines(50000))), corrupt = packed;
  corrupt[corrupt.size() / 2] ^= 0x55;
  ScratchDir dir;
  for (const std::string& bad :
       {packed.substr(0, packed.size() / 2), packed.substr(0, 2), corrupt}) {
    std::string path = dir.write("in.gz", bad);
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    LineReader in(f, path.c_str(), 4096);
    int lines = 0;
    try {
      while (in.next()) ++lines;
      ADD_FAILURE() << "no read failure after " << lines << " lines";
    } catch (const Fatal& e) {
      EXPECT_EQ(e.what(), path + " - read failed");
    }
    EXPECT_EQ(lines > 0, bad.size() > 2);
    fclose(f);
  }
}

// A part is the file's own text even where it begins with gzip's magic bytes:
// a worker's first part may begin anywhere.
TEST(LineReaderTest, PartAfterGzipMagicIsText) {
  ScratchDir dir;
  std::string path = dir.write("in.csv", "a\n\x1f\x8b\nb\n");
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  LineReader in(f, path.c_str());
  in.read_range(3, LLONG_MAX);
  EXPECT_STREQ(in.next(), "b\n");
  fclose(f);
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

}  // namespace
