#include "chart/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "chart/column_run.h"
#include "chart/fast_line.h"
#include "chart/mapping.h"
#include "input/blocks.h"
#include "input/line_reader.h"
#include "input/record.h"
#include "input/sorted_log.h"

namespace {

bool has_value(const Sample& s, int n) {
  return s.flags[n] && !std::isnan(s.values[n]);
}

// A line from the previous sample to the current one, or a single pixel when
// there is no previous sample. `plain`: plain_palette for the colour.
void draw_step(gdImagePtr im, int colour, bool plain, int x_cur, int y_cur, int x_prev,
               const int* y_prev) {
  if (y_prev) {
    fast_line(im, x_prev, *y_prev, x_cur, y_cur, colour, plain);
  } else {
    gdImageSetPixel(im, x_cur, y_cur, colour);
  }
}

// The x and the rows of the record one sample buffer holds. Bit i of
// `valid`, and y[i], are for the i-th active series.
struct Mapped {
  int x;
  uint32_t valid;
  int y[kMaxSeries];
};

// One good record mapped to pixels: its x and the rows of its valid values.
struct Point {
  int x;
  uint32_t valid;
};

// A record's time, for --gap.
struct Stamp {
  time_t t = 0;
  int nanos = 0;
};

// Whether a line from a value at `from` to one at `to` would cross a gap.
bool beyond(Nanos gap, const Stamp& from, const Stamp& to) {
  return gap > 0 && nanos_between(from.t, from.nanos, to.t, to.nanos) > gap;
}

// The state of the pass: the active series, and which buffer the next record
// goes to, buffer 1 first.
struct Pass {
  int series[kMaxSeries];
  int count = 0;
  TimeMapping time;
  ValueMapping value[kMaxSeries];  // the i-th active series' scale
  int colour[kMaxSeries];          // of the i-th active series
  uint32_t plain = 0;              // bit i: fast_column may draw series i
  // With --min or --max a line may leave its scale's rows: it is cut at
  // their edges, the clip of the i-th active series being rows top[i] to
  // bottom[i] of the plot area's columns.
  bool clipped = false;
  int left = 0, right = 0;
  int top[kMaxSeries], bottom[kMaxSeries];
  Mapped buffer[2];
  int next = 0;
  long long records = 0;    // good records drawn
  long long runs_from = 0;  // no runs are tried before this many records
  // How lines are drawn (--gap, --join, --style), and the last record's time.
  Nanos gap = 0;
  bool join = false;
  bool by = false;  // --by: a record draws its own group's series alone
  Settings::Style style = Settings::Style::line;
  Stamp last;
  // With --join, each series' last value drawn: bit i of `held`, at
  // (held_x[i], held_y[i]), from a record at held_at[i].
  uint32_t held = 0;
  int held_x[kMaxSeries], held_y[kMaxSeries];
  Stamp held_at[kMaxSeries];
  // --by: bit i of `spans` when the i-th series' lines down its last
  // column, rows span_lo[i] to span_hi[i] there, are not yet painted: a
  // record per column each took a tenth of --by's time.
  uint32_t spans = 0;
  int span_lo[kMaxSeries], span_hi[kMaxSeries];
};

// Maps the record in `s`, writing the rows of its valid values to `y`, which
// nothing else points into. Each sample is mapped once, not again as the
// previous sample of the next record.
Point map_record(const Pass& p, const Sample& s, int* __restrict y) {
  Point pt{map_x(p.time, s.time, s.nanos), 0};
  const int count = p.count;
  for (int i = 0; i < count; ++i) {
    int n = p.series[i];
    if (!has_value(s, n)) continue;
    pt.valid |= 1u << i;
    y[i] = map_y(p.value[i], s.values[n]);
  }
  return pt;
}

Pass start_pass(const RunState& st) {
  Pass p;
  p.time = make_time_mapping(st);
  p.clipped = st.settings.has_min || st.settings.has_max;
  p.gap = st.gap;
  p.join = st.settings.join;
  p.by = st.settings.by_field != 0;
  p.style = st.settings.style;
  p.left = st.margin;
  p.right = st.margin + st.plot_width;
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!st.range.active[n]) continue;
    const Scale& scale = st.scales.of[st.scales.index[n]];
    p.series[p.count] = n;
    p.value[p.count] = make_value_mapping(scale);
    p.top[p.count] = scale.top + 1;
    p.bottom[p.count] = scale.top + scale.rows;
    p.colour[p.count] = st.colours[n];
    if (plain_palette(st.im_out, st.colours[n])) p.plain |= 1u << p.count;
    ++p.count;
  }
  // Both buffers start empty, at the margin.
  for (Mapped& m : p.buffer) {
    m.x = st.margin;
    m.valid = 0;
  }
  return p;
}

