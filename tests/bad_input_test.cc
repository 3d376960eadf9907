// Hostile input, whole runs: every case ends with the expected banner, chart
// or message and exit status, and leaves every file but the output as it was.
#include <gd.h>
#include <gdfonts.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

// What a file looked like: a link's target, or a regular file's size and hash.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const std::string& dir, const std::string& except) {
  Snapshot s;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename();
    if (name == except) continue;
    if (e.is_symlink()) {
      s[name] = "-> " + fs::read_symlink(e.path()).string();
    } else if (e.is_regular_file()) {
      std::string data = read_file(e.path());
      s[name] = std::to_string(data.size()) + " " + std::to_string(std::hash<std::string>{}(data));
    } else {
      s[name] = "(other)";
    }
  }
  return s;
}

struct Outcome {
  int status;
  std::string err;
  std::string png;  // the output file's bytes; empty when there is none
};

// Runs the tool in-process on `in`, writing `out` inside `dir`, and checks
// that no other file of `dir` changed.
Outcome run_in(const ScratchDir& dir, const std::string& in, const std::string& out,
               const std::string& width, const std::string& height,
               const std::string* tform = nullptr) {
  std::string top = dir.path("");
  Snapshot before = snapshot(top, out);
  std::vector<std::string> args = {in, dir.path(out), width, height};
  if (tform) args.push_back(*tform);
  RunResult r = run_tool(args);
  EXPECT_EQ(snapshot(top, out), before) << "a file other than " << out << " changed";
  std::string png = file_exists(dir.path(out)) ? read_file(dir.path(out)) : "";
  return {r.status, r.err, png};
}

Image decode(const std::string& png) {
  gdImagePtr im = png.empty() ? nullptr
                              : gdImageCreateFromPngPtr(static_cast<int>(png.size()),
                                                        const_cast<char*>(png.data()));
  return Image(im, gdImageDestroy);
}

// The image a run must write when it ends with `message`: white, the banner.
Image banner_image(int width, int height, const std::string& message) {
  Image im(gdImageCreate(width, height), gdImageDestroy);
  gdImageColorAllocate(im.get(), 255, 255, 255);
  gdImageColorAllocate(im.get(), 187, 187, 187);
  int black = gdImageColorAllocate(im.get(), 0, 0, 0);
  std::string text = message;
  gdImageString(im.get(), gdFontGetSmall(), 19, height - 17,
                reinterpret_cast<unsigned char*>(text.data()), black);
  return im;
}

int differing_pixels(gdImagePtr a, gdImagePtr b) {
  if (gdImageSX(a) != gdImageSX(b) || gdImageSY(a) != gdImageSY(b)) return -1;
  int n = 0;
  for (int y = 0; y < gdImageSY(a); ++y)
    for (int x = 0; x < gdImageSX(a); ++x)
      n += gdImageGetPixel(a, x, y) != gdImageGetPixel(b, x, y);
  return n;
}

void expect_banner(const Outcome& o, int width, int height, const std::string& message) {
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  Image got = decode(o.png);
  ASSERT_TRUE(got) << "no PNG written";
  EXPECT_EQ(gdImageColorsTotal(got.get()), 34);
  EXPECT_EQ(differing_pixels(got.get(), banner_image(width, height, message).get()), 0)
      << "not the banner \"" << message << "\"";
}

// A chart has its dashed frame (palette index 1); a banner image has none.
bool is_chart(const Outcome& o) {
  Image im = decode(o.png);
  return o.status == 0 && im && !find_colour(im.get(), 1).empty();
}

struct BannerCase {
  const char* what;
  std::string contents;
  std::string tform;  // empty: the default
  std::string banner;
};

std::string all_bytes(bool descending) {
  std::string s;
  for (int round = 0; round < 4; ++round)
    for (int b = 0; b < 256; ++b) s += static_cast<char>(descending ? 255 - b : b);
  return s;
}

