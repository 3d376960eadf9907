#include "chart/scan.h"

#include <cmath>
#include <functional>
#include <string_view>
#include <tuple>
#include <unordered_set>

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

// --by: the step from each group's record before, for --gap=auto.
class GroupSteps {
 public:
  explicit GroupSteps(int values) : values_(values) {}
  void add(StepCounts* steps, const Sample& s) {
    if (!steps) return;
    // A group's records flag each of its series, and only those.
    int g = 0;
    while (g * values_ < s.columns && !s.flags[g * values_]) ++g;
    if (g * values_ >= s.columns) return;
    if (seen_[g]) steps->add(nanos_between(time_[g], nanos_[g], s.time, s.nanos));
    seen_[g] = true;
    time_[g] = s.time;
    nanos_[g] = s.nanos;
  }

 private:
  int values_;
  bool seen_[kMaxSeries] = {};
  time_t time_[kMaxSeries];
  int nanos_[kMaxSeries];
};

// The texts left out: counted once each, by hash, up to kMostLeftOut.
class LeftOut {
 public:
  void add(std::string_view text) {
    if (hashes_.size() < kMostLeftOut) hashes_.insert(std::hash<std::string_view>()(text));
  }
  int count() const { return static_cast<int>(hashes_.size()); }

 private:
  std::unordered_set<size_t> hashes_;
};

// --by: the rows read in file order, on this thread, as the order texts first
// appear in and which are left out need. Threads would take no less CPU time.
template <bool by_series>
void read_by_text(const Settings& set, Scan& scan, LineReader& in, StepCounts* steps) {
  Settings growing = set;  // its texts grow as rows name new ones
  const int values = static_cast<int>(set.columns.size());
  GroupSteps group_steps(values);
  LeftOut left_out;
  Sample s;
  for (long long records = 0; next_record(in, growing, records + 1, s);) {
    if (s.group < 0) {
      if (static_cast<int>(growing.by_texts.size()) == set.by_capacity()) {
        left_out.add(s.text);
        continue;
      }
      growing.by_texts.emplace_back(s.text);
      into_group(s, static_cast<int>(growing.by_texts.size()) - 1, values);
    }
    ++records;  // rows of texts left out are not records
    group_steps.add(steps, s);
    add_to_range<by_series>(scan.range, s, nullptr, set.sort);
  }
  in.rewind();
  scan.texts = growing.by_texts;
  scan.left_out = left_out.count();
}

template <bool by_series>
void scan_records(const Settings& set, Scan& scan, LineReader& in, StepCounts* steps) {
  if (set.by_field) {
    read_by_text<by_series>(set, scan, in, steps);
  } else {
    read_all<by_series>(set, scan.range, in, steps);
  }
}

}  // namespace

Scan scan_file(const Settings& set, LineReader& in) {
  Scan scan;
  StepCounts counts;
  StepCounts* steps = set.gap_auto ? &counts : nullptr;
  // One scale for all series needs only the range of all.
  if (set.panels || set.right_spec) {
    scan_records<true>(set, scan, in, steps);
  } else {
    scan_records<false>(set, scan, in, steps);
  }
  scan.gap = steps ? counts.gap() : static_cast<Nanos>(set.gap_ms) * 1000000;
  return scan;
}

Nanos sorted_gap(SortedLog& log, const Settings& set) {
  StepCounts steps;
  Sample s;
  Range range;  // the span so far: its end is the record before
  GroupSteps group_steps(static_cast<int>(set.columns.size()));
  while (log.next(s)) {
    if (set.by_field) group_steps.add(&steps, s);
    add_to_range<false>(range, s, set.by_field ? nullptr : &steps, true);
  }
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