// Takes one good record into the next buffer, as drawing it leaves them.
void keep_record(Pass& p, const Point& pt, const int* y) {
  Mapped& cur = p.buffer[p.next];
  cur.x = pt.x;
  cur.valid = pt.valid;
  for (int i = 0; i < p.count; ++i) {
    if (pt.valid >> i & 1) cur.y[i] = y[i];
  }
  p.next = 1 - p.next;
}

// With --min or --max, cuts what is drawn next to the i-th series' rows.
void clip_rows(const Pass& p, gdImagePtr im, int i) {
  if (p.clipped) gdImageSetClip(im, p.left, p.top[i], p.right, p.bottom[i]);
}

// Draws one record into the next buffer: for each active series with a
// value, in order, a line from the previous record's value or a single pixel.
void draw_record(const RunState& st, Pass& p, const Point& pt, const int* y) {
  Mapped& cur = p.buffer[p.next];
  const Mapped& prev = p.buffer[1 - p.next];
  cur.x = pt.x;
  cur.valid = pt.valid;
  // Copies: as far as the compiler knows, a pixel written may change p.
  const int count = p.count, x = cur.x, x_prev = prev.x;
  const uint32_t valid = pt.valid, valid_prev = prev.valid;
  gdImagePtr im = st.im_out;
  for (int i = 0; i < count; ++i) {
    if (!(valid >> i & 1)) continue;
    cur.y[i] = y[i];
    clip_rows(p, im, i);
    draw_step(im, p.colour[i], p.plain >> i & 1, x, y[i], x_prev,
              valid_prev >> i & 1 ? &prev.y[i] : nullptr);
  }
  p.next = 1 - p.next;
}

// As a record with every cell empty at column x: the next record's values
// start again as single pixels.
void break_lines(Pass& p, int x) {
  Mapped& cur = p.buffer[p.next];
  cur.x = x;
  cur.valid = 0;
  p.next = 1 - p.next;
}

// --style=steps: as a record at column x holding the values of the record
// before, so that each value holds until the next record's time.
void hold_values(const RunState& st, Pass& p, int x) {
  const Mapped& prev = p.buffer[1 - p.next];
  int y[kMaxSeries];
  for (int i = 0; i < p.count; ++i) {
    if (prev.valid >> i & 1) y[i] = prev.y[i];
  }
  draw_record(st, p, Point{x, prev.valid}, y);
}

// --style=points: a 3x3 square of each value, cut at the edges of its rows
// of the plot area.
void draw_points(const RunState& st, const Pass& p, const Point& pt, const int* y) {
  for (int i = 0; i < p.count; ++i) {
    if (!(pt.valid >> i & 1)) continue;
    fast_square(st.im_out, pt.x, y[i], p.colour[i], p.plain >> i & 1, p.left, p.top[i], p.right,
                p.bottom[i]);
  }
}

// --by: a line down the i-th series' last column, from its last value to y,
// kept to be painted with the rest of its lines there: the same pixels.
void widen_span(Pass& p, int i, int y) {
  if (!(p.spans >> i & 1)) {
    p.span_lo[i] = p.span_hi[i] = p.held_y[i];
    p.spans |= 1u << i;
  }
  p.span_lo[i] = std::min(p.span_lo[i], y);
  p.span_hi[i] = std::max(p.span_hi[i], y);
}

