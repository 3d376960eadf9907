// Converts broken-down local times to seconds since the epoch as mktime does
// (tm_isdst -1), but calling mktime only about once per local hour: inside an
// hour with one UTC offset throughout, a time is the hour's first instant
// plus its minutes and seconds. mktime re-reads the zone on every call, which
// costs far more than the conversion. The hours of some 24 weeks are kept at
// once, so that a log out of time order (a shuffled export sorted with
// --sort) costs what one in order does. A reading that occurs twice at a
// fall-back change is taken at its first instant, whatever was converted
// before, so that the result never depends on the order of conversions.
#ifndef TRENDLE_INPUT_TIME_CACHE_H_
#define TRENDLE_INPUT_TIME_CACHE_H_

#include <ctime>
#include <string>
#include <vector>

class TimeCache {
 public:
  // mktime(tm)'s result, or the first instant of a reading that occurs
  // twice. Fields that mktime would normalise (second 75, day 0, month 12),
  // a tm_isdst of 0 or more, and hours where the offset changes go to mktime
  // itself; `tm` is left as it was on the cached path.
  time_t seconds(struct tm* tm);

  // timegm(tm)'s result, by the same cache: inside an hour without a leap
  // second, a time is the hour's first instant plus its minutes and seconds.
  // One cache serves either this or seconds(), not both.
  time_t utc_seconds(struct tm* tm);

 private:
  // An hour known to keep one offset: its fields and its first instant.
  struct Hour {
    bool known = false;
    int year = 0, mon = 0, mday = 0, hour = 0;
    long long start = 0;
  };
  static constexpr int kHours = 4096;  // consecutive hours have slots of their own
  static int slot_of(const struct tm& tm);

  const Hour* find(const struct tm& tm);
  bool same_zone() const;
  // The time of tm inside an hour kept, with TZ unchanged.
  bool cached(const struct tm& tm, time_t& t);
  void learn(const struct tm& tm, long long clock, long long offset);
  void keep(const struct tm& tm, long long start);

  std::vector<Hour> hours_;  // by slot_of; made at the first hour kept
  int last_ = 0;             // the slot of the hour found last

  // Where TZ stood in the environment when the hours were learnt.
  char** env_ = nullptr;
  long tz_slot_ = -1;           // index of the TZ entry; -1 when TZ was unset
  const char* mark_ = nullptr;  // that entry, or the last entry when unset
  long count_ = 0;              // entries in the environment
  std::string tz_;              // the value of TZ
};

// TimeCache::seconds and utc_seconds with caches of their own per thread,
// for the record reader.
time_t local_seconds(struct tm* tm);
time_t utc_seconds(struct tm* tm);

#endif  // TRENDLE_INPUT_TIME_CACHE_H_
