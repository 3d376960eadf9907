#include "record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fatal.h"
#include "line_reader.h"
#include "run_state.h"
#include "test_util.h"

namespace {

constexpr time_t kOldTime = 12345;
constexpr float kOldValue = 100.0f;  // plus the column index
constexpr int kOldFlag = 7;

// A sample buffer that starts full of marks, so that every write shows.
struct Buffer {
  float values[kMaxSeries];
  int flags[kMaxSeries];
  time_t time = kOldTime;
  int columns = -1;
  Buffer() {
    for (int n = 0; n < kMaxSeries; ++n) {
      values[n] = kOldValue + n;
      flags[n] = kOldFlag;
    }
  }
  bool untouched() const {
    for (int n = 0; n < kMaxSeries; ++n) {
      if (values[n] != kOldValue + n || flags[n] != kOldFlag) return false;
    }
    return time == kOldTime;
  }
};

// parse_record on a writable copy of `line`, which may hold NUL bytes.
int parse(const std::string& line, Buffer& b, const char* tform = "dmyHMS", int line_number = 1) {
  // Sized exactly, NUL included: no spare capacity to hide an overrun.
  std::vector<char> text(line.c_str(), line.c_str() + line.size() + 1);
  return parse_record(text.data(), b.values, b.flags, line_number, &b.time, tform, &b.columns);
}

std::string fatal_message(const std::string& line, int line_number, const char* tform = "dmyHMS") {
  Buffer b;
  try {
    parse(line, b, tform, line_number);
  } catch (const Fatal& f) {
    EXPECT_TRUE(b.untouched()) << line;
    return f.what();
  }
  return "(no Fatal)";
}

bool same_bits(float a, float b) {
  return memcmp(&a, &b, sizeof a) == 0;
}

TEST(RecordTest, SkippedLinesChangeNothing) {
  ScopedTz tz("UTC");
  const char* lines[] = {"", " \t\v\f\r\n", " \t\r#12/05/99 10:30:00,1\n"};
  for (const char* line : lines) {
    Buffer b;
    EXPECT_EQ(parse(line, b), 1) << line;
    EXPECT_TRUE(b.untouched()) << line;
  }
}

TEST(RecordTest, UnreadableTimeFieldCarriesTheCounter) {
  EXPECT_EQ(fatal_message("12/05/99 10:30\n", 1), "Failed to read line 1.");
  EXPECT_EQ(fatal_message(",1,-2\n", 123456), "Failed to read line 123456.");
  // A bad letter is reported by the parser; the line message never follows it.
  EXPECT_EQ(fatal_message("12/05/99 10:30:00,1\n", 9, "dmyHqS"),
            "dmyHqS: 'q' is not a valid conversion code.");
}

// Columns of a good record: `present` gives (value, flag) of the columns the
// line has; every other column keeps its value with flag 0.
struct RecordCase {
  std::string line;
  time_t time;  // seconds in UTC
  std::vector<std::pair<float, int>> present;
};

TEST(RecordTest, GoodRecords) {
  ScopedTz tz("UTC");
  const RecordCase cases[] = {
      {"12/05/99 10:30:00,1.5,20\n", 926505000, {{1.5f, 1}, {20.0f, 1}}},
      {"12/05/99 10:30:00", 926505000, {}},
      {"12/05/99 10:30:00,1,", 926505000, {{1.0f, 1}, {0.0f, 0}}},
      {"12/05/99 10:30:00,,abc, 7,8x,#5\n", 926505000, {{0, 0}, {0, 0}, {7, 1}, {8, 1}, {0, 0}}},
      {"12/05/99 10:30:00,1.5,\r\n", 926505000, {{1.5f, 1}, {0.0f, 0}}},
      {std::string("12/05/99 10:30:00,1\0,2,3\n", 25), 926505000, {{1.0f, 1}}},
      // Numbers strtod reads itself end where it says, before the next ','.
      {"12/05/99 10:30:00,0x1p3,-inf,1e400,abc 5,7\n",
       926505000,
       {{8, 1}, {-INFINITY, 1}, {INFINITY, 1}, {0, 0}, {7, 1}}},
      // Month correction: 12 is December, month 0 the December before.
      {"31/12/99 00:00:00,1\n", 946598400, {{1.0f, 1}}},
      {"1/0/99 00:00:00,1\n", 912470400, {{1.0f, 1}}},
      // Times past January 2038 stay whole.
      {"01/01/40 00:00:00,1\n", 2208988800, {{1.0f, 1}}},
  };
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.line);
    Buffer b;
    ASSERT_EQ(parse(c.line, b), 0);
    EXPECT_EQ(b.time, c.time);
    EXPECT_EQ(b.columns, static_cast<int>(c.present.size()));
    for (int n = 0; n < kMaxSeries; ++n) {
      bool has = n < static_cast<int>(c.present.size());
      float value = has ? c.present[n].first : kOldValue + n;
      EXPECT_TRUE(same_bits(b.values[n], value)) << "column " << n << ": " << b.values[n];
      EXPECT_EQ(b.flags[n], has ? c.present[n].second : 0) << "column " << n;
    }
  }
}

