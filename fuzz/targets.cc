// The fuzz targets, one program each: FUZZ_TARGET names the function that a
// program hands every input to. Besides sanitizer reports, a target aborts
// when one of its checks fails.
//   record: one line through the record reader, checked against the time
//     parser, strtod and mktime. Input: the tform, a NUL, then the line; an
//     input without a NUL is a line read with the default tform.
//   run: one whole run of the tool, checked for its exit status, message and
//     PNG header, an input file left as it was, and the same PNG through a
//     pipe and in blocks. Input: width (2 bytes), height (2 bytes), a mode
//     byte (bit 0: through a pipe too; bits 1 to 6: blocks of 1 to 62 bytes,
//     or 63 for two blocks), a tform length byte (255: no tform argument), the
//     tform, then the file contents.
// Without libFuzzer, main replays the files of the directories it is given.
#include <gd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/fatal.h"
#include "input/blocks.h"
#include "input/record.h"
#include "input/time_field.h"

namespace {

void check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "%s fuzz: %s\n", FUZZ_NAME, what);
  abort();
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A NUL-terminated copy in a block of exactly its size, so that reading past
// the NUL is seen.
std::vector<char> exact_copy(const char* s, size_t n) {
  std::vector<char> copy(n + 1, '\0');
  std::copy_n(s, n, copy.begin());
  return copy;
}

bool same_float(float a, float b) {
  return std::isnan(a) || std::isnan(b) ? std::isnan(a) && std::isnan(b)
                                        : memcmp(&a, &b, sizeof a) == 0;
}

// Equal, or the two instants of one local time that occurs twice.
bool same_local_time(time_t a, time_t b) {
  struct tm ta, tb;
  if (a == b) return true;
  if (!localtime_r(&a, &ta) || !localtime_r(&b, &tb)) return false;
  return ta.tm_year == tb.tm_year && ta.tm_mon == tb.tm_mon && ta.tm_mday == tb.tm_mday &&
         ta.tm_hour == tb.tm_hour && ta.tm_min == tb.tm_min && ta.tm_sec == tb.tm_sec;
}

bool same_sample(const Sample& a, const Sample& b) {
  return a.time == b.time && a.columns == b.columns &&
         memcmp(a.values, b.values, sizeof a.values) == 0 &&
         memcmp(a.flags, b.flags, sizeof a.flags) == 0;
}

// Each column as strtod reads it after its ',', the columns past the last
// left as they were.
void check_columns(const char* line, const Sample& s, const Sample& before) {
  const char* comma = strchr(line, ',');
  int col = 0;
  for (; comma && col < kMaxSeries; ++col, comma = strchr(comma + 1, ',')) {
    char* end;
    float want = static_cast<float>(strtod(comma + 1, &end));
    check(s.flags[col] == (end != comma + 1), "column flag differs from strtod");
    check(same_float(s.values[col], s.flags[col] ? want : 0.0f),
          "column value differs from strtod");
  }
  check(s.columns == col, "wrong count of columns");
  for (; col < kMaxSeries; ++col) {
    check(s.flags[col] == 0, "flag set for a missing column");
    check(same_float(s.values[col], before.values[col]), "value of a missing column changed");
  }
}

[[maybe_unused]] void record_one(const char* bytes, size_t size) {
  const char* nul = static_cast<const char*>(memchr(bytes, '\0', size));
  std::vector<char> tform = nul ? exact_copy(bytes, nul - bytes) : exact_copy("dmyHMS", 6);
  std::vector<char> copy =
      nul ? exact_copy(nul + 1, size - (nul + 1 - bytes)) : exact_copy(bytes, size);
  const char* line = copy.data();

  struct tm tm;
  const char* comma = nullptr;
  TimeField parsed = TimeField::none;
  std::string banner;
  try {
    parsed = get_time(line, &tm, tform.data(), &comma);
    if (parsed == TimeField::read) check(comma == strchr(line, ','), "get_time found another ','");
  } catch (const Fatal& f) {
    banner = f.what();
  }

  Sample before, s;
  before.time = 12345;
  std::fill_n(before.values, kMaxSeries, 42.5f);
  s = before;
  bool comment = line[strspn(line, " \t\n\v\f\r")] == '#';
  try {
    Line kind = parse_record(line, tform.data(), s);
    check(comment || banner.empty(), "the reader took a line whose time raised a banner");
    if (kind != Line::record) {
      Line want = comment || parsed == TimeField::none ? Line::skipped : Line::unreadable;
      check(kind == want && same_sample(s, before), "a line that is no record was taken");
      return;
    }
    check(!comment && parsed == TimeField::read, "a line the parser refused was taken as a record");
    tm.tm_mon -= 1;
    check(same_local_time(s.time, mktime(&tm)), "record time differs from mktime");
    check_columns(line, s, before);
  } catch (const Fatal& f) {
    check(!comment && banner == f.what(), "the reader's banner differs from the parser's");
  }
}

