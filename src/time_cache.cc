#include "time_cache.h"

#include <cstdlib>

namespace {

constexpr long long kNoHour = LLONG_MIN;

bool is_leap(long long year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int month_days(long long year, int mon) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return mon == 1 && is_leap(year) ? 29 : kDays[mon];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long days_from_civil(long long year, int month, int day) {
  year -= month <= 2;
  long long era = (year >= 0 ? year : year - 399) / 400;
  long long yoe = year - era * 400;
  long long doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

long long floor_div(long long a, long long b) {
  return a / b - (a % b < 0);
}

// Fields mktime takes as they are, in years far from any overflow.
bool plain(const struct tm& t) {
  return t.tm_isdst < 0 && t.tm_sec >= 0 && t.tm_sec <= 59 && t.tm_min >= 0 && t.tm_min <= 59 &&
         t.tm_hour >= 0 && t.tm_hour <= 23 && t.tm_mon >= 0 && t.tm_mon <= 11 &&
         t.tm_year >= -1000 && t.tm_year <= 10000 && t.tm_mday >= 1 &&
         t.tm_mday <= month_days(t.tm_year + 1900LL, t.tm_mon);
}

// The zone's offset at instant t; an impossible value when unknown.
long long offset_at(long long t) {
  time_t tt = static_cast<time_t>(t);
  struct tm tm;
  return localtime_r(&tt, &tm) ? tm.tm_gmtoff : kNoHour;
}

}  // namespace

bool TimeCache::same_zone() const {
  const char* tz = getenv("TZ");
  return tz ? tz_set_ && tz_ == tz : !tz_set_;
}

// Keeps `hour` when every instant of it has `offset`. Then each of its clock
// readings has that instant, and mktime, which starts from the offset of its
// previous result, would return it even where the reading also occurs in
// another offset at a fall-back change.
void TimeCache::learn(long long hour, long long offset) {
  long long first = hour * 3600 - offset;
  hour_ = kNoHour;
  if (offset_at(first) != offset || offset_at(first + 3599) != offset) return;
  hour_ = hour;
  offset_ = offset;
  const char* tz = getenv("TZ");
  tz_set_ = tz != nullptr;
  tz_ = tz ? tz : "";
}

time_t TimeCache::seconds(struct tm* tm) {
  if (!plain(*tm)) {
    hour_ = kNoHour;  // mktime's next guess now starts from another offset
    return mktime(tm);
  }
  long long clock = days_from_civil(tm->tm_year + 1900LL, tm->tm_mon + 1, tm->tm_mday) * 86400 +
                    tm->tm_hour * 3600 + tm->tm_min * 60 + tm->tm_sec;
  long long hour = floor_div(clock, 3600);
  if (hour == hour_ && same_zone()) return static_cast<time_t>(clock - offset_);
  time_t t = mktime(tm);
  learn(hour, clock - t);
  return t;
}