TEST(BadInputTest, EndsWithTheBanner) {
  ScopedTz tz("UTC");
  const std::string x100(100, 'X');
  const BannerCase cases[] = {
      {"empty file", "", "", "Strange y limits"},
      {"every byte value, rising", all_bytes(false), "", "Strange y limits"},
      // ":;<=>?@" then "9876543210/" read a day of 9876543210: no value follows.
      {"every byte value, falling", all_bytes(true), "", "Strange y limits"},
      {"NUL bytes only", std::string(5000, '\0'), "", "Strange y limits"},
      {"only commas", ",,,,\n,\n,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\n", "",
       "Strange y limits"},
      {"commas and a dash", ",,-,,\n", "", "Failed to read line 1."},
      {"only '#'", "#\n##\n#####################\n#", "", "Strange y limits"},
      {"only non-finite values", "12/05/99 10:30:00,inf,nan,-1e39,1e39\n", "", "Strange y limits"},
      {"times out of order", "12/05/99 10:30:00,1\n12/05/99 10:29:59,2\n", "",
       "Strange time limits"},
      {"a record cut short after good ones", "12/05/99 10:30:00,1\n#\n12/05/99 10:31\n", "",
       "Failed to read line 2."},
      {"tform of 100 bad letters", "12/05/99 10:30:00,1\n", x100,
       x100 + ": 'X' is not a valid conversion code."},
  };
  for (const BannerCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    std::string in = dir.write("in.csv", c.contents);
    Outcome o = run_in(dir, in, "out.png", "400", "100", c.tform.empty() ? nullptr : &c.tform);
    expect_banner(o, 400, 100, c.banner);
  }
}

struct SameChartCase {
  const char* what;
  std::string hostile;
  std::string plain;  // the same records, written plainly
  std::string tform;  // for the hostile input; empty: the default
};

std::string columns(int count) {
  std::string s;
  for (int n = 0; n < count; ++n) s += "," + std::to_string(n % 7);
  return s;
}

// Records an hour apart on 4 March 2001 (UTC), in YmdHMS with the given year.
std::string two_records(const std::string& year) {
  return year + "-03-04 10:00:00,1,5\n" + year + "-03-04 10:30:00,3,4\n" + year +
         "-03-04 11:00:00,2,6\n";
}

TEST(BadInputTest, DrawsTheSameChartAsThePlainInput) {
  ScopedTz tz("UTC");
  const std::string head = "12/05/99 10:30:00", next = "12/05/99 10:31:00";
  const std::string nul(1, '\0');
  const SameChartCase cases[] = {
      {"100000 columns", head + columns(100000) + "\n" + next + columns(100000) + "\n",
       head + columns(32) + "\n" + next + columns(32) + "\n", ""},
      {"NUL bytes end a line's text",
       head + ",1,2" + nul + ",77,88/\n" + nul + "12/05/99 10:30:20,9\n" + next + ",3" + nul,
       head + ",1,2\n" + next + ",3\n", ""},
      // Without a newline the whole file is one line: one record.
      {"CR-only line ends", head + ",1\r" + next + ",2\r", head + ",1,2\n", ""},
      {"garbage and comma-only lines among records",
       head + ",1\n\x80\xff\xfe\x01\n,,,,\n#,:,\n" + next + ",2\n", head + ",1\n" + next + ",2\n",
       ""},
      // Infinities are drawn at the range's ends, NaN is a gap, the rest is strtod.
      {"numbers at and beyond float's limits",
       head + ",1e39,-1e39,nan,inf,1e-50,0x1p3,99999999999999999999,-inf\n" + next +
           ",5,-5,2,1,3,4,6,0\n",
       head + ",5,-5,,5,0,8,1e20,-5\n" + next + ",5,-5,2,1,3,4,6,0\n", ""},
      {"hours, days and months out of range", "32/12/21 25:61:61,1\n00/13/22 24:00:00,2\n",
       "02/01/22 02:02:01,1\n01/01/23 00:00:00,2\n", ""},
      {"tform of 100 letters", head + ",1\n" + next + ",2\n", head + ",1\n" + next + ",2\n",
       "dmyHMS" + std::string(94, 'q')},
      {"year 2038, past 32-bit seconds", two_records("2038"), two_records("2001"), "YmdHMS"},
      {"year 2100", two_records("2100"), two_records("2001"), "YmdHMS"},
      {"year 9999", two_records("9999"), two_records("2001"), "YmdHMS"},
  };
  for (const SameChartCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    std::string hostile = dir.write("hostile.csv", c.hostile);
    std::string plain = dir.write("plain.csv", c.plain);
    const std::string* tform = c.tform.empty() ? nullptr : &c.tform;
    std::string plain_tform = c.tform == "YmdHMS" ? c.tform : "dmyHMS";
    Outcome want = run_in(dir, plain, "plain.png", "320", "200", &plain_tform);
    ASSERT_TRUE(is_chart(want));
    Outcome got = run_in(dir, hostile, "hostile.png", "320", "200", tform);
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.err, "");
    EXPECT_TRUE(got.png == want.png) << "the charts differ";
  }
}

