#include "plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

constexpr int kMargin = 19;

RunState geometry(int width, int height, float min, float max, time_t start, time_t end) {
  RunState st;
  st.width = width;
  st.height = height;
  st.margin = kMargin;
  st.plot_width = width - kMargin - 1;
  st.range.min = min;
  st.range.max = max;
  st.range.start_time = start;
  st.range.end_time = end;
  return st;
}

struct XCase {
  time_t start, end, t;
  int want;
};

TEST(PlotTest, MapX) {
  const std::vector<XCase> cases = {
      {999, 1001, 1000, 209},  // one record, widened by 1 s each way
      {86400, 90000, 88200, 209},
      {86400, 90000, 90000, 399},
      {86400, 90000, 86400 + 2000, 230},  // 211.11 rounds down
      {0, 3, 1, 146},                     // 126.67 rounds up
      {0, 3600, -3600, -361},
      {0, 456, 3, 21},   // the float scale lies just under 5/6: 2.4999999
      {0, 760, -1, 19},  // -0.5 rounds up, not away from zero
  };
  for (const auto& c : cases) {
    RunState st = geometry(400, 200, 0, 1, c.start, c.end);
    EXPECT_EQ(map_x(st, make_scales(st), c.t), c.want) << c.start << ".." << c.end << " t " << c.t;
  }
}

struct YCase {
  float min, max, v;
  int want;
};

TEST(PlotTest, MapY) {
  const std::vector<YCase> cases = {
      {4, 6, 5, 101},           // 181 + trunc(161 * 1 * -0.5)
      {0, 10, 0, 181},          // min lies one row below the frame
      {0, 10, 10, 20},          // float(-0.1) is a little over 0.1
      {0, 100, 100, 21},        // float(-0.01) is a little under 0.01
      {0, 100, 0.5, 181},       // -0.8 truncates toward zero, not down
      {-10, 0, -10, 181},       // a range below zero
      {0, 10, INFINITY, 20},    // drawn as max
      {0, 10, -INFINITY, 181},  // drawn as min
      {0, 100, INFINITY, 21},   // exactly where max lands
      {0, 1e-39f, 1e-39f, 20},  // 1 / -1e-39 overflows a float
      {0, 1e-39f, 0, 181},      // and 0 * inf must not be NaN
  };
  for (const auto& c : cases) {
    RunState st = geometry(400, 200, c.min, c.max, 0, 10);
    EXPECT_EQ(map_y(st, make_scales(st), c.v), c.want) << c.min << ".." << c.max << " v " << c.v;
  }
}

TEST(PlotTest, FarPointsStayWellInsideInt) {
  // Converting these unbounded would overflow int; gd must get a point that
  // still lies on the right side of the image.
  const int kFar = 1 << 30;
  RunState st = geometry(400, 200, 0, 10, 0, 2);
  Scales sc = make_scales(st);
  int future = map_x(st, sc, 400000000000LL), past = map_x(st, sc, -400000000000LL);
  EXPECT_GT(future, 400);
  EXPECT_LT(future, kFar);
  EXPECT_LT(past, 0);
  EXPECT_GT(past, -kFar);
  int high = map_y(st, sc, 1e30f), low = map_y(st, sc, -1e30f);
  EXPECT_LT(high, 0);
  EXPECT_GT(high, -kFar);
  EXPECT_GT(low, 200);
  EXPECT_LT(low, kFar);
}

// "left,top-right,bottom" of the pixels of index `colour` in the region.
std::string box(gdImagePtr im, int colour, int x0 = 0, int y0 = 0, int x1 = 399, int y1 = 199) {
  Box b = find_colour(im, colour, x0, y0, x1, y1);
  if (b.empty()) return "none";
  return std::to_string(b.left) + "," + std::to_string(b.top) + "-" + std::to_string(b.right) +
         "," + std::to_string(b.bottom);
}

