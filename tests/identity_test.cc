// The charts of the benchmark logs, byte for byte as the plain one-mktime-
// and-strtod-per-record build drew them: no speed-up may change an output
// byte. Nor may sharing a pass out in blocks, whatever their size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "input/blocks.h"
#include "log_gen.h"
#include "test_util.h"

namespace {

std::string generated_log(long long rows, int series, long long start) {
  LogShape shape;
  shape.rows = rows;
  shape.series = series;
  shape.start = start;  // the text clock, UTC seconds
  char* text = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&text, &size);
  EXPECT_TRUE(write_log(shape, f));
  fclose(f);
  std::string log(text, size);
  free(text);
  return log;
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

std::string sha256(const std::string& bytes) {
  ScratchDir dir;
  FILE* p = popen(("sha256sum " + dir.write("file", bytes)).c_str(), "r");
  char hex[64];
  size_t n = fread(hex, 1, sizeof hex, p);
  pclose(p);
  return std::string(hex, n);
}

TEST(IdentityTest, BenchmarkChartsAreByteIdentical) {
  struct Case {
    const char* name;
    long long rows;
    int series;
    long long start;
    const char* tz;
    const char* png_sha256;
  };
  const Case kCases[] = {
      {"4 series, 2.3 days", 200000, 4, 1672531200, "America/New_York",
       "6e6bc268ea6f1a64954a596a49222c35534483260e08242fd162c542b5721b77"},
      {"32 series", 30000, 32, 1672531200, "Asia/Kathmandu",
       "cb2abec86e90e3b423c41458d69063c0e125395fafb6aa3eecb5a43aedda6139"},
      // The text clock runs through the hour that does not exist...
      {"spring forward", 30000, 4, 1679788800, "Europe/London",
       "fda5d36c3b0c6c15003d3a928348365e0f15fa9f4aa3e9244a14afd65ba11126"},
      // ... and through the hour that occurs twice.
      {"fall back", 30000, 3, 1698537600, "Europe/London",
       "053215eaa2a4e57fb7816b81cc85884f3bb1cff9399b88b5b3e7532c7185f075"},
  };
  for (const Case& c : kCases) {
    ScopedTz tz(c.tz);
    std::string png =
        chart(generated_log(c.rows, c.series, c.start), {"1600", "900"}, block_bytes());
    EXPECT_EQ(sha256(png), c.png_sha256) << c.name;
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

// Every file under tests/blocks/ is a case too, each named after what it holds.
TEST(IdentityTest, BlocksOfAnySizeDrawTheSameChartAsOneReading) {
  ScopedTz tz("Europe/London");
  std::string generated = generated_log(3000, 5, 1698537600);  // through the hour that occurs twice
  size_t cut = generated.find('\n', 60000) + 1;
  std::vector<std::pair<std::string, std::string>> cases = {
      {"generated log", generated},
      {"many records to a column", dense_log()},
      {"a time field that cannot be read, late in the file",
       generated.substr(0, cut) + "12/05/99 10:30\n" + generated.substr(cut)},
  };
  for (const auto& file : std::filesystem::directory_iterator(TRENDLE_TEST_DIR "/blocks"))
    cases.emplace_back(file.path().filename(), read_file(file.path()));
  for (const auto& [what, csv] : cases) {
    // The second tform's letter that is no code raises its banner in a worker.
    for (const char* tform : {"dmyHMS", "dmyHXS"}) {
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