// Times before 1970 are negative: such records keep the plot's first x, the
// left edge, while the labels show their times as usual.
TEST(BadInputTest, DatesBefore1970) {
  ScopedTz tz("UTC");
  for (const char* year : {"1901", "1969"}) {
    SCOPED_TRACE(year);
    ScratchDir dir;
    std::string old_log = dir.write("old.csv", two_records(year));
    std::string new_log = dir.write("new.csv", two_records("2001"));
    const std::string tform = "YmdHMS";
    Outcome got = run_in(dir, old_log, "old.png", "320", "200", &tform);
    Outcome want = run_in(dir, new_log, "new.png", "320", "200", &tform);
    ASSERT_TRUE(is_chart(got));
    Image a = decode(got.png), b = decode(want.png);
    // Series 1 (palette index 3) is drawn in the left edge's column only.
    Box series = find_colour(a.get(), 3, 0, 19, 319, 180);
    ASSERT_FALSE(series.empty());
    EXPECT_EQ(series.left, 19);
    EXPECT_EQ(series.right, 19);
    for (int y = 187; y < 200; ++y)
      for (int x = 0; x < 320; ++x)
        ASSERT_EQ(gdImageGetPixel(a.get(), x, y), gdImageGetPixel(b.get(), x, y))
            << "time labels differ at " << x << "," << y;
  }
}

struct SizeCase {
  std::string width, height;
  int status;  // 0: the banner at that size
};

TEST(BadInputTest, ImageSizes) {
  const SizeCase cases[] = {
      {"0", "100", 1},
      {"100", "0", 1},
      {"-1", "100", 1},
      {"100", "-1", 1},
      {"1", "1", 0},
      {"19", "19", 0},
      {"20", "20", 0},
      {"21", "21", 0},
      {"65535", "1", 0},
      {"1", "65535", 0},
      {"65536", "65536", 1},
      {"100000", "100000", 1},
      {"2147483647", "2147483647", 1},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.width + " x " + c.height);
    ScratchDir dir;
    std::string empty = dir.write("empty.csv", "");
    std::string log = dir.write("log.csv", "12/05/99 10:30:00,1,2\n12/05/99 10:31:00,3,-4\n");
    Outcome banner = run_in(dir, empty, "banner.png", c.width, c.height);
    Outcome chart = run_in(dir, log, "chart.png", c.width, c.height);
    if (c.status == 0) {
      int w = std::stoi(c.width), h = std::stoi(c.height);
      expect_banner(banner, w, h, "Strange y limits");
      EXPECT_EQ(chart.status, 0);
      EXPECT_EQ(chart.err, "");
      Image im = decode(chart.png);
      ASSERT_TRUE(im);
      EXPECT_EQ(gdImageSX(im.get()), w);
      EXPECT_EQ(gdImageSY(im.get()), h);
    } else {
      for (const Outcome* o : {&banner, &chart}) {
        EXPECT_EQ(o->status, 1);
        EXPECT_EQ(o->err, "Failed to create image.\n");
        EXPECT_EQ(o->png, "");
      }
    }
  }
}

