#include "input/time_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iomanip>
#include <sstream>

#include "test_util.h"

// Changes offset in the middle of a clock hour, by odd amounts.
static const char kOddZone[] = "XST-3:17XDT-4:02,M3.5.0/1:40,M10.5.0/2:20";

// Reads a clock written 2023-10-29 00:70:00, each field as written.
static struct tm read_clock(std::istream& in) {
  struct tm t = {};
  for (int* field : {&t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min, &t.tm_sec})
    in >> *field, in.ignore();  // and the one character after it
  t.tm_year -= 1900, t.tm_mon -= 1, t.tm_isdst = -1;
  return t;
}

// What the local clock reads at instant t, in seconds.
static long long reading(time_t t) {
  struct tm local;
  localtime_r(&t, &local);
  return t + local.tm_gmtoff;
}

// The first instant of t's reading: offsets change by less than three hours,
// and never twice in three hours.
static time_t first_instant(time_t t) {
  time_t before = t - 3 * 3600, earlier = reading(t) - (reading(before) - before);
  return earlier < t && reading(earlier) == reading(t) ? earlier : t;
}

// A zone's clocks: July noon first and last; its twice_readings.txt cases, after a summer
// and after a winter time; a log's clock around each change of offset, 1970 to 2037; random
// clocks, some with fields mktime normalises, each with a second of its minute; year 12000.
static std::vector<struct tm> clocks(Random& r) {
  std::istringstream fixed(
      "2023-07-01 12:00:00  2023-01-01 12:00:00  12000-01-01 00:00:00  2016-12-31 23:30:00 "
      " 2016-12-31 23:59:60  2016-12-31 23:59:59  2017-01-01 00:00:00");
  const struct tm july = read_clock(fixed), january = read_clock(fixed), far = read_clock(fixed);
  std::vector<struct tm> times = {july};
  // A leap second's hour, in a zone that has them, its last seconds after the hour began.
  for (int i = 0; i < 4; ++i) times.push_back(read_clock(fixed));
  const char* tz = getenv("TZ");
  for (const std::string& line : data_lines("twice_readings.txt")) {
    if (!tz || !line.starts_with(std::string(tz) + ' ')) continue;
    std::istringstream in(line.substr(strlen(tz)));
    struct tm once = read_clock(in), then = read_clock(in);
    times.insert(times.end(), {july, once, then, january, once, then});
  }
  for (time_t t = 3600; t < 2145916800; t += 3600) {
    if (reading(t) - t == reading(t - 3600) - (t - 3600)) continue;
    for (time_t s = t - 3 * 3600; s <= t + 3 * 3600; s += 37) {
      time_t clock = reading(s);
      gmtime_r(&clock, &times.emplace_back())->tm_isdst = -1;
    }
  }
  for (int i = 0; i < 20000; ++i) {
    bool odd = r.below(8) == 0;
    struct tm t = july;
    t.tm_year = r.in(0, 199), t.tm_mon = odd ? r.in(-1, 13) : r.below(12);
    t.tm_mday = odd ? r.below(33) : r.in(1, 28), t.tm_hour = odd ? r.below(26) : r.below(24);
    t.tm_min = odd ? r.in(-1, 60) : r.below(60), t.tm_sec = odd ? r.in(-2, 77) : r.below(60);
    times.insert(times.end(), {t, t});
    times.back().tm_sec = r.below(60);
  }
  times.insert(times.end(), {far, july});
  return times;
}

// One cache through zones entered in every way TZ can change, each beginning in the hour
// the one before ended in, at another offset (unset: the machine's zone). The cache is
// asked before mktime, so that whatever instant mktime gave last does not matter. A cache
// of UTC times goes through the same, against timegm, which counts a right/ zone's leap
// seconds.
TEST(TimeCacheTest, SameAsMktimeAndTimegmInEveryZoneHoweverTzChanges) {
  static char in_place[64] = "TZ=Asia/Kathmandu";
  void (*const kChanges[])() = {
      [] { unsetenv("TZ"); },
      [] { setenv("TZ", "Europe/London", 1); },
      [] { setenv("TZ", "America/New_York", 1); },
      [] { unsetenv("TZ"), setenv("TRENDLE_X", "1", 1); },
      [] { unsetenv("TRENDLE_X"), setenv("TZ", "Australia/Lord_Howe", 1); },  // the freed place
      [] { putenv(in_place); },
      [] { strcpy(in_place + 3, kOddZone); },  // the put string rewritten
      [] { strcpy(in_place + 3, "EST"); },
      [] { strcpy(in_place + 3, "EST5EDT"); },  // longer, with the same start
      [] { setenv("TZ", "right/UTC", 1); },
      [] { setenv("TZ", "UTC", 1); },
  };
  ScopedTz restore("UTC");
  Random r(12345);
  TimeCache cache, utc;
  for (size_t zone = 0; zone < std::size(kChanges); ++zone) {
    kChanges[zone]();
    tzset();  // for localtime_r, which the clocks are made with
    for (const struct tm& t : clocks(r)) {
      struct tm a = t, b = t, c = t, d = t;
      time_t got = cache.seconds(&b), want = first_instant(mktime(&a));
      ASSERT_EQ(got, want) << "zone " << zone << ", " << std::put_time(&t, "%F %T");
      ASSERT_EQ(utc.utc_seconds(&c), timegm(&d))
          << "UTC, zone " << zone << ", " << std::put_time(&t, "%F %T");
    }
  }
}
