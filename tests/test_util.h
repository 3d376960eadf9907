// Helpers for tests: scratch files, runs of the tool, and reading PNGs back.
#ifndef TRENDLE_TEST_UTIL_H_
#define TRENDLE_TEST_UTIL_H_

#include <gd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/driver.h"

// A fresh directory, removed with its contents at the end of the test.
struct ScratchDir {
  std::string dir = mkdtemp(std::string("/tmp/trendle-test-XXXXXX").data());
  ~ScratchDir() { std::filesystem::remove_all(dir); }
  std::string path(const std::string& name) const { return dir + "/" + name; }
  // Writes `contents` to `name` and returns its path.
  std::string write(const std::string& name, const std::string& contents) const {
    std::ofstream(path(name), std::ios::binary) << contents;
    return path(name);
  }
};

// The bytes of a file; the fuzz targets read with it too.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct RunResult {
  int status;
  std::string err, out;
};

// Runs the tool in-process with these arguments (the program name is added).
inline RunResult run_tool(std::vector<std::string> args) {
  args.insert(args.begin(), "trendle");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  char *text = nullptr, *out_text = nullptr;
  size_t size = 0, out_size = 0;
  FILE* err = open_memstream(&text, &size);
  FILE* out = open_memstream(&out_text, &out_size);
  int status = run_trendle(static_cast<int>(args.size()), argv.data(), out, err);
  fclose(err);
  fclose(out);
  RunResult r{status, std::string(text, size), std::string(out_text, out_size)};
  free(text);
  free(out_text);
  return r;
}

using Image = std::unique_ptr<gdImage, void (*)(gdImagePtr)>;

// Reads a PNG back with its palette indices; null when it is no PNG.
Image load_png(const std::string& bytes);

// A white width x height image with the chart's 34 colours allocated.
Image palette_image(int width, int height);

// "" when both palettes hold the same colours in order, else the first that differs.
std::string palette_difference(gdImagePtr got, gdImagePtr want);

// "" when both images have the same size, pixel indices and palette, else what differs.
std::string pixel_difference(gdImagePtr got, gdImagePtr want);

// Sets TZ for the lifetime of the object, and unsets it after.
struct ScopedTz {
  explicit ScopedTz(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTz() {
    unsetenv("TZ");
    tzset();
  }
};

// The suite's one random generator, seeded by each test so every run checks the same cases.
struct Random : std::mt19937_64 {
  using std::mt19937_64::mt19937_64;
  int in(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(*this); }
  int below(int n) { return in(0, n - 1); }
};

// The lines of the data file tests/`name` but comments ("# "), unescaped.
std::vector<std::string> data_lines(const std::string& name);

#endif  // TRENDLE_TEST_UTIL_H_
