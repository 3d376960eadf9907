#include "input/time_cache.h"

#include <unistd.h>

#include <cstring>

namespace {

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

bool minute_and_second(const struct tm& t) {
  return t.tm_sec >= 0 && t.tm_sec <= 59 && t.tm_min >= 0 && t.tm_min <= 59;
}

// Fields mktime takes as they are, in years far from any overflow.
bool plain(const struct tm& t) {
  return t.tm_isdst < 0 && minute_and_second(t) && t.tm_hour >= 0 && t.tm_hour <= 23 &&
         t.tm_mon >= 0 && t.tm_mon <= 11 && t.tm_year >= -1000 && t.tm_year <= 10000 &&
         t.tm_mday >= 1 && t.tm_mday <= month_days(t.tm_year + 1900LL, t.tm_mon);
}

// How far the local clock reads ahead of instant t, in seconds; an
// impossible value when unknown, or during a leap second, which reads :60.
// Not tm_gmtoff: in a zone that counts leap seconds (right/), the clock is
// behind by those too.
long long offset_at(long long t) {
  time_t tt = static_cast<time_t>(t);
  struct tm tm;
  if (!localtime_r(&tt, &tm) || tm.tm_sec == 60) return 1LL << 40;
  return days_from_civil(tm.tm_year + 1900LL, tm.tm_mon + 1, tm.tm_mday) * 86400 +
         tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec - t;
}

// The first instant whose clock reading is `clock`, given an instant t that
// mktime found for it (or moved it to, when the reading falls in a gap).
// Where a reading occurs twice, the other instant has the offset in force a
// day before or after; mktime would pick by the offset of its last result.
long long first_instant(long long clock, long long t) {
  long long first = t;
  for (long long probe : {t - 86400, t + 86400}) {
    long long offset = offset_at(probe);
    if (clock - offset < first && offset_at(clock - offset) == offset) first = clock - offset;
  }
  return first;
}

}  // namespace

// Unsigned: the fields are not checked yet, and a far year would overflow.
int TimeCache::slot_of(const struct tm& t) {
  auto u = [](int field) { return static_cast<unsigned>(field); };
  unsigned hour = ((u(t.tm_year) * 12 + u(t.tm_mon)) * 31 + u(t.tm_mday)) * 24 + u(t.tm_hour);
  return static_cast<int>(hour & (kHours - 1));
}

// The hour kept that holds tm, the one found last tried first; null if none.
const TimeCache::Hour* TimeCache::find(const struct tm& t) {
  if (hours_.empty() || t.tm_isdst >= 0 || !minute_and_second(t)) return nullptr;
  auto holds = [&t](const Hour& h) {
    return h.known && t.tm_hour == h.hour && t.tm_mday == h.mday && t.tm_mon == h.mon &&
           t.tm_year == h.year;
  };
  if (holds(hours_[last_])) return &hours_[last_];
  int slot = slot_of(t);
  if (!holds(hours_[slot])) return nullptr;
  last_ = slot;
  return &hours_[slot];
}

// Whether TZ is still what it was when the hour was learnt, without getenv,
// whose scan of the environment costs more than the conversion. setenv,
// putenv and unsetenv replace, append or move entries, so a changed TZ shows
// as another entry in TZ's slot or behind the last entry; the value is
// compared too, for a putenv string rewritten in place.
bool TimeCache::same_zone() const {
  if (environ != env_) return false;
  if (tz_slot_ < 0) return env_[count_] == nullptr && (count_ == 0 || env_[count_ - 1] == mark_);
  // The entry's storage is the one the value was copied from, so it holds
  // as many bytes; memcmp of a known length saves a strlen a call.
  return env_[tz_slot_] == mark_ && memcmp(mark_ + 3, tz_.c_str(), tz_.size() + 1) == 0;
}

// Keeps the hour of `tm` when each of its readings has its first instant at
// `offset`: the whole hour is in that offset, and no reading of it occurs
// earlier in another offset (at a fall-back change).
void TimeCache::learn(const struct tm& tm, long long clock, long long offset) {
  long long hour = clock - tm.tm_min * 60 - tm.tm_sec;
  long long start = hour - offset;
  bool one_offset = offset_at(start) == offset && offset_at(start + 3599) == offset;
  for (long long probe : {start - 86400, start + 86400}) {
    long long other = offset_at(probe);
    if (other > offset &&
        (offset_at(hour - other) == other || offset_at(hour + 3599 - other) == other)) {
      one_offset = false;
    }
  }
  if (one_offset) keep(tm, start);
}

// Remembers the hour of `tm` as starting at `start`. The hours kept in
// another zone are forgotten, and where TZ stands now is noted.
void TimeCache::keep(const struct tm& tm, long long start) {
  if (hours_.empty() || !same_zone()) {
    hours_.assign(kHours, Hour());
    env_ = environ;
    tz_slot_ = -1;
    for (count_ = 0; env_ && env_[count_]; ++count_) {
      if (tz_slot_ < 0 && strncmp(env_[count_], "TZ=", 3) == 0) tz_slot_ = count_;
    }
    mark_ = tz_slot_ >= 0 ? env_[tz_slot_] : count_ > 0 ? env_[count_ - 1] : nullptr;
    tz_ = tz_slot_ >= 0 ? mark_ + 3 : "";
  }
  if (!env_) return;  // cleared: rare enough to skip caching
  last_ = slot_of(tm);
  hours_[last_] = Hour{true, tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, start};
}

bool TimeCache::cached(const struct tm& tm, time_t& t) {
  const Hour* h = find(tm);
  if (!h || !same_zone()) return false;
  t = static_cast<time_t>(h->start + tm.tm_min * 60 + tm.tm_sec);
  return true;
}

time_t TimeCache::seconds(struct tm* tm) {
  if (time_t t; cached(*tm, t)) return t;
  if (!plain(*tm)) {
    // mktime normalises the fields; their reading is that of its result.
    time_t t = mktime(tm);
    return t == -1 ? t : static_cast<time_t>(first_instant(t + offset_at(t), t));
  }
  struct tm fields = *tm;
  long long clock = days_from_civil(tm->tm_year + 1900LL, tm->tm_mon + 1, tm->tm_mday) * 86400 +
                    tm->tm_hour * 3600 + tm->tm_min * 60 + tm->tm_sec;
  long long t = first_instant(clock, mktime(tm));
  learn(fields, clock, clock - t);
  return static_cast<time_t>(t);
}

time_t TimeCache::utc_seconds(struct tm* tm) {
  if (time_t t; cached(*tm, t)) return t;
  if (!plain(*tm)) return timegm(tm);
  // An hour without a leap second (a zone in right/ has them) ends 3599 s
  // after it starts.
  struct tm first = *tm, last = *tm;
  first.tm_min = first.tm_sec = 0;
  last.tm_min = last.tm_sec = 59;
  long long start = timegm(&first);
  if (timegm(&last) - start != 3599) return timegm(tm);
  keep(*tm, start);
  return static_cast<time_t>(start + tm->tm_min * 60 + tm->tm_sec);
}

// One of each per thread: passes over big files convert times on worker threads.
time_t local_seconds(struct tm* tm) {
  thread_local TimeCache cache;
  return cache.seconds(tm);
}

time_t utc_seconds(struct tm* tm) {
  thread_local TimeCache cache;
  return cache.utc_seconds(tm);
}
