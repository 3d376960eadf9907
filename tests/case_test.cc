// Runs the built binary once for each line of cases.txt (its header says how
// a case reads) and checks exit status, standard error and standard output,
// the PNG written and that nothing else in the run's directory changed.
// After a deliberate change to the picture, rewrite the reference PNGs with
//   TRENDLE_UPDATE_REFERENCES=1 ctest -R Cases
// and look at every changed PNG before committing it.
#include <gdfonts.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

const std::string kCases = std::string(TRENDLE_TEST_DIR) + "/cases/";

struct Case {
  std::string name, command, input, status, err, png;
};

std::vector<Case> read_cases() {
  std::vector<Case> cases;
  std::ifstream in(std::string(TRENDLE_TEST_DIR) + "/cases.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    for (size_t at = 0, bar; at != std::string::npos; at = bar == line.npos ? bar : bar + 3) {
      bar = line.find(" | ", at);
      f.push_back(line.substr(at, bar == line.npos ? bar : bar - at));
    }
    f.resize(6);
    cases.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
  }
  return cases;
}

const std::vector<Case> kAll = read_cases();

const Case* find_case(const std::string& name) {
  for (const Case& c : kAll)
    if (c.name == name) return &c;
  return nullptr;
}

// "text" with C escapes (\n \t \r \0 \xHH), @file under cases/, or none.
// `rest` gets what follows it.
std::string text_field(const std::string& f, std::string* rest = nullptr) {
  size_t end = f[0] == '"' ? 1 : f.find(' ');
  while (f[0] == '"' && end < f.size() && f[end] != '"') end += f[end] == '\\' ? 2 : 1;
  if (rest) *rest = end < f.size() ? f.substr(end + (f[0] == '"')) : "";
  if (f[0] == '@') return read_file(kCases + f.substr(1, end - 1));
  return f[0] == '"' ? unescape(f.substr(1, end - 1)) : "";
}

// Shows control and non-ASCII bytes as escapes.
std::string escaped(const std::string& s) {
  std::string r;
  for (unsigned char c : s) {
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02x", c);
    r += c == '\n' ? "\\n" : c >= ' ' && c < 127 ? std::string(1, c) : hex;
  }
  return r;
}

// Every IN and OUT standing as a word becomes the run's input and output path.
std::string placed(const std::string& s, const ScratchDir& dir) {
  std::string in = std::regex_replace(s, std::regex("\\bIN\\b"), dir.path("in.csv"));
  return std::regex_replace(in, std::regex("\\bOUT\\b"), dir.path("out.png"));
}

// Each entry of the directory but `except`: its kind, size, time and inode.
std::map<std::string, std::string> snapshot(const ScratchDir& dir, const std::string& except) {
  std::map<std::string, std::string> s;
  for (const auto& e : std::filesystem::directory_iterator(dir.path(""))) {
    struct stat st;
    if (e.path().filename() == except || lstat(e.path().c_str(), &st) != 0) continue;
    std::ostringstream o;
    o << st.st_mode << " " << st.st_size << " " << st.st_ino << " " << st.st_nlink;
    // A FIFO's times change as it is read; it holds nothing to change.
    if (!S_ISFIFO(st.st_mode)) o << " " << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
    s[e.path().filename()] = o.str();
  }
  return s;
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

Image expected(const Case& c, const ScratchDir& dir) {
  int width, height, skip = 0;
  if (c.png != "ref" && sscanf(c.png.c_str(), "banner %dx%d %n", &width, &height, &skip) < 2)
    return Image(nullptr, gdImageDestroy);
  if (c.png == "ref") return load_png(read_file(kCases + c.name + ".png"));
  Image im = palette_image(width, height);
  std::string text = placed(c.png.substr(skip), dir);
  gdImageString(im.get(), gdFontGetSmall(), 19, height - 17,
                reinterpret_cast<unsigned char*>(text.data()), 2);
  return im;
}

// Runs the case and checks all but the PNG's pixels; returns the PNG, or
// nothing when the command asks (with status 77) for the case to be skipped.
std::optional<std::string> run_case(const Case& c, const ScratchDir& dir) {
  std::string setup, input = text_field(c.input, &setup);
  if (c.input != "none" && c.input.rfind("none ", 0) != 0) dir.write("in.csv", input);
  if (setup.rfind(" && ", 0) == 0) {
    EXPECT_EQ(run_shell(placed(setup.substr(4), dir), dir.path("")).status, 0) << setup;
  }
  auto before = snapshot(dir, c.png == "none" ? "" : "out.png");
  RunResult r = run_shell(placed(c.command, dir), dir.path(""));
  if (r.status == 77) return std::nullopt;
  EXPECT_EQ(r.status, std::stoi(c.status));
  EXPECT_EQ(escaped(r.err), escaped(placed(text_field(c.err), dir))) << "standard error";
  EXPECT_EQ(r.out, "") << "standard output";
  EXPECT_EQ(snapshot(dir, c.png == "none" ? "" : "out.png"), before) << "other files changed";
  std::string png = read_file(dir.path("out.png"));
  if (c.png != "none") {
    EXPECT_EQ(png_interlace_flag(png), 1) << "interlace byte";
  }
  return png;
}

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, Run) {
  const Case& c = GetParam();
  ScopedTz utc("UTC");
  setenv("CASES", kCases.c_str(), 1);
#ifdef __SANITIZE_ADDRESS__
  setenv("TRENDLE_SANITIZED", "1", 1);
#endif
  ScratchDir dir;
  std::optional<std::string> ran = run_case(c, dir);
  if (!ran) GTEST_SKIP() << "the command asks to skip the case";
  const std::string& png = *ran;
  if (c.png == "none") return;
  if (c.png.rfind("same as ", 0) == 0) {
    const Case* other = find_case(c.png.substr(8));
    ASSERT_TRUE(other) << c.png;
    ScratchDir other_dir;
    EXPECT_TRUE(png == run_case(*other, other_dir)) << "PNG differs from " << other->name << "'s";
    return;
  }
  const char* update = getenv("TRENDLE_UPDATE_REFERENCES");
  if (c.png == "ref" && update && std::string(update) == "1")
    std::ofstream(kCases + c.name + ".png", std::ios::binary) << png;
  Image got = load_png(png), want = expected(c, dir);
  ASSERT_TRUE(want) << "no expected image from \"" << c.png << "\"";
  ASSERT_TRUE(got) << "no PNG written";
  EXPECT_EQ(palette_difference(got.get(), palette_image(1, 1).get()), "") << "the palette";
  EXPECT_EQ(pixel_difference(got.get(), want.get()), "");
}

INSTANTIATE_TEST_SUITE_P(, Cases, testing::ValuesIn(kAll),
                         [](const testing::TestParamInfo<Case>& i) { return i.param.name; });

}  // namespace