// The input and output files, private to the process and removed after each
// input: libFuzzer may end the process without running exit handlers.
std::string in_path, out_path;

struct Run {
  int status;
  std::string err;
  std::string png;  // empty when no file was written
  bool operator==(const Run&) const = default;
};

Run run(const std::string& in, std::vector<std::string> args, long long block) {
  unlink(out_path.c_str());
  args.insert(args.begin(), {"trendle", in, out_path});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  char* err_text = nullptr;
  size_t err_size = 0;
  FILE* err = open_memstream(&err_text, &err_size);
  long long usual = block_bytes();
  set_block_bytes(block);
  int status = run_trendle(static_cast<int>(args.size()), argv.data(), err);
  set_block_bytes(usual);
  fclose(err);
  Run r{status, std::string(err_text, err_size), read_file(out_path)};
  free(err_text);
  return r;
}

uint32_t be32(const std::string& s, size_t at) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void check_run(const Run& r, int width, int height) {
  if (width <= 0 || height <= 0) {
    check(r.status == 1 && r.err == "Failed to create image.\n" && r.png.empty(),
          "an empty size must fail, with its message and no file");
    return;
  }
  check(r.status == 0 && r.err.empty(), "a run with an image must write it, without a message");
  check(r.png.size() > 29 && r.png.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
            r.png.compare(12, 4, "IHDR") == 0,
        "the output is no PNG");
  check(be32(r.png, 16) == static_cast<uint32_t>(width), "PNG width");
  check(be32(r.png, 20) == static_cast<uint32_t>(height), "PNG height");
  check(r.png[28] == 1, "PNG not interlaced");
}

[[maybe_unused]] void run_one(const char* data, size_t size) {
  if (size < 6) return;
  const unsigned char* head = reinterpret_cast<const unsigned char*>(data);
  // Sizes from -1 to 800: an empty image, then every size worth drawing.
  int width = (head[0] | head[1] << 8) % 802 - 1;
  int height = (head[2] | head[3] << 8) % 802 - 1;
  size_t block = head[4] >> 1 & 63;  // 0: the usual block size
  size_t tform_size = head[5] == 255 ? 0 : std::min<size_t>(head[5], size - 6);
  std::string tform(data + 6, strnlen(data + 6, tform_size));
  std::string contents(data + 6 + tform_size, size - 6 - tform_size);
  std::vector<std::string> args = {std::to_string(width), std::to_string(height)};
  if (head[5] != 255) args.push_back(tform);

  std::ofstream(in_path, std::ios::binary | std::ios::trunc) << contents;
  Run r = run(in_path, args, block_bytes());
  check_run(r, width, height);
  check(read_file(in_path) == contents, "the input file was changed");
  if (block == 63) block = contents.size() / 2 + 1;
  if (block != 0 && contents.size() > block) {
    check(run(in_path, args, static_cast<long long>(block)) == r, "a scan in blocks differs");
  }
  // The whole contents fit in a pipe's buffer, so no writer process is needed.
  int fds[2];
  if (head[4] & 1 && contents.size() <= 65536 && pipe(fds) == 0) {
    check(write(fds[1], contents.data(), contents.size()) == static_cast<ssize_t>(contents.size()),
          "write to pipe");
    close(fds[1]);
    check(run("/dev/fd/" + std::to_string(fds[0]), args, block_bytes()) == r,
          "a pipe differs from a file");
    close(fds[0]);
  }
  unlink(in_path.c_str());
  unlink(out_path.c_str());
}

// gd warns on standard error about the sizes it refuses; that is expected here.
void quiet(int, const char*, va_list) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A zone with daylight saving, fixed so that every input means one thing.
  setenv("TZ", "Europe/London", 1);
  tzset();
  gdSetErrorMethod(quiet);
  std::string stem = "/tmp/trendle-fuzz-" + std::to_string(getpid());
  in_path = stem + ".csv";
  out_path = stem + ".png";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_TARGET(reinterpret_cast<const char*>(data), size);
  return 0;
}

#ifndef TRENDLE_LIBFUZZER
// Each argument is an input file or a directory of them. Fails when no
// input was found, so that a lost corpus does not pass unnoticed.
int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (fs::is_regular_file(argv[i])) files.push_back(argv[i]);
    if (!fs::is_directory(argv[i])) continue;
    for (const auto& entry : fs::directory_iterator(argv[i])) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::string bytes = read_file(file);
    // A copy of exactly the input's size, as libFuzzer hands it over.
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  printf("replayed %zu inputs\n", files.size());
  return files.empty();
}
#endif
