// Converts broken-down local times to seconds since the epoch, giving exactly
// what one mktime call per time gives (tm_isdst -1), but calling mktime only
// about once per local hour: inside an hour with one UTC offset throughout, a
// time is its clock reading less that offset. mktime re-reads the zone on
// every call, which costs far more than the conversion itself.
#ifndef TRENDLE_TIME_CACHE_H_
#define TRENDLE_TIME_CACHE_H_

#include <climits>
#include <ctime>
#include <string>

class TimeCache {
 public:
  // mktime(tm)'s result. Fields that mktime would normalise (second 75, day
  // 0, month 12), a tm_isdst of 0 or more, and hours where the offset changes
  // go to mktime itself; `tm` is left as it was on the cached path.
  time_t seconds(struct tm* tm);

 private:
  bool same_zone() const;
  void learn(long long hour, long long offset);

  long long hour_ = LLONG_MIN;  // the local hour known to keep offset_; none
  long long offset_ = 0;        // local clock minus UTC, in seconds
  bool tz_set_ = false;         // TZ as it was when hour_ was learnt
  std::string tz_;
};

#endif  // TRENDLE_TIME_CACHE_H_
