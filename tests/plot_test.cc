#include "plot.h"

#include <gtest/gtest.h>

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

}  // namespace
