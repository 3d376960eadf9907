// The charts of the benchmark logs, byte for byte as the plain one-mktime-
// and-strtod-per-record build drew them: no speed-up may change an output byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
    LogSpec spec;
    spec.rows = c.rows;
    spec.series = c.series;
    spec.start = c.start;
    FILE* f = fopen(in.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(write_log(spec, f));
    fclose(f);
    ScopedTz tz(c.tz);
    RunResult r = run_tool({in, out, "1600", "900"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(sha256(out), c.png_sha256) << c.name;
  }
}

}  // namespace
