#include "chart/round_time.h"

#include <cstdio>
#include <initializer_list>
#include <limits>

namespace {

constexpr long long kDay = 86400;

// Each divides a day, so that a round time of one day is one of every day.
constexpr long long kSeconds[] = {1,   2,   5,    10,   15,   30,    60,    120,  300,
                                  600, 900, 1800, 3600, 7200, 10800, 21600, 43200};

// The shortest a step can be, in seconds, for the pixels between its lines.
double shortest(const TimeStep& s) {
  double n = static_cast<double>(s.count);
  switch (s.unit) {
    case TimeStep::kNanos:
      return n / 1e9;
    case TimeStep::kSeconds:
      return n;
    case TimeStep::kDays:
      return n * kDay;
    case TimeStep::kMonths:
      return (s.count == 1 ? 28 : s.count == 3 ? 89 : 181) * kDay;
    case TimeStep::kYears:
      break;
  }
  return n * 365 * kDay;
}

long long floor_mod(long long a, long long b) {
  long long m = a % b;
  return m < 0 ? m + b : m;
}

// The seconds since the local day began.
long long of_day(const tm& tm) {
  return tm.tm_hour * 3600LL + tm.tm_min * 60 + tm.tm_sec;
}

// Whether t is a local time whose seconds of the day are a multiple of the
// step; `offset` is set to its UTC offset.
bool round_second(long long step, time_t t, long& offset) {
  struct tm tm;
  if (!localtime_r(&t, &tm)) return false;
  offset = tm.tm_gmtoff;
  return of_day(tm) % step == 0;
}

// Moves t to the next local time whose seconds of the day are a multiple of
// the step. Where the UTC offset changes before that time, the same time of
// day at the new offset may be the one; failing both, it is looked for again
// from the first, a few times at most.
bool next_round_second(long long step, time_t& t) {
  for (int tries = 0; tries < 8; ++tries) {
    struct tm tm;
    if (!localtime_r(&t, &tm) || t > std::numeric_limits<time_t>::max() - 2 * step) return false;
    time_t at_old = t + step - of_day(tm) % step;
    long offset = 0, unused = 0;
    bool round = round_second(step, at_old, offset);
    time_t at_new = at_old - (offset - tm.tm_gmtoff);
    if (at_new > t && at_new < at_old && round_second(step, at_new, unused)) {
      t = at_new;
      return true;
    }
    t = at_old;
    if (round) return true;
  }
  return false;
}

// Days from 1970-01-01 to a local date, as the C library counts them.
long long day_number(const tm& date) {
  struct tm utc {};
  utc.tm_year = date.tm_year;
  utc.tm_mon = date.tm_mon;
  utc.tm_mday = date.tm_mday;
  return static_cast<long long>(timegm(&utc)) / kDay;
}

// Moves t to the next local midnight of a round date: every day, every
// second day from 1970-01-01, each Monday, the first day of a month whose
// number of months from year 0 is a multiple of the step, or of a year that
// is a multiple of it.
bool next_round_date(const TimeStep& s, time_t& t) {
  struct tm tm;
  if (!localtime_r(&t, &tm)) return false;
  long long year = tm.tm_year + 1900LL, month = tm.tm_mon, day = tm.tm_mday;
  if (s.unit == TimeStep::kDays) {
    tm.tm_mday = static_cast<int>(++day);
    // 1970-01-05 was a Monday.
    long long anchor = s.count == 7 ? 4 : 0;
    day += floor_mod(anchor - day_number(tm), s.count);
  } else if (s.unit == TimeStep::kMonths) {
    long long months = year * 12 + month + 1;
    months += floor_mod(-months, s.count);
    month = floor_mod(months, 12);
    year = (months - month) / 12;
    day = 1;
  } else {
    year += 1 + floor_mod(-(year + 1), s.count);
    month = 0;
    day = 1;
  }
  if (year - 1900 > std::numeric_limits<int>::max()) return false;
  tm = {};
  tm.tm_year = static_cast<int>(year - 1900);
  tm.tm_mon = static_cast<int>(month);
  tm.tm_mday = static_cast<int>(day);
  tm.tm_isdst = -1;
  time_t next = mktime(&tm);
  if (next <= t) return false;
  t = next;
  return true;
}

// Appends "." and the first `decimals` (1 to 9) digits of the nanoseconds
// to the text of `length` bytes in buf, as far as it holds them.
void append_decimals(char* buf, size_t size, size_t length, int nanos, int decimals) {
  char digits[16];
  snprintf(digits, sizeof digits, "%09d", nanos);
  digits[decimals] = '\0';
  if (length < size) snprintf(buf + length, size - length, ".%s", digits);
}

}  // namespace

