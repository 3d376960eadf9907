#include "column_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

constexpr int kWidth = 9, kHeight = 40;

Image palette_image() {
  Image im(gdImageCreate(kWidth, kHeight), gdImageDestroy);
  for (int c = 0; c < 34; ++c) gdImageColorAllocate(im.get(), c * 7, 255 - c * 7, c);
  return im;
}

// A run and what became of it: whether it was painted, and whether the
// image then equals the steps drawn one by one with gdImageLine (or, when it
// was not painted, is untouched).
struct Outcome {
  bool painted;
  std::string differs;
};

Outcome paint(int x, const std::vector<int>& before, const std::vector<std::vector<int>>& rows,
              uint32_t valid) {
  int count = static_cast<int>(before.size());
  std::vector<int> flat, colour;
  for (const auto& r : rows) flat.insert(flat.end(), r.begin(), r.end());
  for (int i = 0; i < count; ++i) colour.push_back(2 + 5 * i);
  Image got = palette_image(), want = palette_image(), blank = palette_image();
  ColumnRun run{x, count, before.data(), flat.data(), rows.size(), valid, colour.data()};
  bool painted = paint_column_run(got.get(), run);
  if (painted) {
    const std::vector<int>* prev = &before;
    for (const auto& r : rows) {
      for (int i = 0; i < count; ++i) {
        if (valid >> i & 1) gdImageLine(want.get(), x, (*prev)[i], x, r[i], colour[i]);
      }
      prev = &r;
    }
  }
  return {painted, pixel_difference(got.get(), painted ? want.get() : blank.get())};
}

TEST(ColumnRunTest, PaintsWhatTheStepsDrawOrNothing) {
  struct Case {
    const char* what;
    int x;
    std::vector<int> before;
    std::vector<std::vector<int>> rows;
    uint32_t valid;
    bool painted;
  };
  const Case kCases[] = {
      {"apart", 3, {5, 20}, {{6, 21}, {4, 22}, {7, 19}}, 0b11, true},
      {"crossing", 3, {5, 9}, {{8, 8}, {11, 6}}, 0b11, false},
      // The row before the run belongs to its first step.
      {"meeting at the row before", 3, {5, 12}, {{12, 13}}, 0b11, false},
      {"meeting at one row", 3, {5, 10}, {{8, 11}, {10, 12}}, 0b11, false},
      {"one row apart", 3, {5, 11}, {{8, 12}, {10, 13}}, 0b11, true},
      {"a series without values may cross", 3, {5, 6, 30}, {{7, 6, 31}}, 0b101, true},
      {"spans beyond the image", 3, {-20, 35}, {{2, 60}, {-5, 45}}, 0b11, true},
      {"a column outside the image", -1, {5, 20}, {{6, 21}}, 0b11, true},
      {"a column past the right edge", kWidth, {5, 20}, {{6, 21}}, 0b11, true},
      {"three series, the last two meeting", 0, {1, 20, 25}, {{2, 24, 22}}, 0b111, false},
  };
  for (const Case& c : kCases) {
    Outcome o = paint(c.x, c.before, c.rows, c.valid);
    EXPECT_EQ(o.painted, c.painted) << c.what;
    EXPECT_EQ(o.differs, "") << c.what;
  }
}

// Random walks in one column, some close enough to meet: every run that is
// painted sets the pixels the steps set, and both outcomes occur.
TEST(ColumnRunTest, RandomWalks) {
  uint64_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int>((seed >> 33) % static_cast<uint64_t>(n));
  };
  int painted = 0, refused = 0;
  for (int trial = 0; trial < 400; ++trial) {
    int count = 1 + next(4);
    std::vector<int> y(count);
    for (int i = 0; i < count; ++i) y[i] = next(kHeight + 10) - 5;
    std::vector<int> before = y;
    std::vector<std::vector<int>> rows(1 + next(20));
    for (auto& r : rows) {
      for (int& v : y) v += next(5) - 2;
      r = y;
    }
    Outcome o = paint(next(kWidth), before, rows, (1u << count) - 1);
    EXPECT_EQ(o.differs, "") << "trial " << trial;
    (o.painted ? painted : refused)++;
  }
  EXPECT_GT(painted, 50);
  EXPECT_GT(refused, 50);
}

}  // namespace