TEST(RecordTest, AtMost32Columns) {
  ScopedTz tz("UTC");
  std::string line = "12/05/99 10:30:00";
  for (int n = 1; n <= 40; ++n) line += "," + std::to_string(n);
  Buffer b;
  ASSERT_EQ(parse(line + "\n", b), 0);
  EXPECT_EQ(b.columns, kMaxSeries);
  for (int n = 0; n < kMaxSeries; ++n) {
    EXPECT_EQ(b.values[n], n + 1.0f);
    EXPECT_EQ(b.flags[n], 1);
  }
}

TEST(RecordTest, TimeIsLocalWithTheLibraryDecidingDaylightSaving) {
  struct TzCase {
    const char* tz;
    const char* tform;
    const char* line;
    time_t time;
  };
  const TzCase cases[] = {
      {"Europe/London", "dmYHMS", "28/03/2021 00:30:00,1\n", 1616891400},  // GMT
      {"Europe/London", "dmYHMS", "28/03/2021 03:00:00,1\n", 1616896800},  // BST
      {"Europe/London", "dmYHMS", "31/10/2021 12:00:00,1\n", 1635681600},  // GMT
      // Out-of-range members are normalised, not refused.
      {"UTC", "dmyHMS", "0/1/00 24:00:00,1\n", 946684800},
      // Without 'm' the month is December of the year before.
      {"UTC", "YdHMS", "1999/15 00:00:00,1\n", 913680000},
  };
  for (const TzCase& c : cases) {
    SCOPED_TRACE(std::string(c.tz) + " " + c.line);
    ScopedTz tz(c.tz);
    Buffer b;
    ASSERT_EQ(parse(c.line, b, c.tform), 0);
    EXPECT_EQ(b.time, c.time);
  }
}

// Value columns follow strtod, then round the double to float; the flag
// says whether strtod read anything.
TEST(RecordTest, GetValueFollowsStrtodRoundedToFloat) {
  struct ValueCase {
    const char* text;
    float value;
    int flag;
  };
  const float inf = INFINITY;
  const ValueCase cases[] = {{" \t\n\v\f\r-2.5e3,9", -2500.0f, 1},
                             {"8x", 8.0f, 1},
                             {"-0", -0.0f, 1},
                             {"1e39", inf, 1},
                             {"-NaN(123)x", NAN, 1},
                             {"", 0.0f, 0},
                             {"  ", 0.0f, 0},
                             {"-", 0.0f, 0},
                             {"#5", 0.0f, 0}};
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    Buffer b;
    get_value(c.text, 5, b.values, b.flags);
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(b.values[5])) << b.values[5];
    } else {
      EXPECT_TRUE(same_bits(b.values[5], c.value)) << b.values[5];
      EXPECT_TRUE(same_bits(b.values[5], static_cast<float>(strtod(c.text, nullptr))));
    }
    EXPECT_EQ(b.flags[5], c.flag);
    b.values[5] = kOldValue + 5;
    b.flags[5] = kOldFlag;
    EXPECT_TRUE(b.untouched()) << "only column 5 may change";
  }
}

TEST(RecordTest, ReadLineWalksTheInputWithTheCallersCounter) {
  ScopedTz tz("UTC");
  ScratchDir dir;
  std::string path = dir.write(
      "in.csv", "# log\nDate,Temp\n\n12/05/99 10:30:00,1.5\n12/05/99 10:30:01,2.5\n12/05/99 10:30");
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  LineReader reader(f, path.c_str());
  Buffer b;
  auto read = [&](int line_number) {
    return read_line(reader, b.values, b.flags, line_number, &b.time, "dmyHMS");
  };
  int results[5];
  for (int& r : results) r = read(1);
  EXPECT_EQ(std::vector<int>(results, results + 5), std::vector<int>({1, 1, 1, 0, 0}));
  EXPECT_EQ(b.time, 926505001);
  EXPECT_EQ(b.values[0], 2.5f);
  try {
    read(3);
    ADD_FAILURE() << "no Fatal for the last line";
  } catch (const Fatal& e) {
    EXPECT_STREQ(e.what(), "Failed to read line 3.");
  }
  EXPECT_EQ(read(3), 2);
  EXPECT_EQ(read(3), 2);
  fclose(f);
}

}  // namespace
