#include "driver.h"

#include <gdfonts.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace {

const char kUsage[] =
    "trendle / trendix version 1.0.1\n"
    "Usage: trendle in_csv out_png width height [tform]\n"
    "tform is a string of time format speciers, with no punctuation.\n"
    "d date\n"
    "m month\n"
    "y year without century\n"
    "Y year with century\n"
    "H hour (0-23)\n"
    "M minute\n"
    "S second\n"
    "e.g. \"dmyHMS\" for British format, \"mdyHMS\" for US.\n";

TEST(DriverTest, UsageTextForTooFewArguments) {
  ScratchDir dir;
  std::string out = dir.path("out.png");
  std::vector<std::vector<std::string>> cases = {
      {}, {"in.csv"}, {"in.csv", out}, {"in.csv", out, "640"}};
  for (const auto& args : cases) {
    RunResult r = run_tool(args);
    EXPECT_EQ(r.status, 2) << args.size() << " arguments";
    EXPECT_EQ(r.err, kUsage) << args.size() << " arguments";
    EXPECT_FALSE(file_exists(out));
  }
}

TEST(DriverTest, BinaryWritesNothingToStandardOutput) {
  ScratchDir dir;
  ProcessResult usage = run_binary("a b c");
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err, kUsage);
  EXPECT_EQ(usage.out, "");

  ProcessResult banner = run_binary(dir.path("missing.csv") + " " + dir.path("o.png") + " 80 60");
  EXPECT_EQ(banner.status, 0);
  EXPECT_EQ(banner.out, "");
  EXPECT_EQ(banner.err, "");
  EXPECT_TRUE(file_exists(dir.path("o.png")));
}

// The image a run that cannot open `path` must write, drawn directly.
Image expected_open_failed(int width, int height, const std::string& path) {
  Image im(gdImageCreate(width, height), gdImageDestroy);
  gdImageColorAllocate(im.get(), 255, 255, 255);
  gdImageColorAllocate(im.get(), 187, 187, 187);
  int black = gdImageColorAllocate(im.get(), 0, 0, 0);
  std::string msg = path + " - open failed";
  gdImageString(im.get(), gdFontGetSmall(), 19, height - 17,
                reinterpret_cast<unsigned char*>(msg.data()), black);
  return im;
}

void expect_same_pixels(gdImagePtr got, gdImagePtr want) {
  ASSERT_EQ(gdImageSX(got), gdImageSX(want));
  ASSERT_EQ(gdImageSY(got), gdImageSY(want));
  int differ = 0;
  for (int y = 0; y < gdImageSY(want); ++y)
    for (int x = 0; x < gdImageSX(want); ++x)
      differ += gdImageGetPixel(got, x, y) != gdImageGetPixel(want, x, y);
  EXPECT_EQ(differ, 0);
}

