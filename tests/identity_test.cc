// No speed-up may change the chart: the benchmark charts keep the pixels the plain
// build drew, and a pass shared out in blocks of any size draws what one reading draws.
#include <gtest/gtest.h>

#include <cstdio>

#include "input/blocks.h"
#include "input/sorted_log.h"
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
// sharing the file out in blocks of `block` bytes; `args` after the options.
std::string chart(const std::string& csv, std::vector<std::string> args, long long block,
                  const std::vector<std::string>& options = {}) {
  ScratchDir dir;
  args.insert(args.begin(), {dir.write("in.csv", csv), dir.path("out.png")});
  args.insert(args.begin(), options.begin(), options.end());
  long long usual = block_bytes();
  set_block_bytes(block);
  RunResult r = run_tool(args);
  set_block_bytes(usual);
  EXPECT_EQ(r.status, 0) << r.err;
  return read_file(dir.path("out.png"));
}

TEST(IdentityTest, BenchmarkChartsKeepTheirPixels) {
  for (const std::string& row : data_lines("benchmark_charts.txt")) {
    long long rows, start;
    int series;
    char tz[64], want[65], got[65] = "";
    ASSERT_EQ(sscanf(row.c_str(), "%lld %d %lld %63s %64s", &rows, &series, &start, tz, want), 5);
    ScopedTz zone(tz);
    ScratchDir dir;
    Image im = load_png(chart(generated_log(rows, series, start), {"1600", "900"}, block_bytes()));
    ASSERT_TRUE(im && !im->trueColor) << row;
    std::string dump = std::to_string(im->sx) + " " + std::to_string(im->sy) + " " +
                       std::to_string(im->interlace) + " " + std::to_string(im->colorsTotal) + "\n";
    for (int i = 0; i < im->colorsTotal; ++i)
      dump += {char(im->red[i]), char(im->green[i]), char(im->blue[i]), char(im->alpha[i])};
    for (int y = 0; y < im->sy; ++y) dump.append(reinterpret_cast<char*>(im->pixels[y]), im->sx);
    FILE* sum = popen(("sha256sum " + dir.write("image", dump)).c_str(), "r");
    EXPECT_EQ(fscanf(sum, "%64s", got), 1);
    pclose(sum);
    EXPECT_STREQ(got, want) << row;
  }
}

// Every file under tests/blocks/ is a case too, named after what it holds. Each
// is drawn with three tforms: dmyHMS; dmyHXS, whose X is no code and raises its
// banner in a worker; s, Unix seconds.
TEST(IdentityTest, BlocksOfAnySizeDrawTheSameChartAsOneReading) {
  ScopedTz tz("Europe/London");
  std::string log = generated_log(3000, 5, 1698537600);  // through the hour that occurs twice
  std::vector<std::pair<std::string, std::string>> cases = {
      {"generated log", log},
      {"a time that cannot be read, late",
       std::string(log).insert(log.find('\n', 60000) + 1, "12/05/99 10:30\n")},
  };
  for (const auto& file : std::filesystem::directory_iterator(TRENDLE_TEST_DIR "/blocks"))
    cases.emplace_back(file.path().filename(), read_file(file.path()));
  for (const auto& [what, csv] : cases) {
    for (const char* tform : {"dmyHMS", "dmyHXS", "s"}) {
      std::string whole = chart(csv, {"400", "200", tform}, 1LL << 40);
      ASSERT_FALSE(whole.empty()) << what;
      for (long long block : {1, 7, 100, 4096}) {
        EXPECT_TRUE(chart(csv, {"400", "200", tform}, block) == whole)
            << what << ", " << tform << ", blocks of " << block << " bytes";
      }
    }
  }
  // Records crowding each column, in bands cut by --min and --max (two series
  // cut, two left out): a column's steps, painted at once, are cut alike.
  std::string crowded = generated_log(20000, 5, 1698537600);
  const std::vector<std::string> clip = {"-p", "--min=-30", "--max=25"};
  std::string whole = chart(crowded, {"400", "200"}, 1LL << 40, clip);
  for (long long block : {4096, 100000}) {
    EXPECT_TRUE(chart(crowded, {"400", "200"}, block, clip) == whole)
        << "-p --min --max, blocks of " << block << " bytes";
  }
}

// --sort sorts in runs of any size, merged in one round or several, read
// from blocks of any size, to what one run sorts: the records of a shuffled
// log with three at each time, each with values of its own; and of a log in
// order but for two neighbours, out of order inside a block.
TEST(IdentityTest, SortRunsOfAnySizeDrawTheSameChartAsOneRun) {
  std::string shuffled = "# shuffled\n", swapped;
  for (int i = 0; i < 3000; ++i) {
    int at = i * 1031 % 3000 / 3;  // each second thrice, far apart in the file
    int near = i == 150 ? 151 : i == 151 ? 150 : i;
    char line[64];
    snprintf(line, sizeof line, "12/05/99 %02d:%02d:%02d,%d,%s\n", 10 + at / 3600, at / 60 % 60,
             at % 60, i % 97, i % 5 ? "" : "7");
    shuffled += line;
    snprintf(line, sizeof line, "12/05/99 10:%02d:%02d,%d\n", near / 60, near % 60, i % 89);
    if (i < 300) swapped += line;  // a second 1.3 pixels wide
  }
  long long usual = sort_run_bytes();
  const std::vector<std::string> sort = {"--sort"};
  for (const std::string& log : {shuffled, swapped}) {
    std::string whole = chart(log, {"400", "200"}, 1LL << 40, sort);
    ASSERT_FALSE(whole.empty());
    for (long long run : {1LL, 100LL, 5000LL}) {
      for (long long block : {100LL, 4096LL, 1LL << 40}) {
        set_sort_run_bytes(run);
        bool same = chart(log, {"400", "200"}, block, sort) == whole;
        set_sort_run_bytes(usual);
        EXPECT_TRUE(same) << log.substr(0, 12) << ", runs of " << run << " bytes, blocks of "
                          << block << " bytes";
      }
    }
  }
}

}  // namespace
