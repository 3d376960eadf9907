// The fuzz targets, one program each: FUZZ_TARGET names the function that is
// handed every input. A failed check aborts.
//   record: the tform, a NUL, then one line (no NUL: the line, with dmyHMS)
//     through the record reader, against the time parser, strtod and mktime.
//   run: width and height (2 bytes each), a mode byte (bit 0: through a pipe
//     too; bits 1 to 6: in blocks of 1 to 62 bytes, or 63 for two blocks), a
//     tform length (255: no tform), the tform, then the file: a whole run, its
//     status, message and PNG, the file left as it was, and the same outcome
//     through a pipe and in blocks.
// Without libFuzzer, main replays the files of the directories it is given.
#include <gd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
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
  fprintf(stderr, "%s_fuzz: %s\n", FUZZ_NAME, what);
  abort();
}

std::string read_file(const std::string& path) {
  std::stringstream ss;
  ss << std::ifstream(path, std::ios::binary).rdbuf();
  return ss.str();
}

// A NUL-terminated copy in a block of exactly its size, so that reading past
// the NUL is seen.
std::vector<char> exact_copy(const char* s, size_t n) {
  std::vector<char> copy(n + 1, '\0');
  std::copy_n(s, n, copy.begin());
  return copy;
}

// The local clock reading of instant t: two instants of one reading match.
long long reading(time_t t) {
  struct tm local;
  return localtime_r(&t, &local) ? t + local.tm_gmtoff : t;
}

// Whether a's columns, flags and values are b's, NaN matching NaN.
bool same_columns(const Sample& a, const Sample& b) {
  for (int i = 0; i < kMaxSeries; ++i) {
    bool nans = std::isnan(a.values[i]) && std::isnan(b.values[i]);
    if (!nans && memcmp(&a.values[i], &b.values[i], sizeof(float)) != 0) return false;
  }
  return a.columns == b.columns && memcmp(a.flags, b.flags, sizeof a.flags) == 0;
}

// `s` as the reader should leave it after the record `line`: its time as
// mktime gives it (or the Unix seconds read), each column after a ',' as
// strtod reads it from after an opening quote, and past the last column the
// flags 0 and the values untouched.
Sample expected(const char* line, TimeFields field, Sample s) {
  field.tm.tm_mon -= 1;
  s.time = field.unix_seconds >= 0 ? field.unix_seconds : mktime(&field.tm);
  s.columns = 0;
  std::fill_n(s.flags, kMaxSeries, 0);
  for (const char* comma = strchr(line, ','); comma && s.columns < kMaxSeries;
       comma = strchr(comma + 1, ',')) {
    const char* cell = comma + 1 + strspn(comma + 1, " \t\n\v\f\r");
    cell = *cell == '"' ? cell + 1 : comma + 1;
    char* end;
    float value = static_cast<float>(strtod(cell, &end));
    s.flags[s.columns] = end != cell;
    s.values[s.columns++] = end != cell ? value : 0.0f;
  }
  return s;
}

[[maybe_unused]] void record_one(const char* bytes, size_t size) {
  const char* nul = static_cast<const char*>(memchr(bytes, '\0', size));
  std::vector<char> tform = nul ? exact_copy(bytes, nul - bytes) : exact_copy("dmyHMS", 6);
  std::vector<char> text =
      nul ? exact_copy(nul + 1, bytes + size - nul - 1) : exact_copy(bytes, size);
  const char* line = text.data();
  TimeFields field;
  TimeField parsed = TimeField::none;
  std::string banner;
  try {
    parsed = get_time(line, tform.data(), field);
    check(parsed != TimeField::read || field.comma == strchr(line, ','),
          "get_time's ',' is not the first");
  } catch (const Fatal& f) {
    banner = f.what();
  }
  Sample want, s;
  want.time = 12345;
  std::fill_n(want.values, kMaxSeries, 42.5f);
  s = want;
  bool comment = line[strspn(line, " \t\n\v\f\r")] == '#';
  try {
    Line kind = parse_record(line, tform.data(), s);
    check(comment || banner.empty(), "the reader took a line whose time raised a banner");
    Line as_parsed = parsed == TimeField::read ? Line::record : Line::unreadable;
    check(kind == (comment || parsed == TimeField::none ? Line::skipped : as_parsed),
          "the reader and the parser disagree on the kind of line");
    if (kind == Line::record) want = expected(line, field, want);
    check(reading(s.time) == reading(want.time), "the time differs from mktime, or changed");
    check(same_columns(s, want), "a column differs from strtod, or changed");
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
  args.insert(args.begin(), {"trendle", in, out_path});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  char* err_text = nullptr;
  size_t err_size = 0;
  FILE* err = open_memstream(&err_text, &err_size);
  long long usual = block_bytes();
  set_block_bytes(block);
  unlink(out_path.c_str());
  int status = run_trendle(static_cast<int>(args.size()), argv.data(), err);
  set_block_bytes(usual);
  fclose(err);
  Run r{status, std::string(err_text, err_size), read_file(out_path)};
  free(err_text);
  return r;
}

// An empty size fails with its message and writes nothing; any other run
// writes its PNG, of that size and interlaced, and prints nothing.
void check_run(const Run& r, int width, int height) {
  if (width <= 0 || height <= 0) {
    check(r.status == 1 && r.err == "Failed to create image.\n" && r.png.empty(), "empty size");
    return;
  }
  check(r.status == 0 && r.err.empty(), "a run that writes its image printed a message");
  std::string head("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  for (int v : {width, height}) head += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  check(r.png.size() > 29 && r.png.compare(0, 24, head) == 0 && r.png[28] == 1,
        "not a PNG of the size asked for, interlaced");
}

[[maybe_unused]] void run_one(const char* data, size_t size) {
  if (size < 6) return;
  const unsigned char* head = reinterpret_cast<const unsigned char*>(data);
  // Sizes from -1 to 800: an empty image, then every size worth drawing.
  int width = (head[0] | head[1] << 8) % 802 - 1, height = (head[2] | head[3] << 8) % 802 - 1;
  size_t block = head[4] >> 1 & 63;  // 0: the usual block size
  size_t tform_size = head[5] == 255 ? 0 : std::min<size_t>(head[5], size - 6);
  std::string contents(data + 6 + tform_size, size - 6 - tform_size);
  std::vector<std::string> args = {std::to_string(width), std::to_string(height)};
  if (head[5] != 255) args.emplace_back(data + 6, strnlen(data + 6, tform_size));

  std::ofstream(in_path, std::ios::binary) << contents;
  Run r = run(in_path, args, block_bytes());
  check_run(r, width, height);
  check(read_file(in_path) == contents, "the input file was changed");
  if (block == 63) block = contents.size() / 2 + 1;
  if (block != 0 && contents.size() > block)
    check(run(in_path, args, static_cast<long long>(block)) == r, "blocks gave another outcome");
  // The whole contents fit in a pipe's buffer, so no writer process is needed.
  int fds[2];
  if (head[4] & 1 && contents.size() <= 65536 && pipe(fds) == 0) {
    check(write(fds[1], contents.data(), contents.size()) == static_cast<ssize_t>(contents.size()),
          "write to pipe");
    close(fds[1]);
    check(run("/dev/fd/" + std::to_string(fds[0]), args, block_bytes()) == r,
          "a pipe gave another outcome than the file");
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
    // A copy of exactly the input's size, as libFuzzer hands it over.
    std::string bytes = read_file(file);
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  printf("replayed %zu inputs\n", files.size());
  return files.empty();
}
#endif
