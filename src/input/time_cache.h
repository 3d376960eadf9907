// Converts broken-down local times to seconds since the epoch as mktime does
// (tm_isdst -1), but calling mktime only about once per local hour: inside an
// hour with one UTC offset throughout, a time is the hour's first instant
// plus its minutes and seconds. mktime re-reads the zone on every call, which
// costs far more than the conversion. A reading that occurs twice at a
// fall-back change is taken at its first instant, whatever was converted
// before, so that the result never depends on the order of conversions.
#ifndef TRENDLE_INPUT_TIME_CACHE_H_
#define TRENDLE_INPUT_TIME_CACHE_H_

#include <ctime>
#include <string>

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
  bool same_hour(const struct tm& tm) const;
  bool same_zone() const;
  // The time of tm inside the hour kept, with TZ unchanged.
  bool cached(const struct tm& tm, time_t& t) const;
  void learn(const struct tm& tm, long long clock, long long offset);
  void keep(const struct tm& tm, long long start);

  // The hour known to keep one offset: its fields and its first instant.
  bool known_ = false;
  int year_ = 0, mon_ = 0, mday_ = 0, hour_ = 0;
  long long start_ = 0;

  // Where TZ stood in the environment when the hour was learnt.
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
