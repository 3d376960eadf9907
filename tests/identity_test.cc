// The charts of the benchmark logs, byte for byte as the plain one-mktime-
// and-strtod-per-record build drew them: no speed-up may change an output byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "block_pool.h"
#include "log_gen.h"
#include "test_util.h"

namespace {

// The SHA-256 of a file, as sha256sum prints it.
std::string sha256(const std::string& path) {
  std::string cmd = "sha256sum '" + path + "'";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  char hex[65] = {};
  size_t n = fread(hex, 1, 64, p);
  pclose(p);
  return std::string(hex, n);
}

struct Case {
  const char* name;
  long long rows;
  int series;
  long long start;  // the text clock, UTC seconds
  const char* tz;
  const char* png_sha256;
};

TEST(IdentityTest, BenchmarkChartsAreByteIdentical) {
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
    ScratchDir dir;
    std::string in = dir.path("log.csv"), out = dir.path("chart.png");
    LogShape shape;
    shape.rows = c.rows;
    shape.series = c.series;
    shape.start = c.start;
    FILE* f = fopen(in.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(write_log(shape, f));
    fclose(f);
    ScopedTz tz(c.tz);
    RunResult r = run_tool({in, out, "1600", "900"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(sha256(out), c.png_sha256) << c.name;
  }
}

}  // namespace

namespace {

// The PNG a run writes for `csv` (its banner, if any, included) when the
// passes share the file out in blocks of `block` bytes.
std::string chart_bytes(const ScratchDir& dir, const std::string& csv, long long block,
                        const char* tform) {
  std::string in = dir.write("in.csv", csv), out = dir.path("out.png");
  long long saved = block_bytes();
  set_block_bytes(block);
  RunResult r = run_tool({in, out, "400", "200", tform});
  set_block_bytes(saved);
  EXPECT_EQ(r.status, 0);
  return read_file(out);
}

TEST(IdentityTest, BlocksOfAnySizeDrawTheSameChartAsOneReading) {
  ScopedTz tz("Europe/London");
  std::string generated;
  {
    ScratchDir dir;
    LogShape shape;
    shape.rows = 3000;
    shape.series = 5;
    shape.start = 1698537600;  // through the hour that occurs twice
    std::string path = dir.path("gen.csv");
    FILE* f = fopen(path.c_str(), "wb");
    write_log(shape, f);
    fclose(f);
    generated = read_file(path);
  }
  size_t cut = generated.find('\n', 60000) + 1;
  // Forty records to a column: two series that cross, one with gaps, one
  // that jumps about; a NaN and a time before 1970 among them.
  std::string dense;
  for (int k = 0; k < 4000; ++k) {
    char line[128];
    int t = k / 4, s = t % 60, m = t / 60;
    snprintf(line, sizeof line, "12/05/99 10:%02d:%02d,%.3f,%.3f,%s,%d\n", m, s,
             50 + 40 * sin(k / 300.0), 50 + 40 * cos(k / 250.0), k % 37 ? "10" : "",
             80 + k * 7919 % 13);
    dense += k == 1500   ? "31/12/69 23:59:59,1,2,3,4\n"
             : k == 2500 ? "12/05/99 10:41:40,nan\n"
                         : line;
  }
  std::string long_line = "12/05/99 10:40:00," + std::string(900, '7') + ",3\n";
  struct Case {
    const char* what;
    std::string csv;
    const char* tform;
  };
  const Case kCases[] = {
      {"generated log", generated, "dmyHMS"},
      {"many records to a column", dense, "dmyHMS"},
      {"skipped lines of every kind",
       "# head\n\ntime,a,b\n12/05/99 10:30:00,1,2\r\n  # note 12/05/99\n12/05/99 10:31:00,,3\n"
       "12/05/99 10:32:00,x,4\n12/05/99 10:33:00,5",
       "dmyHMS"},
      {"lines longer than a block",
       "12/05/99 10:30:00,1,2\n" + long_line + long_line + "12/05/99 10:50:00,2,1\n", "dmyHMS"},
      {"NUL bytes, infinities, NaN, 40 columns",
       std::string("12/05/99 10:30:00,1,\0 9\n", 24) +
           "12/05/99 10:31:00,inf,-inf,nan,1e39\n12/05/99 10:32:00,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2"
           ",2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2\n",
       "dmyHMS"},
      {"times at 0, before 1970 and out of order",
       "01/01/70 01:00:00,1\n31/12/69 23:00:00,2\n01/01/70 03:00:00,3\n01/01/70 02:00:00,4\n"
       "01/01/70 05:00:00,5\n",
       "dmyHMS"},
      {"a time field that cannot be read, late in the file",
       generated.substr(0, cut) + "12/05/99 10:30\n" + generated.substr(cut), "dmyHMS"},
      // -0 and 0 compare equal: the first one met stays the range's end.
      {"zeros of both signs at the top",
       "12/05/99 10:30:00,-0\n12/05/99 10:31:00,-5\n12/05/99 10:32:00,0\n", "dmyHMS"},
      {"zeros of both signs at the bottom",
       "12/05/99 10:30:00,0\n12/05/99 10:31:00,5\n12/05/99 10:32:00,-0\n", "dmyHMS"},
      {"a format letter that is no code", "12/05/99 10:30:00,1\n12/05/99 10:31:00,2\n", "dmyHXS"},
      {"no record at all", "# only\n# comments\n\n", "dmyHMS"},
  };
  for (const Case& c : kCases) {
    ScratchDir dir;
    std::string whole = chart_bytes(dir, c.csv, 1LL << 40, c.tform);
    ASSERT_FALSE(whole.empty()) << c.what;
    for (long long block : {1, 7, 100, 4096}) {
      EXPECT_TRUE(chart_bytes(dir, c.csv, block, c.tform) == whole)
          << c.what << ", blocks of " << block << " bytes";
    }
  }
}

}  // namespace
