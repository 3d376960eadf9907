#include "input/time_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <vector>

#include "test_util.h"

namespace {

// The last one changes offset in the middle of a clock hour, by odd amounts.
const char* const kZones[] = {"Europe/London",
                              "America/New_York",
                              "Australia/Lord_Howe",
                              "Asia/Kathmandu",
                              "UTC",
                              "XST-3:17XDT-4:02,M3.5.0/1:40,M10.5.0/2:20"};

struct tm clock_of(long long year, int mon, int mday, int hour, int min, int sec) {
  struct tm t = {};
  t.tm_year = static_cast<int>(year - 1900);
  t.tm_mon = mon;
  t.tm_mday = mday;
  t.tm_hour = hour;
  t.tm_min = min;
  t.tm_sec = sec;
  t.tm_isdst = -1;
  return t;
}

bool same_reading(time_t a, time_t b) {
  struct tm ra, rb;
  localtime_r(&a, &ra);
  localtime_r(&b, &rb);
  return ra.tm_year == rb.tm_year && ra.tm_mon == rb.tm_mon && ra.tm_mday == rb.tm_mday &&
         ra.tm_hour == rb.tm_hour && ra.tm_min == rb.tm_min && ra.tm_sec == rb.tm_sec;
}

// Converts each time with the cache and with mktime. They must agree, except
// that where a reading occurs twice the cache gives the first instant and
// mktime either one.
int count_differences(TimeCache& cache, const std::vector<struct tm>& times, const char* what) {
  int differ = 0;
  for (const struct tm& t : times) {
    struct tm a = t, b = t;
    time_t want = mktime(&a), got = cache.seconds(&b);
    if (got == want || (got < want && same_reading(got, want))) continue;
    if (++differ <= 5)
      ADD_FAILURE() << what << ": " << std::put_time(&t, "%Y-%m-%d %H:%M:%S") << " gave " << got
                    << ", mktime " << want;
  }
  return differ;
}

// A log's clock read as local time, from three hours before each change of
// the zone's offset (1970 to 2037) to three hours after, as a log walks it.
std::vector<struct tm> log_clocks() {
  std::vector<struct tm> times;
  struct tm prev, cur;
  time_t t = 0;
  localtime_r(&t, &prev);
  for (t = 3600; t < 2145916800; t += 3600, prev = cur) {
    localtime_r(&t, &cur);
    if (cur.tm_gmtoff == prev.tm_gmtoff) continue;
    for (time_t s = t - 3 * 3600; s <= t + 3 * 3600; s += 37) {
      struct tm local, clock;
      localtime_r(&s, &local);
      time_t reading = s + local.tm_gmtoff;
      gmtime_r(&reading, &clock);
      clock.tm_isdst = -1;
      times.push_back(clock);
    }
  }
  return times;
}

// Random clocks, now and then with fields that mktime normalises (second 75,
// day 0, month 13 as written...), each followed by a few seconds of a log.
void add_random_clocks(std::vector<struct tm>& times, Random& r) {
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
  for (const struct tm& t : {clock_of(2023, 1, 29, 0, 0, 0), clock_of(2024, 1, 29, 0, 0, 0),
                             clock_of(12000, 0, 1, 0, 0, 0)})
    times.push_back(t);
}

TEST(TimeCacheTest, SameAsMktimeInEveryZone) {
  Random r(12345);
  for (const char* zone : kZones) {
    ScopedTz tz(zone);
    TimeCache cache;
    std::vector<struct tm> times = log_clocks();
    add_random_clocks(times, r);
    EXPECT_EQ(count_differences(cache, times, zone), 0);
  }
}

// The first instant with the reading of `t`, searched minute by minute.
time_t first_by_search(const struct tm& t) {
  struct tm copy = t;
  time_t any = mktime(&copy);
  for (time_t s = any - 16 * 3600; s <= any; s += 60) {
    if (same_reading(s, any)) return s;
  }
  return any;
}

TEST(TimeCacheTest, TwiceOccurringReadingsTakeTheirFirstInstant) {
  // A reading, then another in the same hour, converted after mktime last
  // returned a summer time and after a winter time: neither may depend on it.
  struct Case {
    const char* zone;
    struct tm reading, then;
  };
  const Case kCases[] = {
      {"Europe/London", clock_of(2023, 9, 29, 1, 10, 0), clock_of(2023, 9, 29, 1, 11, 0)},
      {"America/New_York", clock_of(2023, 10, 5, 1, 59, 59), clock_of(2023, 10, 5, 1, 0, 0)},
      {"Australia/Lord_Howe", clock_of(2023, 3, 2, 1, 45, 0), clock_of(2023, 3, 2, 1, 10, 0)},
      {kZones[5], clock_of(2023, 9, 29, 1, 50, 0), clock_of(2023, 9, 29, 1, 40, 0)},
      // Here 02:00 to 02:19 occur twice and 02:30 once: learning the hour from
      // 02:30 must not give 02:05 its second instant.
      {kZones[5], clock_of(2023, 9, 29, 2, 30, 0), clock_of(2023, 9, 29, 2, 5, 0)},
      // Fields mktime normalises into the hour: minute 70 of midnight.
      {"Europe/London", clock_of(2023, 9, 29, 0, 70, 0), clock_of(2023, 9, 29, 1, 20, 0)},
  };
  for (const Case& c : kCases) {
    ScopedTz tz(c.zone);
    for (struct tm before : {clock_of(2023, 6, 1, 12, 0, 0), clock_of(2023, 0, 1, 12, 0, 0)}) {
      TimeCache cache;
      struct tm r = c.reading, t = c.then;
      mktime(&before);
      EXPECT_EQ(cache.seconds(&r), first_by_search(c.reading)) << c.zone;
      EXPECT_EQ(cache.seconds(&t), first_by_search(c.then)) << c.zone;
    }
  }
}

TEST(TimeCacheTest, FollowsEveryWayOfChangingTz) {
  // The machine's own zone (TZ unset) is compared with zones that are an
  // hour or more from UTC in July, in case the machine runs on UTC.
  static char in_place[] = "TZ=America/New_York";
  struct Step {
    const char* what;
    void (*change)();
  };
  const Step kSteps[] = {
      {"unset", [] { unsetenv("TZ"); }},
      {"set", [] { setenv("TZ", "Europe/London", 1); }},
      {"changed", [] { setenv("TZ", "Asia/Kathmandu", 1); }},
      {"unset again",
       [] {
         unsetenv("TZ");
         setenv("TRENDLE_TEST_OTHER", "1", 1);
       }},
      // The environment is one entry shorter, then TZ takes the freed place.
      {"set after another variable went",
       [] {
         unsetenv("TRENDLE_TEST_OTHER");
         setenv("TZ", "Australia/Lord_Howe", 1);
       }},
      {"put", [] { putenv(in_place); }},
      {"put string rewritten", [] { memcpy(in_place + 3, "Europe/Lisbon", 14); }},
      {"set over the put string", [] { setenv("TZ", "America/New_York", 1); }},
  };
  ScopedTz restore("UTC");
  TimeCache cache;
  std::vector<struct tm> hour;
  for (int s = 0; s < 120; s += 7) hour.push_back(clock_of(2023, 6, 1, 12, s / 60, s % 60));
  for (const Step& step : kSteps) {
    step.change();
    EXPECT_EQ(count_differences(cache, hour, step.what), 0);
  }
}

}  // namespace
