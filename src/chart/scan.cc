#include "chart/scan.h"

#include <cmath>
#include <tuple>

#include "common/fatal.h"
#include "input/blocks.h"
#include "input/line_reader.h"
#include "input/record.h"
#include "input/sorted_log.h"

namespace {

// Takes a record's time into the span: the first sets the start, each the
// end; with --sort (`sorting`) the earliest sets the start, the latest the end.
void take_time(Range& range, time_t t, int nanos, bool sorting) {
  if (!range.started) {
    range.started = true;
    range.start_time = t;
    range.start_nanos = nanos;
  } else if (std::tie(t, nanos) < std::tie(range.end_time, range.end_nanos)) {
    range.in_order = false;
    if (sorting) {
      if (std::tie(t, nanos) < std::tie(range.start_time, range.start_nanos)) {
        range.start_time = t;
        range.start_nanos = nanos;
      }
      return;
    }
  }
  range.end_time = t;
  range.end_nanos = nanos;
}

// Widens [min, max] to take in v, keeping the earlier of equal values (0 and -0).
void widen(float& min, float& max, float v) {
  if (v > max) max = v;
  if (v < min) min = v;
}

// Adds one good record to the range. Non-finite values never widen min and
// max; an infinity still marks its series active, a NaN is a gap. Each
// series' own extent is kept only when the scales need it (`by_series`):
// on 4 series that is a quarter more of the scan's own work. `steps` counts
// the step from the record before, for --gap=auto.
template <bool by_series>
void add_to_range(Range& range, const Sample& s, StepCounts* steps, bool sorting) {
  if (steps && range.started) {
    steps->add(nanos_between(range.end_time, range.end_nanos, s.time, s.nanos));
  }
  take_time(range, s.time, s.nanos, sorting);
  for (int n = 0; n < s.columns; ++n) {
    if (!s.flags[n]) continue;
    float v = s.values[n];
    if (std::isnan(v)) continue;
    if (std::isfinite(v)) {
      widen(range.min, range.max, v);
      if (by_series) widen(range.series[n].min, range.series[n].max, v);
    }
    if (!range.active[n]) {
      range.active[n] = 1;
      ++range.num_active;
    }
  }
}

// Adds a later block's range as if its records had followed one by one: the
// comparisons are the strict ones of add_to_range, so equal values (0 and
// -0) keep the earlier one.
void merge(Range& range, const Range& later, bool sorting) {
  if (!later.started) return;
  range.in_order = range.in_order && later.in_order;
  take_time(range, later.start_time, later.start_nanos, sorting);
  take_time(range, later.end_time, later.end_nanos, sorting);
  if (later.max > range.max) range.max = later.max;
  if (later.min < range.min) range.min = later.min;
  for (int n = 0; n < kMaxSeries; ++n) {
    Extent& e = range.series[n];
    if (later.series[n].max > e.max) e.max = later.series[n].max;
    if (later.series[n].min < e.min) e.min = later.series[n].min;
    if (later.active[n] && !range.active[n]) {
      range.active[n] = 1;
      ++range.num_active;
    }
  }
}

// What one block adds to the scan, on cache lines of its own.
struct alignas(64) Part {
  Range range;  // of the block alone
  StepCounts steps;
  long long records = 0;
  BlockStop stop;
};

// A part holds a range, however many records: a block is scanned at once.
template <bool by_series>
bool scan_block(LineReader& lines, const Settings& set, Part& part) {
  Range range;
  Sample s;
  long long records = 0;
  part.stop = BlockStop();
  part.steps = StepCounts();
  StepCounts* steps = set.gap_auto ? &part.steps : nullptr;
  while (next_block_record(lines, set, s, part.stop)) {
    add_to_range<by_series>(range, s, steps, set.sort);
    ++records;
  }
  part.range = range;
  part.records = records;
  return true;
}

template <bool by_series>
void scan_in_blocks(const Settings& set, Range& range, LineReader& in, int count,
                    StepCounts* steps) {
  Part parts[kSlots];
  long long records = 0;  // good records in the blocks merged so far
  run_in_order(
      in, count,
      [&](LineReader& lines, int slot) { return scan_block<by_series>(lines, set, parts[slot]); },
      [&](int slot) {
        Part& part = parts[slot];
        if (steps && range.started && part.range.started) {
          steps->add(nanos_between(range.end_time, range.end_nanos, part.range.start_time,
                                   part.range.start_nanos));
        }
        if (steps) steps->merge(part.steps);
        merge(range, part.range, set.sort);
        records += part.records;
        finish_block(part.stop, records + 1);
      });
}

template <bool by_series>
void read_all(const Settings& set, Range& range, LineReader& in, StepCounts* steps) {
  if (int count = block_count(in)) {
    try {
      scan_in_blocks<by_series>(set, range, in, count, steps);
      return;
    } catch (const SpansLines&) {
      // From the start, by this thread, as every pass after it.
      in.read_alone();
      range = Range();
      if (steps) *steps = StepCounts();
    }
  }
  Sample s;
  for (long long records = 0; next_record(in, set, records + 1, s); ++records) {
    add_to_range<by_series>(range, s, steps, set.sort);
  }
  in.rewind();
}

}  // namespace

Scan scan_file(const Settings& set, LineReader& in) {
  Scan scan;
  StepCounts counts;
  StepCounts* steps = set.gap_auto ? &counts : nullptr;
  // One scale for all series needs only the range of all.
  if (set.panels || set.right_spec) {
    read_all<true>(set, scan.range, in, steps);
  } else {
    read_all<false>(set, scan.range, in, steps);
  }
  scan.gap = steps ? counts.gap() : static_cast<Nanos>(set.gap_ms) * 1000000;
  return scan;
}

Nanos sorted_gap(SortedLog& log) {
  StepCounts steps;
  Sample s;
  Range range;  // the span so far: its end is the record before
  while (log.next(s)) add_to_range<false>(range, s, &steps, true);
  log.rewind();
  return steps.gap();
}

Range fix_time_span(Range range) {
  auto start = std::tie(range.start_time, range.start_nanos);
  auto end = std::tie(range.end_time, range.end_nanos);
  if (start == end) {
    range.start_time -= 1;
    range.end_time += 1;
  }
  if (start >= end) gerr("Strange time limits");
  return range;
}
