// Helpers for tests: scratch files, runs of the tool, and reading PNGs back.
#ifndef TRENDLE_TEST_UTIL_H_
#define TRENDLE_TEST_UTIL_H_

#include <gd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

// A fresh directory, removed with its contents at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  // Writes `contents` to `name` and returns its path.
  std::string write(const std::string& name, const std::string& contents) const;

 private:
  std::string dir_;
};

std::string read_file(const std::string& path);

struct RunResult {
  int status;
  std::string err;
  std::string out;
};

// Runs the tool in-process with these arguments (the program name is added).
RunResult run_tool(const std::vector<std::string>& args);

// Runs a shell command in `dir` with the built binary first on PATH.
RunResult run_shell(const std::string& command, const std::string& dir);

using Image = std::unique_ptr<gdImage, void (*)(gdImagePtr)>;

// Reads a PNG back with its palette indices; null when it is no PNG.
Image load_png(const std::string& bytes);

// The interlace byte of the IHDR chunk; -1 when the bytes are no PNG.
int png_interlace_flag(const std::string& bytes);

// A white width x height image with the chart's 34 colours allocated.
Image palette_image(int width, int height);

// "" when both images have the same colours, in the same order, else the
// first that differs.
std::string palette_difference(gdImagePtr got, gdImagePtr want);

// "" when both images have the same size, palette and pixel indices, else
// what differs first.
std::string pixel_difference(gdImagePtr got, gdImagePtr want);

// Sets TZ for the lifetime of the object.
class ScopedTz {
 public:
  explicit ScopedTz(const char* tz);
  ~ScopedTz();

 private:
  std::string old_;
  bool had_;
};

// Text with C escapes (\n \r \t \v \f \0 \\ \xHH) made literal.
std::string unescape(const std::string& text);

// The suite's one random generator. Seeded by each test, so that every run
// checks the same cases.
struct Random : std::mt19937_64 {
  using std::mt19937_64::mt19937_64;
  int in(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(*this); }
  int below(int n) { return in(0, n - 1); }
};

// The lines of the data file tests/`name` but comments ("# "), unescaped.
std::vector<std::string> data_lines(const std::string& name);

#endif  // TRENDLE_TEST_UTIL_H_