TimeStep time_step(double per_second, int apart, bool fractions) {
  auto fits = [&](const TimeStep& s) { return shortest(s) * per_second >= apart; };
  for (long long n = 1; fractions && n < 1000000000; n *= 10) {
    for (long long m : {1, 2, 5}) {
      if (fits({TimeStep::kNanos, m * n})) return {TimeStep::kNanos, m * n};
    }
  }
  for (long long n : kSeconds) {
    if (fits({TimeStep::kSeconds, n})) return {TimeStep::kSeconds, n};
  }
  for (long long n : {1, 2, 7}) {
    if (fits({TimeStep::kDays, n})) return {TimeStep::kDays, n};
  }
  for (long long n : {1, 3, 6}) {
    if (fits({TimeStep::kMonths, n})) return {TimeStep::kMonths, n};
  }
  // A time_t spans less than 10^12 years.
  for (long long n = 1;; n *= 10) {
    for (long long m : {1, 2, 5}) {
      if (fits({TimeStep::kYears, m * n}) || n >= 1000000000000) return {TimeStep::kYears, m * n};
    }
  }
}

bool next_round_time(const TimeStep& step, time_t& t, int& nanos) {
  if (step.unit == TimeStep::kNanos) {
    long long next = (nanos / step.count + 1) * step.count;
    if (next < 1000000000) {
      nanos = static_cast<int>(next);
      return true;
    }
    if (t == std::numeric_limits<time_t>::max()) return false;
    ++t;
    nanos = 0;
    return true;
  }
  // A whole second after t is after (t, nanos) too.
  nanos = 0;
  if (step.unit == TimeStep::kSeconds) return next_round_second(step.count, t);
  return next_round_date(step, t);
}

size_t local_time_text(char* buf, size_t size, const char* form, time_t t) {
  struct tm tm;
  size_t length = localtime_r(&t, &tm) ? strftime(buf, size, form, &tm) : 0;
  buf[length] = '\0';
  return length;
}

void format_round_time(char* buf, size_t size, const TimeStep& step, time_t t, int nanos,
                       bool month) {
  const char* form = step.unit == TimeStep::kNanos     ? ":%S"
                     : step.unit == TimeStep::kSeconds ? (step.count < 60 ? "%H:%M:%S" : "%H:%M")
                     : step.unit == TimeStep::kDays    ? (month ? "%a %m-%d" : "%a %d")
                     : step.unit == TimeStep::kMonths  ? "%Y-%m"
                                                       : "%Y";
  size_t length = local_time_text(buf, size, form, t);
  if (length == 0 || step.unit != TimeStep::kNanos) return;
  append_decimals(buf, size, length, nanos, step_decimals(step));
}

int step_decimals(const TimeStep& step) {
  if (step.unit != TimeStep::kNanos) return 0;
  // The step's own decimals: 0.5 s has one, 0.02 s two.
  int decimals = 9;
  for (long long c = step.count; c >= 10; c /= 10) --decimals;
  return decimals;
}

Nanos step_nanos(const TimeStep& step) {
  constexpr Nanos kSecond = 1000000000;
  switch (step.unit) {
    case TimeStep::kNanos:
      return step.count;
    case TimeStep::kSeconds:
      return step.count * kSecond;
    case TimeStep::kDays:
      return step.count * kDay * kSecond;
    case TimeStep::kMonths:
      return step.count * 30 * kDay * kSecond;
    case TimeStep::kYears:
      break;
  }
  return step.count * 365 * kDay * kSecond;
}

void format_elapsed(char* buf, size_t size, Nanos elapsed, int decimals) {
  long long s = static_cast<long long>(elapsed / 1000000000);
  int nanos = static_cast<int>(elapsed % 1000000000);
  if (s >= kDay) {
    snprintf(buf, size, "%lldd %02lld:%02lld", s / kDay, s % kDay / 3600, s % 3600 / 60);
    return;
  }
  int length = snprintf(buf, size, "%02lld:%02lld:%02lld", s / 3600, s % 3600 / 60, s % 60);
  if (decimals > 0 && length > 0) append_decimals(buf, size, length, nanos, decimals);
}
