// The usual step between a log's records, for --gap=auto: the median of the
// positive steps between consecutive records, counted in bins 1% wide, so
// that a log of any length is counted in the same few kilobytes.
#ifndef TRENDLE_CHART_STEPS_H_
#define TRENDLE_CHART_STEPS_H_

#include <ctime>
#include <vector>

// A length of time in nanoseconds, exact for any two times a log holds.
using Nanos = __int128;

Nanos nanos_between(time_t from, int from_nanos, time_t to, int to_nanos);

class StepCounts {
 public:
  // Counts the step from one record to the next; those not positive are not counted.
  void add(Nanos step);
  // Adds the counts of another part of the log (the step between the parts
  // is added on its own).
  void merge(const StepCounts& other);
  // Five times the median step, to within 1%; 0 for fewer than two steps.
  Nanos gap() const;

 private:
  std::vector<long long> bins_;  // made at the first step
  long long total_ = 0;
  Nanos last_step_ = 0;
  int last_bin_ = 0;
};

#endif  // TRENDLE_CHART_STEPS_H_