// Charts `csv` at 400 x 200 with times in UTC and reads the PNG back.
Image chart(const std::string& csv) {
  ScopedTz utc("UTC");
  ScratchDir dir;
  std::string in = dir.write("log.csv", csv), out = dir.path("chart.png");
  RunResult r = run_tool({in, out, "400", "200"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  return load_png(out);
}

// The runs of pixels with palette index `colour` in row y, e.g. "19-146,399".
std::string runs(gdImagePtr im, int colour, int y) {
  std::string s;
  for (int x = 0; x < gdImageSX(im); ++x) {
    if (gdImageGetPixel(im, x, y) != colour) continue;
    int first = x;
    while (x + 1 < gdImageSX(im) && gdImageGetPixel(im, x + 1, y) == colour) ++x;
    if (!s.empty()) s += ",";
    s += std::to_string(first);
    if (x > first) s += "-" + std::to_string(x);
  }
  return s;
}

struct RowCheck {
  int colour, y;
  const char* runs;
};

struct PassCase {
  const char* what;
  const char* csv;
  std::vector<RowCheck> rows;
};

// Series 1 (index 3) is the one watched; series 0 and 2 set the range 0..10,
// which puts 10 on row 20 and 0 on row 181. Records 0, 1200, 2400 and 3600 s
// from the first lie at x 19, 146, 272 and 399.
TEST(PlotTest, PlotPassJoinsValidSamples) {
  const std::vector<PassCase> cases = {
      {"3600 s span, single pixels",
       "02/01/70 00:00:00,,0\n02/01/70 00:30:00,,,10\n02/01/70 01:00:00,,0\n",
       {{3, 181, "19,399"}, {4, 20, "209"}}},
      {"a gap breaks the line into a single pixel",
       "02/01/70 00:00:00,0,10\n02/01/70 00:20:00,,10\n02/01/70 00:40:00,,x\n"
       "02/01/70 01:00:00,,10\n",
       {{3, 20, "19-146,399"}}},
      {"skipped lines do not break the line",
       "02/01/70 00:00:00,0,10\n# note\n02/01/70 00:20:00,,10\n\ntime,a,b\n"
       "02/01/70 01:00:00,,10\n",
       {{3, 20, "19-399"}}},
      {"values in every other record are single pixels",
       "02/01/70 00:00:00,0,10\n02/01/70 00:20:00,0\n02/01/70 00:40:00,,10\n"
       "02/01/70 01:00:00,0\n",
       {{3, 20, "19,272"}}},
      {"+inf at the top, -inf at the bottom, NaN a gap",
       "02/01/70 00:00:00,0,0\n02/01/70 00:20:00,10,inf,-inf\n02/01/70 00:40:00,,nan\n"
       "02/01/70 01:00:00,,10\n",
       {{3, 20, "146,399"}, {3, 181, "19"}, {4, 181, "146"}}},
      // Buffer 1 holds the records at 2000 s (x 230) and then at time 0 or -1.
      {"a record at time 0 keeps its buffer's x",
       "02/01/70 00:00:00,0\n02/01/70 00:16:40,0\n02/01/70 00:33:20,0\n"
       "02/01/70 00:50:00,0\n01/01/70 00:00:00,,10\n02/01/70 01:00:00,0\n",
       {{3, 20, "230"}}},
      // Buffer 2 holds the records at 3000 s (x 336) and then at time -1.
      {"a record at a negative time keeps its buffer's x",
       "02/01/70 00:00:00,0\n02/01/70 00:16:40,0\n02/01/70 00:33:20,0\n"
       "02/01/70 00:50:00,0\n02/01/70 00:55:00,0\n00/01/70 23:59:59,,10\n"
       "02/01/70 01:00:00,0\n",
       {{3, 20, "336"}}},
      // Buffer 1 still holds the scan's last record (x 399) when the pass
      // starts; its first record, at time 0, is drawn at the left edge.
      {"a first record at time 0 is drawn at the margin",
       "01/01/70 00:00:00,,10\n02/01/70 00:00:00,0\n02/01/70 01:00:00,0\n",
       {{3, 20, "19"}}},
      {"a record decades ahead stays to the right",
       "02/01/70 00:00:00,0,10\n01/01/30 00:00:00,,10\n02/01/70 00:00:02,,10\n",
       {{3, 20, "19-399"}}},
  };
  for (const auto& c : cases) {
    Image im = chart(c.csv);
    ASSERT_TRUE(im) << c.what;
    for (const auto& row : c.rows)
      EXPECT_EQ(runs(im.get(), row.colour, row.y), row.runs)
          << c.what << ": index " << row.colour << ", row " << row.y;
  }
}

TEST(PlotTest, SingleRecordIsOnePixelInsideTheDashedFrame) {
  Image im = chart("12/05/99 10:30:00,5,5\n");
  ASSERT_TRUE(im);
  // Below the key, series 1 is the one pixel (209, 101); series 0 under it.
  EXPECT_EQ(box(im.get(), 3, 0, kMargin), "209,101-209,101");
  EXPECT_EQ(box(im.get(), 2, kMargin, kMargin, 399, 180), "none");
  // The frame as gd draws it with its own dash pattern, and nothing else in it.
  Image want(gdImageCreate(400, 200), gdImageDestroy);
  gdImageColorAllocate(want.get(), 255, 255, 255);
  int grid = gdImageColorAllocate(want.get(), 187, 187, 187);
  gdImageDashedLine(want.get(), 19, 19, 399, 19, grid);
  gdImageDashedLine(want.get(), 399, 19, 399, 180, grid);
  gdImageDashedLine(want.get(), 399, 180, 19, 180, grid);
  gdImageDashedLine(want.get(), 19, 180, 19, 19, grid);
  int differ = 0;
  for (int y = kMargin; y <= 180; ++y)
    for (int x = kMargin; x < 400; ++x)
      if (x != 209 || y != 101)
        differ += gdImageGetPixel(im.get(), x, y) != gdImageGetPixel(want.get(), x, y);
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(box(im.get(), 1), "19,19-399,180");
}

}  // namespace
