// Round times in local time (TZ) for the grid: a step from a fixed list, the
// smallest whose lines stay a given number of pixels apart; the round times
// of a step one after another; and a label in the form the step needs.
#ifndef TRENDLE_CHART_ROUND_TIME_H_
#define TRENDLE_CHART_ROUND_TIME_H_

#include <cstddef>
#include <ctime>

#include "chart/steps.h"

struct TimeStep {
  enum Unit { kNanos, kSeconds, kDays, kMonths, kYears } unit;
  long long count;  // of units: 1, 2, 5 x 10^n nanoseconds; 1 to 43200 seconds; 1, 2, 7 days
                    // (7: weeks from Monday); 1, 3, 6 months; 1, 2, 5 x 10^n years
};

// The smallest step at least `apart` pixels long at `per_second` pixels a
// second; below a second only when the times have `fractions`.
TimeStep time_step(double per_second, int apart, bool fractions);

// Moves (t, nanos) on to the first round time of the step after it; false
// when there is none that the C library can place.
bool next_round_time(const TimeStep& step, time_t& t, int& nanos);

// strftime of t in local time; an empty text when t has none. The length.
size_t local_time_text(char* buf, size_t size, const char* form, time_t t);

// The label of round time (t, nanos): ":SS.f" below a second (as many
// decimals as the step has), "HH:MM:SS" below a minute, "HH:MM" below a day,
// "Www DD" for days and weeks ("Www MM-DD" with `month`), "YYYY-MM" for
// months, "YYYY" for years. An empty text when t has no local time.
void format_round_time(char* buf, size_t size, const TimeStep& step, time_t t, int nanos,
                       bool month);

// --elapsed: the step's length, months as 30 days and years as 365.
Nanos step_nanos(const TimeStep& step);

// The digits below the second that the step's labels need: 0 from a second on.
int step_decimals(const TimeStep& step);

// The label of a time `elapsed` after the first record: "HH:MM:SS" and
// `decimals` digits below the second (rounded down) below a day, "Nd HH:MM"
// from a day on.
void format_elapsed(char* buf, size_t size, Nanos elapsed, int decimals);

#endif  // TRENDLE_CHART_ROUND_TIME_H_