TEST(DriverTest, OpenFailedBannerImage) {
  ScratchDir dir;
  std::string in = dir.path("no-such.csv"), out = dir.path("chart.png");
  RunResult r = run_tool({in, out, "300", "120"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(png_interlace_flag(out), 1);
  Image im = load_png(out);
  ASSERT_TRUE(im);
  EXPECT_FALSE(gdImageTrueColor(im.get()));
  EXPECT_EQ(gdImageSX(im.get()), 300);
  EXPECT_EQ(gdImageSY(im.get()), 120);
  EXPECT_EQ(gdImageGetPixel(im.get(), 0, 0), 0);

  // The banner's glyphs lie in its 13 rows from height - 17, from column 19.
  Box text = find_colour(im.get(), 2);
  EXPECT_GE(text.left, 19);
  EXPECT_LE(text.left, 20);
  EXPECT_GE(text.top, 120 - 17);
  EXPECT_LE(text.bottom, 120 - 5);
  Image want = expected_open_failed(300, 120, in);
  expect_same_pixels(im.get(), want.get());
}

TEST(DriverTest, PaletteHasAll34EntriesInOrder) {
  const int kRgb[34][3] = {
      {255, 255, 255}, {187, 187, 187}, {0, 0, 0},     {119, 119, 119}, {0, 68, 153},
      {0, 204, 0},     {221, 0, 0},     {85, 136, 0},  {255, 187, 0},   {0, 187, 255},
      {0, 0, 0},       {119, 119, 119}, {0, 68, 153},  {0, 204, 0},     {221, 0, 0},
      {85, 136, 0},    {255, 187, 0},   {0, 187, 255}, {0, 0, 0},       {119, 119, 119},
      {0, 68, 153},    {0, 204, 0},     {221, 0, 0},   {85, 136, 0},    {255, 187, 0},
      {0, 187, 255},   {0, 0, 0},       {119, 119, 119}, {0, 68, 153},  {0, 204, 0},
      {221, 0, 0},     {85, 136, 0},    {255, 187, 0}, {0, 187, 255}};
  ScratchDir dir;
  std::string out = dir.path("p.png");
  ASSERT_EQ(run_tool({dir.path("missing"), out, "64", "48"}).status, 0);
  Image im = load_png(out);
  ASSERT_TRUE(im);
  ASSERT_EQ(gdImageColorsTotal(im.get()), 34);
  for (int i = 0; i < 34; ++i) {
    EXPECT_EQ(gdImageRed(im.get(), i), kRgb[i][0]) << "index " << i;
    EXPECT_EQ(gdImageGreen(im.get(), i), kRgb[i][1]) << "index " << i;
    EXPECT_EQ(gdImageBlue(im.get(), i), kRgb[i][2]) << "index " << i;
  }
}

TEST(DriverTest, SizesTakenWithAtoi) {
  ScratchDir dir;
  std::string out = dir.path("o.png");
  ASSERT_EQ(run_tool({dir.path("missing"), out, " 640abc", "+48x"}).status, 0);
  Image im = load_png(out);
  ASSERT_TRUE(im);
  EXPECT_EQ(gdImageSX(im.get()), 640);
  EXPECT_EQ(gdImageSY(im.get()), 48);
}

TEST(DriverTest, LongBannerIsClippedNotCut) {
  ScratchDir dir;
  std::string in = dir.path(std::string(300, 'x'));
  std::string out = dir.path("o.png");
  ASSERT_EQ(run_tool({in, out, "4000", "40"}).status, 0);
  Image im = load_png(out);
  ASSERT_TRUE(im);
  // Past 255 characters the message still goes on: " - open failed" ends it.
  Box text = find_colour(im.get(), 2);
  int chars = static_cast<int>(in.size()) + 14;
  EXPECT_GT(text.right, 19 + 6 * 255);
  EXPECT_LE(text.right, 19 + 6 * chars - 1);
  EXPECT_GE(text.right, 19 + 6 * (chars - 1));
}

struct NoImageCase {
  const char* what;
  std::vector<std::string> args;  // {in, out, width, height}; "@" is the scratch dir
  int status;
  const char* err;
};

std::string expand(const std::string& arg, const ScratchDir& dir) {
  return arg[0] == '@' ? dir.path(arg.substr(1)) : arg;
}

TEST(DriverTest, RunsThatWriteNoImage) {
  const std::vector<NoImageCase> cases = {
      {"output in a missing directory", {"@log.csv", "@nodir/o.png", "64", "48"}, 1,
       "Could not create output file.\n"},
      {"output on a full disk", {"@log.csv", "/dev/full", "64", "48"}, 1,
       "Could not write output file.\n"},
      {"output is the input", {"@log.csv", "@log.csv", "64", "48"}, 1,
       "Output file is the input file.\n"},
      {"output links to the input", {"@log.csv", "@link.png", "64", "48"}, 1,
       "Output file is the input file.\n"},
      {"zero width", {"@log.csv", "@old.png", "0", "48"}, 1, "Failed to create image.\n"},
      {"huge image", {"@log.csv", "@old.png", "2000000000", "2000000000"}, 1,
       "Failed to create image.\n"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const std::string log = "12/05/99 10:30:00,1\n";
    dir.write("log.csv", log);
    dir.write("old.png", "old contents");
    ASSERT_EQ(symlink(dir.path("log.csv").c_str(), dir.path("link.png").c_str()), 0);
    std::vector<std::string> args;
    for (const auto& a : c.args) args.push_back(expand(a, dir));
    RunResult r = run_tool(args);
    EXPECT_EQ(r.status, c.status) << c.what;
    // gd may add its own warning before ours; ours ends the text.
    ASSERT_GE(r.err.size(), strlen(c.err)) << c.what;
    EXPECT_EQ(r.err.substr(r.err.size() - strlen(c.err)), c.err) << c.what;
    EXPECT_EQ(read_file(dir.path("log.csv")), log) << c.what;
    EXPECT_EQ(read_file(dir.path("old.png")), "old contents") << c.what;
  }
}

}  // namespace
