// Runs the built binary once for each line of cases.txt, whose header says how a case reads and
// what is checked. TRENDLE_UPDATE_REFERENCES=1 rewrites each reference PNG whose pixels differ and
// fails that row, naming the file, so that someone looks at each; CI refuses update mode.
#include <gdfonts.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <regex>

#include "test_util.h"

namespace {

const std::string kCases = TRENDLE_TEST_DIR "/cases/";

struct Case {
  std::string name, command, input, status, err, png;
};

std::vector<Case> read_cases() {
  std::vector<Case> cases;
  const std::regex bar(" \\| ");
  for (const std::string& line : data_lines("cases.txt")) {
    if (line.empty()) continue;
    std::vector<std::string> f(std::sregex_token_iterator(line.begin(), line.end(), bar, -1),
                               std::sregex_token_iterator());
    f.resize(6);
    cases.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
  }
  return cases;
}

const std::vector<Case> kAll = read_cases();
const std::regex kGdLines("^((GD Warning: |GD Error: |gd-png|libpng warning: )[^\n]*\n)*");

// "TEXT", @FILE under tests/cases/, or none ("").
std::string text_field(const std::string& f) {
  if (f.starts_with("@")) return read_file(kCases + f.substr(1));
  EXPECT_TRUE(f == "none" || (f.size() > 1 && f.front() == '"' && f.back() == '"')) << f;
  return f == "none" ? "" : f.substr(1, f.size() - 2);
}

// Runs a shell command in `dir`: TZ=UTC, $CASES names tests/cases/, trendle is on PATH.
RunResult run_shell(const std::string& command, const ScratchDir& dir) {
  std::string bin = std::filesystem::path(TRENDLE_BINARY).parent_path();
  std::string env = "TZ=UTC CASES='" + kCases + "' PATH='" + bin + "':$PATH";
#ifdef __SANITIZE_ADDRESS__
  env += " TRENDLE_SANITIZED=1";
#endif
  ScratchDir capture;
  std::string cmd = "cd '" + dir.path("") + "' && export " + env + " && (" + command + ") >" +
                    capture.path("out") + " 2>" + capture.path("err");
  int raw = system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(capture.path("err")),
          read_file(capture.path("out"))};
}

// Runs the case and checks all but the PNG's pixels; returns the PNG, or
// nothing when the command asks (with status 77) for the case to be skipped.
std::optional<std::string> run_case(const Case& c, const ScratchDir& dir) {
  size_t setup = c.input.find(" && ");
  if (!c.input.starts_with("none")) dir.write("in.csv", text_field(c.input.substr(0, setup)));
  // Each entry but out.png: name, mode, size, inode, links and time (not a
  // FIFO's: they change as it is read, and it holds nothing).
  std::string entries =
      "find . -mindepth 1 " + std::string(c.png == "none" ? "" : "! -name out.png") +
      R"( \( -type p -printf '%p %M\n' -o -printf '%p %M %s %i %n %T@\n' \) | sort)";
  std::string setup_then = setup == c.input.npos ? "" : "(" + c.input.substr(setup + 4) + ") && ";
  RunResult before = run_shell(setup_then + entries, dir);
  EXPECT_EQ(before.status, 0) << c.input;
  RunResult r = run_shell(c.command, dir);
  if (r.status == 77) return std::nullopt;
  EXPECT_EQ(r.status, std::stoi(c.status));
  bool gd = c.err.starts_with("gd ");  // libgd's own lines first, worded as its build has it
  EXPECT_EQ(gd ? std::regex_replace(r.err, kGdLines, "") : r.err, text_field(c.err.substr(3 * gd)));
  EXPECT_EQ(r.out, "") << "standard output";
  EXPECT_EQ(run_shell(entries, dir).out, before.out) << "other files changed";
  std::string png = read_file(dir.path("out.png"));
  if (c.png == "none") return png;
  Image im = load_png(png);
  // IHDR, always the first chunk, ends with the interlace method.
  EXPECT_TRUE(im && png[28] == 1) << "out.png is no interlaced PNG";
  EXPECT_EQ(im ? palette_difference(im.get(), palette_image(1, 1).get()) : "", "") << "palette";
  return png;
}

// The image the case's png field asks for: its reference or a banner.
Image expected(const Case& c) {
  int width, height, skip = 0;
  if (c.png == "ref") return load_png(read_file(kCases + c.name + ".png"));
  if (sscanf(c.png.c_str(), "banner %dx%d %n", &width, &height, &skip) < 2)
    return Image(nullptr, gdImageDestroy);
  Image im = palette_image(width, height);
  std::basic_string<unsigned char> text(c.png.begin() + skip, c.png.end());
  gdImageString(im.get(), gdFontGetSmall(), 19, height - 17, text.data(), 2);
  return im;
}

class Cases : public testing::TestWithParam<size_t> {};

TEST_P(Cases, Run) {
  const Case& c = kAll[GetParam()];
  ASSERT_FALSE(getenv("TRENDLE_UPDATE_REFERENCES") && getenv("CI")) << "update mode in CI";
  ScratchDir dir;
  std::optional<std::string> png = run_case(c, dir);
  if (!png) GTEST_SKIP() << "the command asks to skip the case";
  if (c.png.starts_with("same as ")) {
    auto other = std::ranges::find(kAll, c.png.substr(8), &Case::name);
    ASSERT_TRUE(other != kAll.end()) << "no case " << c.png.substr(8);
    EXPECT_TRUE(png == run_case(*other, ScratchDir()))
        << "PNG differs from " << other->name << "'s";
  } else if (c.png != "none") {
    Image got = load_png(*png), want = expected(c);
    std::string diff = got && want ? pixel_difference(got.get(), want.get()) : "no image";
    bool update = got && c.png == "ref" && getenv("TRENDLE_UPDATE_REFERENCES") && !diff.empty();
    if (update) std::ofstream(kCases + c.name + ".png", std::ios::binary) << *png;
    EXPECT_EQ(diff, "") << (update ? "rewrote " + kCases + c.name + ".png: look at it" : "");
  }
}

INSTANTIATE_TEST_SUITE_P(, Cases, testing::Range(size_t{0}, kAll.size()),
                         [](const testing::TestParamInfo<size_t>& i) {
                           return kAll[i.param].name;
                         });

}  // namespace
