#include <gtest/gtest.h>

#include <sstream>

#include "chart/column_run.h"
#include "chart/fast_line.h"
#include "test_util.h"

namespace {

constexpr int kWidth = 9, kHeight = 40;

// Half of the lines vertical, ends well outside the image too, where gd
// clips; on a thick-lined or clipped image the short cut does not hold.
TEST(DrawingTest, FastLineDrawsWhatGdImageLineDraws) {
  Random r(7);
  for (int setup : {0, 1, 2}) {
    Image want = palette_image(97, 53), got = palette_image(97, 53);
    for (gdImagePtr im : {want.get(), got.get()}) {
      if (setup == 1) gdImageSetThickness(im, 3);
      if (setup == 2) gdImageSetClip(im, 10, 5, 60, 30);
    }
    for (int i = 0; i < 6000; ++i) {
      int x1 = r.in(-20, 117), y1 = r.in(-40, 93), y2 = r.in(-40, 93), colour = r.in(2, 33);
      int x2 = r.below(2) ? x1 : r.in(-20, 117);
      gdImageLine(want.get(), x1, y1, x2, y2, colour);
      fast_line(got.get(), x1, y1, x2, y2, colour, plain_palette(got.get(), colour));
    }
    EXPECT_EQ(pixel_difference(got.get(), want.get()), "") << "setup " << setup;
  }
}

// A clip per series: rows top[i] to bottom[i] of columns left to right.
struct Clip {
  int top[32], bottom[32];
  int left, right;
};

// "painted" or "declined", then how the image differs from the steps drawn one
// by one with gdImageLine (from an untouched image, if declined), each under
// its series' clip if any. `rows` holds `count` rows a record, the record
// before the run first.
std::string paint(int x, int count, const std::vector<int>& rows, uint32_t valid,
                  const Clip* clip = nullptr) {
  int colour[32];  // one a series, up to 32
  for (int i = 0; i < 32; ++i) colour[i] = 2 + i;
  Image got = palette_image(kWidth, kHeight), want = palette_image(kWidth, kHeight);
  ColumnRun run{.x = x,
                .count = count,
                .before = rows.data(),
                .rows = rows.data() + count,
                .length = rows.size() / count - 1,
                .valid = valid,
                .colour = colour};
  if (clip) {
    run.top = clip->top;
    run.bottom = clip->bottom;
    run.left = clip->left;
    run.right = clip->right;
  }
  bool painted = paint_column_run(got.get(), run);
  for (size_t k = count; painted && k < rows.size(); ++k) {
    int i = static_cast<int>(k % count);
    if (!(valid >> i & 1)) continue;
    if (clip) gdImageSetClip(want.get(), clip->left, clip->top[i], clip->right, clip->bottom[i]);
    gdImageLine(want.get(), x, rows[k - count], x, rows[k], colour[i]);
  }
  return (painted ? "painted" : "declined") + pixel_difference(got.get(), want.get());
}

TEST(DrawingTest, ColumnRunPaintsWhatTheStepsDrawOrNothing) {
  for (const std::string& line : data_lines("column_runs.txt")) {
    std::istringstream in(line);
    int x;
    std::string valid, outcome;
    in >> x >> valid >> outcome;
    std::vector<int> rows;
    for (int y; in >> y;) rows.push_back(y);
    int count = static_cast<int>(valid.size());
    EXPECT_EQ(paint(x, count, rows, std::stoul(valid, nullptr, 2)), outcome) << line;
  }
}

// Random walks in one column, some close enough to meet, every other one
// under a clip per series that may leave the column out: every run that is
// painted sets the pixels the steps set, and both outcomes occur.
TEST(DrawingTest, ColumnRunsOfRandomWalks) {
  Random r(12345);
  int painted = 0, trials = 400;
  for (int trial = 0; trial < trials; ++trial) {
    size_t count = r.in(1, 4);
    std::vector<int> rows(count * r.in(2, 21));
    for (size_t k = 0; k < rows.size(); ++k)
      rows[k] = k < count ? r.in(-5, kHeight + 4) : rows[k - count] + r.in(-2, 2);
    Clip clip{};
    clip.left = r.in(0, 3);
    clip.right = r.in(5, kWidth - 1);
    for (size_t i = 0; i < count; ++i) {
      clip.top[i] = r.in(0, kHeight / 2);
      clip.bottom[i] = clip.top[i] + r.in(0, kHeight / 2 - 1);
    }
    std::string outcome =
        paint(r.below(kWidth), count, rows, (1u << count) - 1, trial % 2 ? &clip : nullptr);
    EXPECT_TRUE(outcome == "painted" || outcome == "declined") << outcome << ", trial " << trial;
    painted += outcome == "painted";
  }
  EXPECT_GT(painted, 50);
  EXPECT_LT(painted, trials - 50);
}

}  // namespace
