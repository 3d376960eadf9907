// Whole charts compared pixel by pixel with reference PNGs in tests/render/.
// After a deliberate change to the picture, rewrite the references with
//   TRENDLE_UPDATE_REFERENCES=1 build/debug/tests/trendle_tests --gtest_filter='RenderTest.*'
// and look at every changed PNG before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

struct RenderCase {
  const char* name;  // tests/render/<name>.csv is drawn and compared with <name>.png
  const char* width;
  const char* height;
  const char* tform;
};

const std::vector<RenderCase> kCases = {
    {"several_series_with_gap", "480", "240", "dmyHMS"},
    {"single_record", "400", "200", "dmyHMS"},
    {"key_five_series_us_dates", "320", "160", "mdyHMS"},
    {"infinity_and_nan", "320", "160", "YmdHMS"},
    {"strange_time_limits", "320", "100", "dmyHMS"},
};

bool updating() {
  const char* v = getenv("TRENDLE_UPDATE_REFERENCES");
  return v && std::string(v) == "1";
}

TEST(RenderTest, ChartsMatchReferences) {
  ScopedTz utc("UTC");
  for (const auto& c : kCases) {
    std::string base = std::string(TRENDLE_TEST_DIR) + "/render/" + c.name;
    ScratchDir dir;
    std::string out = dir.path("chart.png");
    RunResult r = run_tool({base + ".csv", out, c.width, c.height, c.tform});
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
    if (updating()) {
      std::filesystem::copy_file(out, base + ".png",
                                 std::filesystem::copy_options::overwrite_existing);
      continue;
    }
    Image got = load_png(out), want = load_png(base + ".png");
    ASSERT_TRUE(want) << c.name << ": no reference PNG";
    ASSERT_TRUE(got) << c.name;
    EXPECT_EQ(pixel_difference(got.get(), want.get()), "") << c.name;
  }
}

}  // namespace
