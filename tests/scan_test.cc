#include "scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fatal.h"
#include "line_reader.h"
#include "test_util.h"

namespace {

// What one range scan over a log left behind.
struct Scanned {
  RunState st;
  std::string fatal;      // the banner text when the scan ended the run
  std::string next_line;  // the line read right after the scan
};

// Scans `csv` with times read in UTC (02/01/70 00:00:00 is 86400).
Scanned scan(const std::string& csv) {
  ScopedTz utc("UTC");
  ScratchDir dir;
  std::string path = dir.write("log.csv", csv);
  FILE* f = fopen(path.c_str(), "rb");
  Scanned s;
  set_up(s.st);
  {
    LineReader in(f, path.c_str());
    try {
      scan_file(s.st, in);
      const char* line = in.next();
      s.next_line = line ? line : "";
    } catch (const Fatal& e) {
      s.fatal = e.what();
    }
  }
  fclose(f);
  return s;
}

std::string active_series(const Range& r) {
  std::string on;
  for (int n = 0; n < kMaxSeries; ++n)
    if (r.active[n]) on += (on.empty() ? "" : " ") + std::to_string(n);
  return on;
}

struct ScanCase {
  const char* what;
  float min, max;
  time_t start, end;
  const char* active;  // the active series
  const char* csv;
};

TEST(ScanTest, RangeOfTheWholeLog) {
  const std::vector<ScanCase> cases = {
      {"one record", 5, 5, 86410, 86410, "0 1", "02/01/70 00:00:10,5,5\n"},
      {"series 3 often, series 7 once", -9, 3, 86401, 86403, "3 7",
       "02/01/70 00:00:01,,,,1\n02/01/70 00:00:02,,,,3\n02/01/70 00:00:03,,,,2,,,,-9\n"},
      {"value-less records set times", 7, 7, 86401, 86403, "0",
       "02/01/70 00:00:01,abc\n02/01/70 00:00:02,7\n02/01/70 00:00:03,x,y\n"},
      {"time 0 leaves the start unset", 1, 2, 86405, 86405, "0",
       "01/01/70 00:00:00,1\n02/01/70 00:00:05,2\n"},
      {"the end is the last record's", 1, 3, 86401, 86405, "0",
       "02/01/70 00:00:01,1\n02/01/70 09:00:00,2\n02/01/70 00:00:05,3\n"},
      {"non-finite values", 3, 3, 86401, 86402, "0 2 3 4",
       "02/01/70 00:00:01,inf,nan,1e39,-inf,3\n02/01/70 00:00:02,,NAN\n"},
      {"no valid value", FLT_MAX, -FLT_MAX, 86401, 86401, "", "02/01/70 00:00:01,a\n"},
      {"empty input", FLT_MAX, -FLT_MAX, 0, 0, "", ""},
  };
  for (const auto& c : cases) {
    Scanned s = scan(c.csv);
    const Range& r = s.st.range;
    ASSERT_EQ(s.fatal, "") << c.what;
    EXPECT_EQ(r.min, c.min) << c.what;
    EXPECT_EQ(r.max, c.max) << c.what;
    EXPECT_EQ(r.start_time, c.start) << c.what;
    EXPECT_EQ(r.end_time, c.end) << c.what;
    EXPECT_EQ(active_series(r), c.active) << c.what;
    EXPECT_EQ(r.num_active, std::count(r.active, r.active + kMaxSeries, 1)) << c.what;
    // The input is rewound for the plot pass.
    std::string csv = c.csv;
    EXPECT_EQ(s.next_line, csv.substr(0, csv.find('\n') + 1)) << c.what;
  }
}

TEST(ScanTest, ComparisonsAreStrict) {
  // -0 and 0 compare equal, so whichever comes first stays, sign included;
  // the min label would otherwise read "-0" for a log that never says so.
  Scanned plus_first = scan("02/01/70 00:00:01,0,-0\n");
  EXPECT_FALSE(std::signbit(plus_first.st.range.min));
  EXPECT_FALSE(std::signbit(plus_first.st.range.max));
  Scanned minus_first = scan("02/01/70 00:00:01,-0,0\n");
  EXPECT_TRUE(std::signbit(minus_first.st.range.min));
  EXPECT_TRUE(std::signbit(minus_first.st.range.max));
}

TEST(ScanTest, FailureShowsCountOfGoodRecords) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"# one\n# two\n02/01/70 00:00:01,1\n02/01/70 00:00:02,2\n02/01/70 00:00:03,3\n"
       "02/01/70 10:30\n",
       "Failed to read line 4."},
      {"\n02/01/70 00:00:01,1\ntime,a,b\n   # indented\n02/01/70 10:30\n",
       "Failed to read line 2."},
      {"02/01/70 00:00:01\n02/01/70 00:00:02,x\n,1,-2\n", "Failed to read line 3."},
  };
  for (const auto& [csv, message] : cases) EXPECT_EQ(scan(csv).fatal, message) << csv;
}

struct FixCase {
  const char* what;
  float min, max;
  time_t start, end;
  const char* fatal;  // "" when the run goes on
  float want_min = 0, want_max = 0;
  time_t want_start = 0, want_end = 0;
};

TEST(ScanTest, RangeFixUps) {
  const float big = 100000000.0f;
  const std::vector<FixCase> cases = {
      {"usable ranges stay", 0, 10, 100, 200, "", 0, 10, 100, 200},
      {"one value widens by 1 each way", 5, 5, 100, 200, "", 4, 6, 100, 200},
      {"2^24: only the lower bound moves", 16777216, 16777216, 1, 2, "", 16777215, 16777216, 1, 2},
      {"1e8: neither bound moves", big, big, 1, 2, "Strange y limits"},
      {"no value at all", FLT_MAX, -FLT_MAX, 1, 2, "Strange y limits"},
      {"one time widens by 1 s each way", 0, 1, 500, 500, "", 0, 1, 499, 501},
      {"no record at all keeps times 0", 0, 1, 0, 0, "", 0, 1, -1, 1},
      {"last record before the first", 0, 1, 500, 400, "Strange time limits"},
      {"the value range is judged first", 7, 7 - 1e-6f, 500, 400, "Strange y limits"},
  };
  for (const auto& c : cases) {
    Range r{c.min, c.max, c.start, c.end};
    std::string fatal;
    try {
      fix_ranges(r);
    } catch (const Fatal& e) {
      fatal = e.what();
    }
    EXPECT_EQ(fatal, c.fatal) << c.what;
    if (*c.fatal) continue;
    EXPECT_EQ(r.min, c.want_min) << c.what;
    EXPECT_EQ(r.max, c.want_max) << c.what;
    EXPECT_EQ(r.start_time, c.want_start) << c.what;
    EXPECT_EQ(r.end_time, c.want_end) << c.what;
  }
}

}  // namespace
