#include "driver/driver.h"

#include <gtest/gtest.h>

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

// One run checks the banner image, its palette, interlacing and that the
// sizes are read as atoi reads them.
TEST(DriverTest, OpenFailedBannerImage) {
  // White, the grid grey, then the series colours four times over.
  const int kRgb[10][3] = {{255, 255, 255}, {187, 187, 187}, {0, 0, 0},   {119, 119, 119},
                           {0, 68, 153},    {0, 204, 0},     {221, 0, 0}, {85, 136, 0},
                           {255, 187, 0},   {0, 187, 255}};
  ScratchDir dir;
  std::string in = dir.path("no-such.csv"), out = dir.path("chart.png");
  RunResult r = run_tool({in, out, " 300abc", "+120x"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(png_interlace_flag(out), 1);
  Image im = load_png(out);
  ASSERT_TRUE(im);
  EXPECT_FALSE(gdImageTrueColor(im.get()));
  EXPECT_EQ(pixel_difference(im.get(), expected_banner(300, 120, in + " - open failed").get()), "");
  ASSERT_EQ(gdImageColorsTotal(im.get()), 34);
  for (int i = 0; i < 34; ++i) {
    const int* rgb = kRgb[i < 2 ? i : 2 + (i - 2) % 8];
    EXPECT_EQ(gdImageRed(im.get(), i), rgb[0]) << "index " << i;
    EXPECT_EQ(gdImageGreen(im.get(), i), rgb[1]) << "index " << i;
    EXPECT_EQ(gdImageBlue(im.get(), i), rgb[2]) << "index " << i;
  }
}

TEST(DriverTest, LongBannerIsClippedNotCut) {
  ScratchDir dir;
  std::string in = dir.path(std::string(300, 'x'));
  std::string out = dir.path("o.png");
  ASSERT_EQ(run_tool({in, out, "4000", "40"}).status, 0);
  Image im = load_png(out);
  ASSERT_TRUE(im);
  // Past 255 characters the message still goes on: " - open failed" ends it.
  EXPECT_EQ(pixel_difference(im.get(), expected_banner(4000, 40, in + " - open failed").get()), "");
}

}  // namespace