// Paints the i-th series' kept lines down its last column, if any.
void paint_span(const RunState& st, Pass& p, int i) {
  if (!(p.spans >> i & 1)) return;
  clip_rows(p, st.im_out, i);
  fast_line(st.im_out, p.held_x[i], p.span_lo[i], p.held_x[i], p.span_hi[i], p.colour[i],
            p.plain >> i & 1);
  p.spans &= ~(1u << i);
}

void paint_spans(const RunState& st, Pass& p) {
  for (int i = 0; i < p.count; ++i) paint_span(st, p, i);
}

// --join: each value joined to its series' last one, wherever that was,
// unless a gap lies between them; with steps, across and then up or down.
void draw_joined(const RunState& st, Pass& p, const Point& pt, const int* y, const Stamp& at) {
  gdImagePtr im = st.im_out;
  for (int i = 0; i < p.count; ++i) {
    if (!(pt.valid >> i & 1)) continue;
    bool joined = (p.held >> i & 1) && !beyond(p.gap, p.held_at[i], at);
    if (p.by && joined && p.style == Settings::Style::line && pt.x == p.held_x[i]) {
      widen_span(p, i, y[i]);
      p.held_y[i] = y[i];
      p.held_at[i] = at;
      continue;
    }
    paint_span(st, p, i);
    clip_rows(p, im, i);
    bool plain = p.plain >> i & 1;
    if (joined && p.style == Settings::Style::steps) {
      fast_line(im, p.held_x[i], p.held_y[i], pt.x, p.held_y[i], p.colour[i], plain);
      p.held_x[i] = pt.x;
    }
    draw_step(im, p.colour[i], plain, pt.x, y[i], p.held_x[i], joined ? &p.held_y[i] : nullptr);
    p.held_x[i] = pt.x;
    p.held_y[i] = y[i];
    p.held_at[i] = at;
    p.held |= 1u << i;
  }
}

// --by: the lines of the series in `ended`, whose cells at column x are
// empty, end there: a step held until then, as a record with an empty cell
// ends it by default.
void end_held(const RunState& st, Pass& p, uint32_t ended, int x, const Stamp& at) {
  for (int i = 0; i < p.count; ++i) {
    if (!((ended & p.held) >> i & 1)) continue;
    if (p.style == Settings::Style::steps && !beyond(p.gap, p.held_at[i], at)) {
      clip_rows(p, st.im_out, i);
      fast_line(st.im_out, p.held_x[i], p.held_y[i], x, p.held_y[i], p.colour[i], p.plain >> i & 1);
    }
    p.held &= ~(1u << i);
  }
}

// --by: bit i for the i-th active series when the record is of its group,
// with a value or not.
uint32_t touched_by(const Pass& p, const Sample& s) {
  uint32_t touched = 0;
  for (int i = 0; i < p.count; ++i) touched |= (s.flags[p.series[i]] != 0) << i;
  return touched;
}

// Draws one good record as the options say: by default a line from the
// record before; across a gap as after a record with every cell empty.
// With --by, as with --join, each series' line joins its own records, where
// an empty cell of its own (`touched` and not valid) breaks it.
// Points keep no record in the buffers, so no run is ever painted for them.
void draw_one(const RunState& st, Pass& p, const Point& pt, const int* y, const Stamp& at,
              uint32_t touched) {
  bool gap = p.records > 0 && beyond(p.gap, p.last, at);
  p.last = at;
  ++p.records;
  if (p.style == Settings::Style::points) {
    draw_points(st, p, pt, y);
    return;
  }
  if (p.join || p.by) {
    if (!p.join) end_held(st, p, touched & ~pt.valid, pt.x, at);
    draw_joined(st, p, pt, y, at);
    keep_record(p, pt, y);
    return;
  }
  if (gap) {
    break_lines(p, pt.x);
  } else if (p.style == Settings::Style::steps) {
    hold_values(st, p, pt.x);
  }
  draw_record(st, p, pt, y);
}

// Good records of one block, parsed and mapped by a worker; on cache lines of
// its own.
struct alignas(64) Part {
  std::vector<Point> points;
  std::unique_ptr<int[]> rows;    // `count` per record
  std::vector<Stamp> times;       // of each record, with --gap and --join only
  std::vector<uint32_t> touched;  // of each record, with --by only
  BlockStop stop;
};

