#include "test_util.h"

#include <gdfonts.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/driver.h"

ScratchDir::ScratchDir() {
  char tmpl[] = "/tmp/trendle-test-XXXXXX";
  dir_ = mkdtemp(tmpl);
}

ScratchDir::~ScratchDir() {
  std::filesystem::remove_all(dir_);
}

std::string ScratchDir::write(const std::string& name, const std::string& contents) const {
  std::string p = path(name);
  std::ofstream(p, std::ios::binary) << contents;
  return p;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

RunResult run_tool(const std::vector<std::string>& args) {
  std::vector<std::string> owned = {"trendle"};
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);
  FILE* err = tmpfile();
  int status = run_trendle(static_cast<int>(owned.size()), argv.data(), err);
  fflush(err);
  rewind(err);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, err)) > 0) text.append(buf, n);
  fclose(err);
  return {status, text};
}

ProcessResult run_binary(const std::string& args) {
  ScratchDir dir;
  std::string cmd =
      std::string(TRENDLE_BINARY) + " " + args + " >" + dir.path("out") + " 2>" + dir.path("err");
  int raw = system(cmd.c_str());
  int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return {status, read_file(dir.path("out")), read_file(dir.path("err"))};
}

Image load_png(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  gdImagePtr im = f ? gdImageCreateFromPng(f) : nullptr;
  if (f) fclose(f);
  return Image(im, gdImageDestroy);
}

int png_interlace_flag(const std::string& path) {
  std::string data = read_file(path);
  // Signature (8), chunk length (4), "IHDR" (4), then 13 bytes of which the
  // interlace method is the last.
  if (data.size() < 29 || data.compare(12, 4, "IHDR") != 0) return -1;
  return static_cast<unsigned char>(data[28]);
}

Box find_colour(const gdImagePtr im, int colour, int x0, int y0, int x1, int y1) {
  Box b{x1 + 1, y1 + 1, x0 - 1, y0 - 1};
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      if (gdImageGetPixel(im, x, y) != colour) continue;
      if (x < b.left) b.left = x;
      if (x > b.right) b.right = x;
      if (y < b.top) b.top = y;
      if (y > b.bottom) b.bottom = y;
    }
  }
  return b;
}

Box find_colour(const gdImagePtr im, int colour) {
  return find_colour(im, colour, 0, 0, gdImageSX(im) - 1, gdImageSY(im) - 1);
}

std::string pixel_difference(gdImagePtr got, gdImagePtr want) {
  if (gdImageSX(got) != gdImageSX(want) || gdImageSY(got) != gdImageSY(want)) return "sizes differ";
  int differ = 0;
  std::string first;
  for (int y = 0; y < gdImageSY(want); ++y) {
    for (int x = 0; x < gdImageSX(want); ++x) {
      int g = gdImageGetPixel(got, x, y), w = gdImageGetPixel(want, x, y);
      if (g != w && differ++ == 0)
        first = " pixels differ, first (" + std::to_string(x) + "," + std::to_string(y) + ") is " +
                std::to_string(g) + ", not " + std::to_string(w);
    }
  }
  return differ ? std::to_string(differ) + first : "";
}

Image expected_banner(int width, int height, std::string message) {
  Image im(gdImageCreate(width, height), gdImageDestroy);
  gdImageColorAllocate(im.get(), 255, 255, 255);
  gdImageColorAllocate(im.get(), 187, 187, 187);
  int black = gdImageColorAllocate(im.get(), 0, 0, 0);
  gdImageString(im.get(), gdFontGetSmall(), 19, height - 17,
                reinterpret_cast<unsigned char*>(message.data()), black);
  return im;
}

ScopedTz::ScopedTz(const char* tz) {
  const char* old = getenv("TZ");
  had_ = old != nullptr;
  if (had_) old_ = old;
  setenv("TZ", tz, 1);
  tzset();
}

ScopedTz::~ScopedTz() {
  if (had_) {
    setenv("TZ", old_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

std::vector<std::string> data_lines(const std::string& name) {
  std::ifstream in(std::string(TRENDLE_TEST_DIR) + "/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("# ")) continue;
    for (size_t at = 0; (at = line.find("\\x", at)) != std::string::npos; ++at)
      line.replace(at, 4, 1, static_cast<char>(std::stoi(line.substr(at + 2, 2), nullptr, 16)));
    lines.push_back(line);
  }
  EXPECT_FALSE(lines.empty()) << name;
  return lines;
}
