// The fast drawing against gdImageLine: fast_line line by line, and each
// painted column run against its steps drawn one by one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/column_run.h"
#include "chart/fast_line.h"
#include "test_util.h"

namespace {

constexpr int kWidth = 9, kHeight = 40;

Image palette_image(
    int width, int height, void (*setup)(gdImagePtr) = [](gdImagePtr) {}) {
  Image im(gdImageCreate(width, height), gdImageDestroy);
  for (int c = 0; c < 34; ++c) gdImageColorAllocate(im.get(), c * 7, 255 - c * 7, c);
  setup(im.get());
  return im;
}

TEST(DrawingTest, FastLineDrawsWhatGdImageLineDraws) {
  // On a thick-lined or clipped image the short cut does not hold.
  Random r(7);
  for (void (*setup)(gdImagePtr) :
       {+[](gdImagePtr) {}, +[](gdImagePtr im) { gdImageSetThickness(im, 3); },
        +[](gdImagePtr im) { gdImageSetClip(im, 10, 5, 60, 30); }}) {
    Image want = palette_image(97, 53, setup), got = palette_image(97, 53, setup);
    // Half of them vertical; ends well outside the image too, where gd clips.
    for (int i = 0; i < 6000; ++i) {
      int x1 = r.in(-20, 117), y1 = r.in(-40, 93), y2 = r.in(-40, 93), colour = r.in(2, 33);
      int x2 = r.below(2) ? x1 : r.in(-20, 117);
      gdImageLine(want.get(), x1, y1, x2, y2, colour);
      fast_line(got.get(), x1, y1, x2, y2, colour, plain_palette(got.get(), colour));
    }
    EXPECT_EQ(pixel_difference(got.get(), want.get()), "");
  }
}

// Whether the run was painted, and how the image differs from the steps
// drawn one by one with gdImageLine (from an untouched one, if not painted).
std::pair<bool, std::string> paint(int x, std::vector<std::vector<int>> rows, uint32_t valid) {
  int count = static_cast<int>(rows[0].size());
  std::vector<int> flat, colour;
  for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
  for (int i = 0; i < count; ++i) colour.push_back(2 + 5 * i);
  Image got = palette_image(kWidth, kHeight), want = palette_image(kWidth, kHeight);
  // The first row is the record before the run.
  ColumnRun run{x, count, flat.data(), flat.data() + count, rows.size() - 1, valid, colour.data()};
  bool painted = paint_column_run(got.get(), run);
  for (size_t k = 1; painted && k < rows.size(); ++k) {
    for (int i = 0; i < count; ++i) {
      if (valid >> i & 1) gdImageLine(want.get(), x, rows[k - 1][i], x, rows[k][i], colour[i]);
    }
  }
  return {painted, pixel_difference(got.get(), want.get())};
}

TEST(DrawingTest, ColumnRunPaintsWhatTheStepsDrawOrNothing) {
  const struct {
    const char* what;
    int x;
    std::vector<std::vector<int>> rows;  // the record before the run first
    uint32_t valid;
    bool painted;
  } kCases[] = {
      {"apart", 3, {{5, 20}, {6, 21}, {4, 22}, {7, 19}}, 0b11, true},
      {"crossing", 3, {{5, 9}, {8, 8}, {11, 6}}, 0b11, false},
      {"meeting at the row before the run", 3, {{5, 12}, {12, 13}}, 0b11, false},
      {"meeting at one row", 3, {{5, 10}, {8, 11}, {10, 12}}, 0b11, false},
      {"one row apart", 3, {{5, 11}, {8, 12}, {10, 13}}, 0b11, true},
      {"a series without values may cross", 3, {{5, 6, 30}, {7, 6, 31}}, 0b101, true},
      {"spans beyond the image", 3, {{-20, 35}, {2, 60}, {-5, 45}}, 0b11, true},
      {"a column outside the image", -1, {{5, 20}, {6, 21}}, 0b11, true},
      {"a column past the right edge", kWidth, {{5, 20}, {6, 21}}, 0b11, true},
      {"three series, the last two meeting", 0, {{1, 20, 25}, {2, 24, 22}}, 0b111, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(paint(c.x, c.rows, c.valid), std::make_pair(c.painted, std::string())) << c.what;
  }
}

// Random walks in one column, some close enough to meet: every run that is
// painted sets the pixels the steps set, and both outcomes occur.
TEST(DrawingTest, ColumnRunsOfRandomWalks) {
  Random r(12345);
  int painted = 0, trials = 400;
  for (int trial = 0; trial < trials; ++trial) {
    std::vector<std::vector<int>> rows(r.in(2, 21), std::vector<int>(r.in(1, 4)));
    for (int& y : rows[0]) y = r.in(-5, kHeight + 4);
    for (size_t k = 1; k < rows.size(); ++k) {
      for (size_t i = 0; i < rows[k].size(); ++i) rows[k][i] = rows[k - 1][i] + r.in(-2, 2);
    }
    auto [done, differs] = paint(r.below(kWidth), rows, (1u << rows[0].size()) - 1);
    EXPECT_EQ(differs, "") << "trial " << trial;
    painted += done;
  }
  EXPECT_GT(painted, 50);
  EXPECT_LT(painted, trials - 50);
}

}  // namespace