// What a part holds at most, so that memory stays flat however short the
// lines: a block of short lines is handed over in several parts.
constexpr size_t kPartBytes = 256 << 10;

// Maps the records that next(s) gives into `part`: true after the last,
// false when the part is full.
template <class Next>
bool fill_part(const Pass& p, Part& part, Next next) {
  const bool timed = p.gap > 0 || p.join;
  const size_t most = kPartBytes / (sizeof(Point) + p.count * sizeof(int) + timed * sizeof(Stamp) +
                                    p.by * sizeof(uint32_t));
  part.points.clear();
  part.times.clear();
  part.touched.clear();
  // Made for a full part once: grown a record at a time, zeroed as it grew,
  // it took an eighth of the mapping's instructions. Not zeroed: rows of
  // series without a value are never read, and the pages of a part that a
  // block does not fill are never touched.
  if (!part.rows) part.rows = std::make_unique_for_overwrite<int[]>(most * p.count);
  Sample s;
  while (part.points.size() < most) {
    if (!next(s)) return true;
    int* y = part.rows.get() + part.points.size() * p.count;
    part.points.push_back(map_record(p, s, y));
    if (timed) part.times.push_back(Stamp{s.time, s.nanos});
    if (p.by) part.touched.push_back(touched_by(p, s));
  }
  return false;
}

// Parses the block's next records into `part`: true at the block's end,
// false when the part is full.
bool parse_block(LineReader& lines, const Settings& set, const Pass& p, Part& part) {
  part.stop = BlockStop();
  return fill_part(p, part, [&](Sample& s) { return next_block_record(lines, set, s, part.stop); });
}

// Runs shorter than this are drawn record by record; longer ones are cut,
// since short spans meet less often. Where spans met, the series are close
// there, and runs are not tried again for a while.
constexpr size_t kMinRun = 8;
constexpr size_t kMaxRun = 256;
constexpr int kRetryAfter = 1024;

// The records from k on that step straight down the column of the record
// before them, with the same series valid, each plain, and no gap between
// them; at most kMaxRun. Such steps draw what lines draw, steps too, and
// with --join too: each series in the run has its last value in the record
// before.
size_t run_length(const Pass& p, const Part& part, size_t k) {
  const Mapped& prev = p.buffer[1 - p.next];
  // --by's records join their own group's, not the one before.
  if (p.by || p.records < p.runs_from || (prev.valid & ~p.plain)) return 0;
  size_t end = std::min(part.points.size(), k + kMaxRun);
  size_t j = k;
  while (j < end && part.points[j].x == prev.x && part.points[j].valid == prev.valid &&
         (p.gap == 0 || !beyond(p.gap, j == k ? p.last : part.times[j - 1], part.times[j]))) {
    ++j;
  }
  return j - k;
}

// After a run painted at once: the pass as drawing its records one by one
// leaves it, from the run's last records.
void end_run(Pass& p, const Part& part, size_t k, size_t length) {
  p.next = (p.next + static_cast<int>(length)) % 2;
  p.records += static_cast<long long>(length);
  for (size_t r = k + length - 2; r < k + length; ++r) {
    keep_record(p, part.points[r], part.rows.get() + r * p.count);
  }
  size_t last = k + length - 1;
  if (!part.times.empty()) p.last = part.times[last];
  if (!p.join) return;
  for (int i = 0; i < p.count; ++i) {
    if (!(part.points[last].valid >> i & 1)) continue;
    p.held_x[i] = part.points[last].x;
    p.held_y[i] = part.rows[last * p.count + i];
    p.held_at[i] = p.last;
  }
}

