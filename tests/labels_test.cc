#include "labels.h"

#include <gdfonts.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "palette.h"
#include "test_util.h"

namespace {

// A fresh image with the chart's palette and the given range, as the labels
// find it after the plot pass (which they never look at).
struct Canvas {
  RunState st;
  Image im{nullptr, gdImageDestroy};
  Canvas(int width, int height, std::vector<int> active) {
    st.width = width;
    st.height = height;
    st.margin = 19;
    st.plot_width = width - 20;
    im.reset(gdImageCreate(width, height));
    st.im_out = im.get();
    allocate_colours(st);
    for (int n : active) st.range.active[n] = 1;
    st.range.num_active = static_cast<int>(active.size());
  }
};

// The same palette, with text and lines drawn by gd directly where the chart
// is meant to have them.
struct Expected {
  Canvas canvas;
  gdImagePtr im;
  Expected(int width, int height) : canvas(width, height, {}), im(canvas.im.get()) {}
  void text(int x, int y, std::string s) { gdImageString(im, gdFontGetSmall(), x, y, uc(s), 2); }
  void text_up(int x, int y, std::string s) {
    gdImageStringUp(im, gdFontGetSmall(), x, y, uc(s), 2);
  }
  void line(int x0, int x1, int colour) { gdImageLine(im, x0, 9, x1, 9, colour); }
  static unsigned char* uc(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }
};

TEST(LabelsTest, WorkedExample) {
  ScopedTz utc("UTC");
  Canvas c(640, 480, {0, 1, 2, 3});
  c.st.range.min = 0;
  c.st.range.max = 100;
  c.st.range.start_time = 86400 + 12 * 3600;
  c.st.range.end_time = 86400 + 13 * 3600 + 1800;
  draw_key(c.st, 640);
  draw_labels(c.st);

  Expected want(640, 480);
  // slot 621 / 4 = 155, a third 51, a half 77.
  const int x0[] = {19, 174, 329, 484};
  for (int k = 0; k < 4; ++k) {
    want.line(x0[k], x0[k] + 51, k + 2);
    want.text(x0[k] + 77, 3, std::to_string(k));
  }
  want.text_up(3, 463, "0");
  want.text_up(3, 31, "100");
  want.text(19, 467, "12:00");
  want.text(608, 467, "13:30");
  EXPECT_EQ(pixel_difference(c.im.get(), want.im), "");
}

struct KeyCase {
  int width;
  std::vector<int> active;
  int slot;
};

TEST(LabelsTest, KeySlotsPackActiveSeries) {
  const std::vector<KeyCase> cases = {
      {640, {1}, 155},
      {640, {1, 2, 3, 4}, 155},
      {640, {1, 2, 3, 4, 5}, 124},
      {640, {0, 5}, 155},  // numbers 0 and 5 side by side
      {400, {2, 8, 9, 17, 30, 31}, 63},
      {22, {1, 2, 3, 4, 5}, 0},  // everything piles up at x 19
  };
  for (const auto& c : cases) {
    Canvas got(c.width, 40, c.active);
    draw_key(got.st, c.width);
    Expected want(c.width, 40);
    int k = 0;
    for (int n : c.active) {
      int x0 = 19 + k++ * c.slot;
      want.line(x0, x0 + c.slot / 3, n + 2);
      want.text(x0 + c.slot / 2, 3, std::to_string(n));
    }
    EXPECT_EQ(pixel_difference(got.im.get(), want.im), "")
        << c.active.size() << " series, width " << c.width;
  }
}

struct ValueCase {
  float min, max;
  const char* min_text;
  int min_y;
  const char* max_text;
  int max_y;
};

TEST(LabelsTest, ValueLabelsKeepAThirdOutsideTheFrame) {
  // Each character moves the min label down 2 rows and the max label 4.
  const std::vector<ValueCase> cases = {
      {0, 100, "0", 183, "100", 31},
      {-0.25f, 123456, "-0.25", 191, "123456", 43},
      {-1e-05f, 1e+20f, "-1e-05", 193, "1e+20", 39},
      {4, 6, "4", 183, "6", 23},
  };
  ScopedTz utc("UTC");
  for (const auto& c : cases) {
    Canvas got(300, 200, {});
    got.st.range = Range{c.min, c.max, 1000, 1002};
    draw_labels(got.st);
    Expected want(300, 200);
    want.text_up(3, c.min_y, c.min_text);
    want.text_up(3, c.max_y, c.max_text);
    want.text(19, 187, "00:16:40");
    want.text(300 - 8 * 6 - 2, 187, "00:16:42");
    EXPECT_EQ(pixel_difference(got.im.get(), want.im), "") << c.min_text << " " << c.max_text;
  }
}

struct TimeCase {
  const char* tz;
  time_t span;
  const char* want;
};

TEST(LabelsTest, FormatTimeBySpanInLocalTime) {
  const time_t t = 1000000000;  // 2001-09-09 01:46:40 UTC
  const std::vector<TimeCase> cases = {
      {"UTC", 2, "01:46:40"},      {"UTC", 99, "01:46:40"},    {"UTC", 100, "01:46"},
      {"UTC", 86399, "01:46"},     {"UTC", 86400, "09,01:46"}, {"UTC", 40000000, "09,01:46"},
      {"EST5", 86400, "08,20:46"},
  };
  for (const auto& c : cases) {
    ScopedTz tz(c.tz);
    char buf[31];
    size_t n = format_time(buf, sizeof buf, t, c.span);
    EXPECT_STREQ(buf, c.want) << c.tz << ", span " << c.span;
    EXPECT_EQ(n, strlen(c.want)) << c.tz << ", span " << c.span;
  }
}

}  // namespace
