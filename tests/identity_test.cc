// No speed-up may change an output byte: the benchmark charts stay as the
// plain build drew them, and a pass shared out in blocks of any size draws
// what one reading draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "input/blocks.h"
#include "log_gen.h"
#include "test_util.h"

namespace {

std::string generated_log(long long rows, int series, long long start) {
  ScratchDir dir;
  FILE* f = fopen(dir.path("log").c_str(), "wb");
  EXPECT_TRUE(write_log({.rows = rows, .series = series, .start = start}, f));
  fclose(f);
  return read_file(dir.path("log"));
}

// The PNG a run writes for `csv` (its banner, if any, included), the passes
// sharing the file out in blocks of `block` bytes.
std::string chart(const std::string& csv, std::vector<std::string> args, long long block) {
  ScratchDir dir;
  args.insert(args.begin(), {dir.write("in.csv", csv), dir.path("out.png")});
  long long usual = block_bytes();
  set_block_bytes(block);
  RunResult r = run_tool(args);
  set_block_bytes(usual);
  EXPECT_EQ(r.status, 0) << r.err;
  return read_file(dir.path("out.png"));
}

TEST(IdentityTest, BenchmarkChartsAreByteIdentical) {
  for (const std::string& row : data_lines("benchmark_charts.txt")) {
    std::istringstream fields(row);
    long long rows, start;
    int series;
    std::string tz, want, got;
    fields >> rows >> series >> start >> tz >> want;
    ScopedTz zone(tz.c_str());
    ScratchDir dir;
    std::string png =
        dir.write("png", chart(generated_log(rows, series, start), {"1600", "900"}, block_bytes()));
    FILE* sum = popen(("sha256sum " + png).c_str(), "r");
    for (int c; (c = fgetc(sum)) != EOF && c != ' ';) got += static_cast<char>(c);
    pclose(sum);
    EXPECT_EQ(got, want) << row;
  }
}

// Forty records to a column: two series that cross, one with gaps, one that
// jumps about; a NaN and a time before 1970 among them.
std::string dense_log() {
  std::string log;
  for (int k = 0; k < 4000; ++k) {
    char line[128];
    snprintf(line, sizeof line, "12/05/99 10:%02d:%02d,%.3f,%.3f,%s,%d\n", k / 240, k / 4 % 60,
             50 + 40 * sin(k / 300.0), 50 + 40 * cos(k / 250.0), k % 37 ? "10" : "",
             80 + k * 7919 % 13);
    log += k == 1500 ? "31/12/69 23:59:59,1,2,3,4\n" : k == 2500 ? "12/05/99 10:41:40,nan\n" : line;
  }
  return log;
}

// Every file under tests/blocks/ is a case too, named after what it holds.
TEST(IdentityTest, BlocksOfAnySizeDrawTheSameChartAsOneReading) {
  ScopedTz tz("Europe/London");
  std::string log = generated_log(3000, 5, 1698537600);  // through the hour that occurs twice
  size_t cut = log.find('\n', 60000) + 1;
  std::vector<std::pair<std::string, std::string>> cases = {
      {"generated log", log},
      {"many records to a column", dense_log()},
      {"a time that cannot be read, late",
       log.substr(0, cut) + "12/05/99 10:30\n" + log.substr(cut)},
  };
  for (const auto& file : std::filesystem::directory_iterator(TRENDLE_TEST_DIR "/blocks"))
    cases.emplace_back(file.path().filename(), read_file(file.path()));
  for (const auto& [what, csv] : cases) {
    // The second tform's letter that is no code raises its banner in a worker;
    // the third reads Unix seconds.
    for (const char* tform : {"dmyHMS", "dmyHXS", "s"}) {
      std::string whole = chart(csv, {"400", "200", tform}, 1LL << 40);
      ASSERT_FALSE(whole.empty()) << what;
      for (long long block : {1, 7, 100, 4096}) {
        EXPECT_TRUE(chart(csv, {"400", "200", tform}, block) == whole)
            << what << ", " << tform << ", blocks of " << block << " bytes";
      }
    }
  }
}

}  // namespace