// Draws a block's records in order, painting runs in one column at once
// where the result is the same.
void draw_block(const RunState& st, Pass& p, const Part& part) {
  const size_t total = part.points.size();
  for (size_t k = 0; k < total;) {
    size_t length = run_length(p, part, k);
    const Mapped& prev = p.buffer[1 - p.next];
    ColumnRun run{.x = prev.x,
                  .count = p.count,
                  .before = prev.y,
                  .rows = part.rows.get() + k * p.count,
                  .length = length,
                  .valid = prev.valid,
                  .colour = p.colour,
                  .top = p.clipped ? p.top : nullptr,
                  .bottom = p.bottom,
                  .left = p.left,
                  .right = p.right};
    if (length >= kMinRun && paint_column_run(st.im_out, run)) {
      end_run(p, part, k, length);
      k += length;
      continue;
    }
    if (length >= kMinRun) p.runs_from = p.records + kRetryAfter;
    for (size_t end = k + std::max<size_t>(length, 1); k < end; ++k) {
      draw_one(st, p, part.points[k], part.rows.get() + k * p.count,
               part.times.empty() ? Stamp() : part.times[k],
               part.touched.empty() ? 0 : part.touched[k]);
    }
  }
}

// The pass over a big regular file: workers parse and map blocks of it, and
// the records are drawn here in file order.
void plot_in_blocks(const RunState& st, Pass& p, LineReader& in, int count) {
  Part parts[kSlots];
  run_in_order(
      in, count,
      [&](LineReader& lines, int slot) { return parse_block(lines, st.settings, p, parts[slot]); },
      [&](int slot) {
        const Part& part = parts[slot];
        draw_block(st, p, part);
        finish_block(part.stop, p.records + 1);
      });
}

// Sets the clip back to the whole image, however the pass ends: a banner is
// drawn on the same image.
struct WholeImageClip {
  gdImagePtr im;
  ~WholeImageClip() { gdImageSetClip(im, 0, 0, gdImageSX(im) - 1, gdImageSY(im) - 1); }
};

}  // namespace

void draw_frame(const RunState& st) {
  int left = st.margin, top = st.margin;
  int right = st.margin + st.plot_width, bottom = st.settings.height - st.margin - 1;
  gdImageDashedLine(st.im_out, left, top, right, top, st.grid);
  gdImageDashedLine(st.im_out, right, top, right, bottom, st.grid);
  gdImageDashedLine(st.im_out, right, bottom, left, bottom, st.grid);
  gdImageDashedLine(st.im_out, left, bottom, left, top, st.grid);
  // Bands after the first begin at a line of their own.
  for (int k = 1; st.settings.panels && k < st.scales.count; ++k) {
    int y = st.scales.of[k].top;
    gdImageDashedLine(st.im_out, left, y, right, y, st.grid);
  }
}

void draw_grid(const RunState& st) {
  const Ticks& ticks = st.ticks;
  int left = st.margin + 1, right = st.margin + st.plot_width - 1;
  for (int k = 0; k < st.scales.count; ++k) {
    // A right scale beside a left one is only labelled: its lines would
    // cross the left one's.
    if (k > 0 && st.scales.of[k].right) continue;
    for (const Tick& t : ticks.values[k]) {
      gdImageDashedLine(st.im_out, left, t.at, right, t.at, st.grid);
    }
  }
  int top = st.margin + 1, bottom = st.settings.height - st.margin - 2;
  for (const Tick& t : ticks.times) gdImageDashedLine(st.im_out, t.at, top, t.at, bottom, st.grid);
}

// Each time and each value is mapped once, not again as the previous sample
// of the next record.
void plot_pass(const RunState& st, LineReader& in) {
  WholeImageClip clip{st.im_out};
  Pass p = start_pass(st);
  if (int count = block_count(in)) {
    plot_in_blocks(st, p, in, count);
  } else {
    Sample s;
    int y[kMaxSeries];
    while (next_record(in, st.settings, p.records + 1, s)) {
      draw_one(st, p, map_record(p, s, y), y, Stamp{s.time, s.nanos}, p.by ? touched_by(p, s) : 0);
    }
  }
  paint_spans(st, p);
}

void plot_sorted(const RunState& st, SortedLog& log) {
  WholeImageClip clip{st.im_out};
  Pass p = start_pass(st);
  // In parts, as threads hand over a file's: a column's records are painted at once.
  Part part;
  for (bool last = false; !last;) {
    last = fill_part(p, part, [&](Sample& s) { return log.next(s); });
    draw_block(st, p, part);
  }
  paint_spans(st, p);
}
