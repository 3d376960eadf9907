// Helpers for tests: scratch files, in-process runs, and reading PNGs back.
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
bool file_exists(const std::string& path);

struct RunResult {
  int status;
  std::string err;
};

// Runs the tool in-process with these arguments (the program name is added).
RunResult run_tool(const std::vector<std::string>& args);

// Runs the built binary through the shell; stdout and stderr are captured.
struct ProcessResult {
  int status;
  std::string out;
  std::string err;
};
ProcessResult run_binary(const std::string& args);

using Image = std::unique_ptr<gdImage, void (*)(gdImagePtr)>;

// Reads a PNG back with its palette indices; null when it is no PNG.
Image load_png(const std::string& path);

// The interlace byte of the IHDR chunk; -1 when the file is no PNG.
int png_interlace_flag(const std::string& path);

// The bounding box of pixels in [x0,x1]x[y0,y1] whose index is `colour`.
struct Box {
  int left, top, right, bottom;
  bool empty() const { return left > right; }
};
Box find_colour(const gdImagePtr im, int colour, int x0, int y0, int x1, int y1);
Box find_colour(const gdImagePtr im, int colour);

// "" when both images have the same size and palette indices, else how many
// pixels differ and the first of them.
std::string pixel_difference(gdImagePtr got, gdImagePtr want);

// The image a run ending with `message` must write: white, the banner in black.
Image expected_banner(int width, int height, std::string message);

// Sets TZ for the lifetime of the object.
class ScopedTz {
 public:
  explicit ScopedTz(const char* tz);
  ~ScopedTz();

 private:
  std::string old_;
  bool had_;
};

// The suite's one random generator. Seeded by each test, so that every run
// checks the same cases.
struct Random : std::mt19937_64 {
  using std::mt19937_64::mt19937_64;
  int in(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(*this); }
  int below(int n) { return in(0, n - 1); }
};

// The lines of the data file tests/`name`, each \xHH in them replaced by the
// byte it names; lines beginning "# " are comments.
std::vector<std::string> data_lines(const std::string& name);

#endif  // TRENDLE_TEST_UTIL_H_