TEST(BadInputTest, InputsThatAreNoRegularFile) {
  ScratchDir dir;
  std::string sub = dir.path("logs");
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  expect_banner(run_in(dir, sub, "out.png", "300", "80"), 300, 80, sub + " - read failed");
  expect_banner(run_in(dir, "/dev/null", "out.png", "300", "80"), 300, 80, "Strange y limits");
}

struct NoOutputCase {
  const char* what;
  std::string out;  // in the scratch directory
  const char* err;
};

TEST(BadInputTest, OutputsThatCannotBeWritten) {
  const NoOutputCase cases[] = {
      {"output in a missing directory", "missing/out.png", "Could not create output file.\n"},
      {"output is a directory", "sub", "Could not create output file.\n"},
      {"output is the input", "log.csv", "Output file is the input file.\n"},
      {"output is a symbolic link to the input", "link.png", "Output file is the input file.\n"},
      {"output is a hard link to the input", "hard.png", "Output file is the input file.\n"},
  };
  const std::string log = "12/05/99 10:30:00,1\n12/05/99 10:31:00,2\n";
  for (const NoOutputCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    std::string in = dir.write("log.csv", log);
    ASSERT_EQ(mkdir(dir.path("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink(in.c_str(), dir.path("link.png").c_str()), 0);
    ASSERT_EQ(link(in.c_str(), dir.path("hard.png").c_str()), 0);
    // Nothing may change, the output path included.
    Snapshot before = snapshot(dir.path(""), "");
    RunResult r = run_tool({in, dir.path(c.out), "64", "48"});
    EXPECT_EQ(snapshot(dir.path(""), ""), before);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
  }
  ScratchDir dir;
  std::string in = dir.write("log.csv", log);
  RunResult full = run_tool({in, "/dev/full", "64", "48"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "Could not write output file.\n");
  EXPECT_EQ(read_file(in), log);
}

// A log of `count` records two seconds apart, in three series, one with gaps.
std::string long_log(int count) {
  std::string s = "# a log larger than a pipe's buffer and the reader's first read\n";
  char line[64];
  for (int i = 0; i < count; ++i) {
    time_t t = 978307200 + 2 * static_cast<time_t>(i);
    struct tm tm;
    gmtime_r(&t, &tm);
    size_t n = strftime(line, sizeof line, "%d/%m/%y %H:%M:%S", &tm);
    snprintf(line + n, sizeof line - n, ",%d,%d.%02d,%s\n", i % 97, i % 13, i % 100,
             i % 10 ? "7" : "");
    s += line;
  }
  return s;
}

// Runs a shell command; its standard error is kept, its output dropped.
RunResult run_shell(const std::string& command, const ScratchDir& dir) {
  std::string err = dir.path("stderr");
  int raw = system(("(" + command + ") >/dev/null 2>" + err).c_str());
  std::string text = read_file(err);
  unlink(err.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text};
}

// The built binary reads a pipe, /dev/stdin and a FIFO, none of which can be
// rewound, and draws the same chart as from the file itself.
TEST(BadInputTest, PipesAndFifosDrawTheSameChartAsAFile) {
  ScratchDir dir;
  const std::string contents = long_log(40000);
  std::string log = dir.write("log.csv", contents);
  std::string fifo = dir.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string tool = "TZ=UTC timeout 60 " + std::string(TRENDLE_BINARY);
  const std::string size = " 640 480";
  struct Way {
    const char* what;
    std::string command;
    std::string out;
  };
  const Way ways[] = {
      {"file", tool + " " + log + " " + dir.path("file.png") + size, "file.png"},
      {"pipe to /dev/stdin",
       "cat " + log + " | " + tool + " /dev/stdin " + dir.path("p.png") + size, "p.png"},
      {"file redirected to /dev/stdin",
       tool + " /dev/stdin " + dir.path("r.png") + size + " <" + log, "r.png"},
      // The writer gives up after a while should the tool never open the FIFO.
      {"FIFO with a writer process",
       "timeout 60 sh -c 'cat " + log + " >" + fifo + "' & " + tool + " " + fifo + " " +
           dir.path("f.png") + size + "; s=$?; wait; exit $s",
       "f.png"},
  };
  std::string want;
  for (const Way& w : ways) {
    SCOPED_TRACE(w.what);
    RunResult r = run_shell(w.command, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string png = read_file(dir.path(w.out));
    ASSERT_FALSE(png.empty());
    if (want.empty()) {
      want = png;
      ASSERT_TRUE(is_chart({0, "", png}));
    }
    EXPECT_TRUE(png == want) << "differs from the chart of the file";
  }
  EXPECT_EQ(read_file(log), contents);
}

// A line longer than the memory allows (a file of 4 GB of NUL bytes without
// a newline, sparse on disk) ends with the read-failed banner, not an abort.
TEST(BadInputTest, LineLongerThanTheMemory) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer's shadow memory needs more than the limit";
#endif
  ScratchDir dir;
  std::string in = dir.path("zeros.csv"), out = dir.path("out.png");
  ASSERT_EQ(truncate(dir.write("zeros.csv", "").c_str(), 4LL << 30), 0);
  RunResult r = run_shell(
      "ulimit -v 400000; " + std::string(TRENDLE_BINARY) + " " + in + " " + out + " 320 100", dir);
  expect_banner({r.status, r.err, read_file(out)}, 320, 100, in + " - read failed");
}

// Where a limit on processes refuses the threads that share out a big log,
// the run goes on without them and draws the same chart.
TEST(BadInputTest, ProcessLimitThatRefusesThreads) {
  if (geteuid() != 0 || system("command -v prlimit setpriv >/dev/null") != 0) {
    GTEST_SKIP() << "needs root, prlimit and setpriv to run as a user with a process limit";
  }
  ScratchDir dir;
  ASSERT_EQ(chmod(dir.path("").c_str(), 0777), 0);
  std::string log = dir.write("log.csv", long_log(40000));
  const std::string tool = std::string(TRENDLE_BINARY) + " " + log + " ";
  ASSERT_EQ(run_shell(tool + dir.path("free.png") + " 320 200", dir).status, 0);
  std::string want = read_file(dir.path("free.png"));
  for (const char* limit : {"1", "2"}) {
    SCOPED_TRACE(std::string("processes: ") + limit);
    std::string out = dir.path(std::string("limited") + limit + ".png");
    // The leak checker needs a thread of its own, which the limit refuses too.
    RunResult r = run_shell("ASAN_OPTIONS=detect_leaks=0 prlimit --nproc=" + std::string(limit) +
                                " setpriv --reuid=65534 --regid=65534 --clear-groups " + tool +
                                out + " 320 200",
                            dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(read_file(out) == want) << "differs from the chart drawn with threads";
  }
}

// One line of 100 MB, read whole in both passes: the same chart as that line
// with its long cell cut short.
TEST(BadInputTest, OneLineOf100MB) {
  ScopedTz tz("UTC");
  ScratchDir dir;
  const std::string tail = ",7\n12/05/99 10:31:00,6,,8\n";
  std::string huge = "12/05/99 10:30:00,5," + std::string(100 << 20, 'x') + tail;
  std::string in = dir.write("huge.csv", huge);
  huge.clear();
  std::string plain = dir.write("plain.csv", "12/05/99 10:30:00,5,x" + tail);
  Outcome want = run_in(dir, plain, "plain.png", "320", "200");
  ASSERT_TRUE(is_chart(want));
  Outcome got = run_in(dir, in, "huge.png", "320", "200");
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_TRUE(got.png == want.png) << "the charts differ";
}

}  // namespace
