#include "input/time_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <vector>

#include "test_util.h"

namespace {

// Changes offset in the middle of a clock hour, by odd amounts.
const char kOddZone[] = "XST-3:17XDT-4:02,M3.5.0/1:40,M10.5.0/2:20";

struct tm clock_of(int year, int mon, int mday, int hour, int min, int sec) {
  struct tm t = {};
  t.tm_year = year - 1900, t.tm_mon = mon, t.tm_mday = mday, t.tm_isdst = -1;
  t.tm_hour = hour, t.tm_min = min, t.tm_sec = sec;
  return t;
}

// What the local clock reads at instant t, in seconds.
long long reading(time_t t) {
  struct tm local;
  localtime_r(&t, &local);
  return t + local.tm_gmtoff;
}

// Converts each time with the cache and with mktime. They must agree, except
// that where a reading occurs twice the cache gives the first instant and
// mktime either one.
void expect_mktime(TimeCache& cache, const std::vector<struct tm>& times, const char* what) {
  int differ = 0;
  for (const struct tm& t : times) {
    struct tm a = t, b = t;
    time_t want = mktime(&a), got = cache.seconds(&b);
    if ((got == want || (got < want && reading(got) == reading(want))) || ++differ > 5) continue;
    ADD_FAILURE() << what << ": " << std::put_time(&t, "%Y-%m-%d %H:%M:%S") << " gave " << got
                  << ", mktime " << want;
  }
}

// The hour of July; a log's clock read as local time from three hours before
// each change of the zone's offset (1970 to 2037) to three hours after;
// random clocks, now and then with fields mktime normalises (second 75, day
// 0, month 13 as written...), each followed by a few seconds of a log; the
// far future; the hour of July again.
std::vector<struct tm> clocks(Random& r, const std::vector<struct tm>& hour) {
  std::vector<struct tm> times = hour;
  for (time_t t = 3600; t < 2145916800; t += 3600) {
    if (reading(t) - t == reading(t - 3600) - (t - 3600)) continue;
    for (time_t s = t - 3 * 3600; s <= t + 3 * 3600; s += 37) {
      time_t clock = reading(s);
      times.push_back(*gmtime(&clock));
      times.back().tm_isdst = -1;
    }
  }
  for (int i = 0; i < 20000; ++i) {
    bool odd = r.below(8) == 0;
    times.push_back(clock_of(r.in(1900, 2099), odd ? r.in(-1, 13) : r.below(12),
                             odd ? r.below(33) : r.in(1, 28), odd ? r.below(26) : r.below(24),
                             odd ? r.in(-1, 60) : r.below(60), odd ? r.in(-2, 77) : r.below(60)));
    for (int k = r.below(4); k > 0; --k) {
      times.push_back(times.back());
      times.back().tm_sec = r.below(60);
    }
  }
  times.push_back(clock_of(12000, 0, 1, 0, 0, 0));
  times.insert(times.end(), hour.begin(), hour.end());
  return times;
}

TEST(TimeCacheTest, TwiceOccurringReadingsTakeTheirFirstInstant) {
  // A reading, then another in the same hour: the same instants whether
  // mktime last returned a summer or a winter time.
  const struct {
    const char* zone;
    struct tm reading, then;
  } kCases[] = {
      {"Europe/London", clock_of(2023, 9, 29, 1, 10, 0), clock_of(2023, 9, 29, 1, 11, 0)},
      {"America/New_York", clock_of(2023, 10, 5, 1, 59, 59), clock_of(2023, 10, 5, 1, 0, 0)},
      {"Australia/Lord_Howe", clock_of(2023, 3, 2, 1, 45, 0), clock_of(2023, 3, 2, 1, 10, 0)},
      {kOddZone, clock_of(2023, 9, 29, 1, 50, 0), clock_of(2023, 9, 29, 1, 40, 0)},
      // 02:00 to 02:19 occur twice and 02:30 once: an hour learnt from 02:30
      // must not give 02:05 its second instant.
      {kOddZone, clock_of(2023, 9, 29, 2, 30, 0), clock_of(2023, 9, 29, 2, 5, 0)},
      // Minute 70 of midnight, which mktime normalises into the hour.
      {"Europe/London", clock_of(2023, 9, 29, 0, 70, 0), clock_of(2023, 9, 29, 1, 20, 0)},
  };
  for (const auto& c : kCases) {
    ScopedTz tz(c.zone);
    for (struct tm before : {clock_of(2023, 6, 1, 12, 0, 0), clock_of(2023, 0, 1, 12, 0, 0)}) {
      TimeCache cache;
      for (struct tm t : {c.reading, c.then}) {
        struct tm copy = t;
        time_t any = mktime(&copy), first = any - 16 * 3600;
        while (reading(first) != reading(any)) first += 60;
        mktime(&before);
        EXPECT_EQ(cache.seconds(&t), first) << c.zone;
      }
    }
  }
}

// One cache through zones entered in every way TZ can change, each zone's
// clocks beginning and ending in the same hour, whose offset differs from
// the zone before's. TZ unset is the machine's own zone.
TEST(TimeCacheTest, SameAsMktimeInEveryZoneHoweverTzChanges) {
  static char in_place[64] = "TZ=Asia/Kathmandu";
  const struct {
    const char* what;
    void (*change)();
  } kZones[] = {
      {"unset", [] { unsetenv("TZ"); }},
      {"set to Europe/London", [] { setenv("TZ", "Europe/London", 1); }},
      {"changed to America/New_York", [] { setenv("TZ", "America/New_York", 1); }},
      {"unset again, another variable set",
       [] { unsetenv("TZ"), setenv("TRENDLE_TEST_OTHER", "1", 1); }},
      // The environment is one entry shorter, then TZ takes the freed place.
      {"set to Australia/Lord_Howe after another variable went",
       [] { unsetenv("TRENDLE_TEST_OTHER"), setenv("TZ", "Australia/Lord_Howe", 1); }},
      {"put as Asia/Kathmandu", [] { putenv(in_place); }},
      {"put string rewritten to the odd zone", [] { strcpy(in_place + 3, kOddZone); }},
      {"set to UTC over the put string", [] { setenv("TZ", "UTC", 1); }},
  };
  ScopedTz restore("UTC");
  std::vector<struct tm> hour;
  for (int s = 0; s < 120; s += 7) hour.push_back(clock_of(2023, 6, 1, 12, s / 60, s % 60));
  Random r(12345);
  TimeCache cache;
  for (const auto& zone : kZones) {
    zone.change();
    tzset();  // for localtime_r, which the clocks are made with
    expect_mktime(cache, clocks(r, hour), zone.what);
  }
}

}  // namespace
