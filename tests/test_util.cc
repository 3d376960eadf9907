#include "test_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  return {status, text, ""};
}

RunResult run_shell(const std::string& command, const std::string& dir) {
  ScratchDir capture;
  std::string bin = std::filesystem::path(TRENDLE_BINARY).parent_path();
  std::string cmd = "cd '" + dir + "' && PATH='" + bin + "':$PATH && (" + command + ") >" +
                    capture.path("out") + " 2>" + capture.path("err");
  int raw = system(cmd.c_str());
  int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return {status, read_file(capture.path("err")), read_file(capture.path("out"))};
}

Image load_png(const std::string& bytes) {
  gdImagePtr im = bytes.empty() ? nullptr
                                : gdImageCreateFromPngPtr(static_cast<int>(bytes.size()),
                                                          const_cast<char*>(bytes.data()));
  return Image(im, gdImageDestroy);
}

int png_interlace_flag(const std::string& bytes) {
  // Signature (8), chunk length (4), "IHDR" (4), then 13 bytes of which the
  // interlace method is the last.
  if (bytes.size() < 29 || bytes.compare(12, 4, "IHDR") != 0) return -1;
  return static_cast<unsigned char>(bytes[28]);
}

Image palette_image(int width, int height) {
  // White, the frame grey, then the series colours four times over.
  const int kRgb[10][3] = {{255, 255, 255}, {187, 187, 187}, {0, 0, 0},   {119, 119, 119},
                           {0, 68, 153},    {0, 204, 0},     {221, 0, 0}, {85, 136, 0},
                           {255, 187, 0},   {0, 187, 255}};
  Image im(gdImageCreate(width, height), gdImageDestroy);
  for (int i = 0; im && i < 34; ++i) {
    const int* c = kRgb[i < 2 ? i : 2 + (i - 2) % 8];
    gdImageColorAllocate(im.get(), c[0], c[1], c[2]);
  }
  return im;
}

namespace {

std::string colour(gdImagePtr im, int i) {
  char s[32];
  snprintf(s, sizeof s, "#%02x%02x%02x", gdImageRed(im, i), gdImageGreen(im, i),
           gdImageBlue(im, i));
  return s;
}

}  // namespace

std::string palette_difference(gdImagePtr got, gdImagePtr want) {
  if (gdImageColorsTotal(got) != gdImageColorsTotal(want))
    return std::to_string(gdImageColorsTotal(got)) + " colours, not " +
           std::to_string(gdImageColorsTotal(want));
  for (int i = 0; i < gdImageColorsTotal(want); ++i) {
    if (colour(got, i) != colour(want, i))
      return "colour " + std::to_string(i) + " is " + colour(got, i) + ", not " + colour(want, i);
  }
  return "";
}

std::string pixel_difference(gdImagePtr got, gdImagePtr want) {
  if (gdImageSX(got) != gdImageSX(want) || gdImageSY(got) != gdImageSY(want)) return "sizes differ";
  std::string palette = palette_difference(got, want);
  if (!palette.empty()) return palette;
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

std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      const std::string from = "nrtvf0", to{'\n', '\r', '\t', '\v', '\f', '\0'};
      size_t at = from.find(c);
      out += at != from.npos ? to[at] : c;
    }
  }
  return out;
}

std::vector<std::string> data_lines(const std::string& name) {
  std::ifstream in(std::string(TRENDLE_TEST_DIR) + "/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("# ")) lines.push_back(unescape(line));
  }
  EXPECT_FALSE(lines.empty()) << name;
  return lines;
}
