#include "plot.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "block_pool.h"
#include "column_run.h"
#include "fast_line.h"
#include "line_reader.h"
#include "record.h"

namespace {

// Pixel positions are bounded to about +-2^29 before any conversion to int,
// so that a point far outside the image stays defined; gd clips it.
constexpr double kPixelBound = 536870912.0;

double bound(double v) {
  if (std::isnan(v)) return 0;
  // Comparisons, not fmax/fmin: those are library calls, made per sample.
  return v < -kPixelBound ? -kPixelBound : v > kPixelBound ? kPixelBound : v;
}

// a + b for an a near the image and a whole b, bounded like b. The sum is
// exact, as it would be in double.
int bounded_sum(long long a, long long b) {
  constexpr long long kBound = static_cast<long long>(kPixelBound);
  long long s = a + b;
  return static_cast<int>(s < -kBound ? -kBound : s > kBound ? kBound : s);
}

// a + floor(b) and a + trunc(b): bounding b first makes its conversion to an
// integer exact, without a library call.
int bounded_floor_sum(long long a, double b) {
  b = bound(b);
  long long f = static_cast<long long>(b);
  return bounded_sum(a, static_cast<double>(f) > b ? f - 1 : f);
}

int bounded_trunc_sum(long long a, double b) {
  return bounded_sum(a, static_cast<long long>(bound(b)));
}

// The constants of map_y, worked out once.
struct Rows {
  float min, max;
  double e1;       // e - 1
  double scale;    // vscale, or (min - max) to divide by
  bool divide;     // vscale overflowed
  long long base;  // margin + e
};

Rows rows_of(const RunState& st, const Scales& sc) {
  const Range& r = st.range;
  Rows rows{r.min,
            r.max,
            static_cast<double>(sc.e - 1),
            static_cast<double>(sc.vscale),
            std::isinf(sc.vscale),
            static_cast<long long>(st.margin) + sc.e};
  // A range narrower than 1 / FLT_MAX overflows the float scale; dividing
  // in double keeps it on the plot instead of throwing max off the image.
  if (rows.divide) rows.scale = static_cast<double>(r.min) - static_cast<double>(r.max);
  return rows;
}

int row(const Rows& rows, float v) {
  if (std::isinf(v)) v = v > 0 ? rows.max : rows.min;
  double p = rows.e1 * (static_cast<double>(v) - static_cast<double>(rows.min));
  p = rows.divide ? p / rows.scale : p * rows.scale;
  return bounded_trunc_sum(rows.base, p);
}

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

// The state of the pass: the active series, and which buffer the next record
// goes to, buffer 1 first.
struct Pass {
  int series[kMaxSeries];
  int count = 0;
  Rows rows;
  int colour[kMaxSeries];  // of the i-th active series
  uint32_t plain = 0;      // bit i: fast_column may draw series i
  Mapped buffer[2];
  int next = 0;
  int records = 0;    // good records drawn
  int runs_from = 0;  // no runs are tried before this many records
};

// One good record mapped to pixels: its x, unless its time is 0 or before
// (then its buffer keeps the x it had), and the rows of its valid values.
struct Point {
  bool has_x;
  int x;
  uint32_t valid;
};

// Maps the record in `s`, writing the rows of its valid values to `y`. Each
// sample is mapped once, not again as the previous sample of the next record.
Point map_record(const RunState& st, const Scales& sc, const Pass& p, const Sample& s, int* y) {
  Point pt{s.time > 0, s.time > 0 ? map_x(st, sc, s.time) : 0, 0};
  // Copies: as far as the compiler knows, a row written to y may change p.
  const int count = p.count;
  const Rows rows = p.rows;
  for (int i = 0; i < count; ++i) {
    int n = p.series[i];
    if (!has_value(s, n)) continue;
    pt.valid |= 1u << i;
    y[i] = row(rows, s.values[n]);
  }
  return pt;
}

Pass start_pass(const RunState& st, const Scales& sc) {
  Pass p;
  p.rows = rows_of(st, sc);
  for (int n = 0; n < kMaxSeries; ++n) {
    if (!st.range.active[n]) continue;
    p.series[p.count] = n;
    p.colour[p.count] = st.colours[n];
    if (plain_palette(st.im_out, st.colours[n])) p.plain |= 1u << p.count;
    ++p.count;
  }
  // Both x start at the margin. Buffer 1 is read first, so only buffer 2's
  // x can come from the time it holds, at the first record.
  p.buffer[0].x = st.margin;
  p.buffer[0].valid = 0;
  Mapped& m = p.buffer[1];
  Point pt = map_record(st, sc, p, st.sample2, m.y);
  m.x = pt.has_x ? pt.x : st.margin;
  m.valid = pt.valid;
  return p;
}

// Takes one good record into the next buffer, as drawing it leaves them.
void keep_record(Pass& p, const Point& pt, const int* y) {
  Mapped& cur = p.buffer[p.next];
  if (pt.has_x) cur.x = pt.x;
  cur.valid = pt.valid;
  for (int i = 0; i < p.count; ++i) {
    if (pt.valid >> i & 1) cur.y[i] = y[i];
  }
  p.next = 1 - p.next;
  ++p.records;
}

// Draws one good record into the next buffer: what plot_to_point draws for
// each active series, in order.
void draw_record(const RunState& st, Pass& p, const Point& pt, const int* y) {
  Mapped& cur = p.buffer[p.next];
  const Mapped& prev = p.buffer[1 - p.next];
  if (pt.has_x) cur.x = pt.x;
  cur.valid = pt.valid;
  // Copies: as far as the compiler knows, a pixel written may change p.
  const int count = p.count, x = cur.x, x_prev = prev.x;
  const uint32_t valid = pt.valid, valid_prev = prev.valid;
  gdImagePtr im = st.im_out;
  for (int i = 0; i < count; ++i) {
    if (!(valid >> i & 1)) continue;
    cur.y[i] = y[i];
    draw_step(im, p.colour[i], p.plain >> i & 1, x, y[i], x_prev,
              valid_prev >> i & 1 ? &prev.y[i] : nullptr);
  }
  p.next = 1 - p.next;
  ++p.records;
}

// The good records of one block, parsed and mapped by a worker; on cache
// lines of its own.
struct alignas(64) Part {
  std::vector<Point> points;
  std::vector<int> rows;  // `count` per record
  BlockStop stop;
};

void parse_block(LineReader& lines, const RunState& st, const Scales& sc, const Pass& p,
                 Part& part) {
  part.points.clear();
  part.rows.clear();
  part.stop = BlockStop();
  Sample s;
  while (next_block_record(lines, s, static_cast<int>(part.points.size()), st.tform, part.stop)) {
    size_t n = part.rows.size();
    part.rows.resize(n + p.count);
    part.points.push_back(map_record(st, sc, p, s, part.rows.data() + n));
  }
}

// Runs shorter than this are drawn record by record; longer ones are cut,
// since short spans meet less often. Where spans met, the series are close
// there, and runs are not tried again for a while.
constexpr size_t kMinRun = 8;
constexpr size_t kMaxRun = 256;
constexpr int kRetryAfter = 1024;

// The records from k on that step straight down the column of the record
// before them, with the same series valid, each plain; at most kMaxRun.
size_t run_length(const Pass& p, const Part& part, size_t k) {
  const Mapped& prev = p.buffer[1 - p.next];
  if (p.records < p.runs_from || (prev.valid & ~p.plain)) return 0;
  size_t end = std::min(part.points.size(), k + kMaxRun);
  size_t j = k;
  while (j < end && part.points[j].has_x && part.points[j].x == prev.x &&
         part.points[j].valid == prev.valid) {
    ++j;
  }
  return j - k;
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
                  .rows = part.rows.data() + k * p.count,
                  .length = length,
                  .valid = prev.valid,
                  .colour = p.colour};
    if (length >= kMinRun && paint_column_run(st.im_out, run)) {
      // The buffers end as drawing the records one by one leaves them:
      // the last two records, each in the buffer it goes to.
      p.next = (p.next + static_cast<int>(length)) % 2;
      p.records += static_cast<int>(length) - 2;
      for (size_t r = k + length - 2; r < k + length; ++r) {
        keep_record(p, part.points[r], part.rows.data() + r * p.count);
      }
      k += length;
      continue;
    }
    if (length >= kMinRun) p.runs_from = p.records + kRetryAfter;
    for (size_t end = k + std::max<size_t>(length, 1); k < end; ++k) {
      draw_record(st, p, part.points[k], part.rows.data() + k * p.count);
    }
  }
}

// The pass over a big regular file: workers parse and map blocks of it, and
// the records are drawn here in file order; false when not worth it.
bool plot_in_blocks(const RunState& st, const Scales& sc, Pass& p, LineReader& in) {
  int count = block_count(in);
  if (count == 0) return false;
  Part parts[kSlots];
  run_in_order(
      in, count, [&](LineReader& lines, int slot) { parse_block(lines, st, sc, p, parts[slot]); },
      [&](int slot) {
        const Part& part = parts[slot];
        draw_block(st, p, part);
        finish_block(part.stop, st.tform, p.records);
      });
  return true;
}

}  // namespace

Scales make_scales(const RunState& st) {
  const Range& r = st.range;
  Scales sc;
  sc.hscale = static_cast<float>(st.plot_width / static_cast<double>(r.end_time - r.start_time));
  sc.vscale = static_cast<float>(1.0 / (static_cast<double>(r.min) - static_cast<double>(r.max)));
  sc.e = st.height - 2 * st.margin;
  return sc;
}

int map_x(const RunState& st, const Scales& sc, time_t t) {
  double dt = static_cast<double>(t - st.range.start_time);
  return bounded_floor_sum(st.margin, dt * static_cast<double>(sc.hscale) + 0.5);
}

int map_y(const RunState& st, const Scales& sc, float v) {
  return row(rows_of(st, sc), v);
}

void draw_frame(const RunState& st) {
  int left = st.margin, top = st.margin;
  int right = st.width - 1, bottom = st.height - st.margin - 1;
  gdImageDashedLine(st.im_out, left, top, right, top, st.grid);
  gdImageDashedLine(st.im_out, right, top, right, bottom, st.grid);
  gdImageDashedLine(st.im_out, right, bottom, left, bottom, st.grid);
  gdImageDashedLine(st.im_out, left, bottom, left, top, st.grid);
}

void plot_to_point(const RunState& st, const Scales& sc, int n, int x_cur, int x_prev,
                   const Sample& cur, const Sample& prev) {
  if (!has_value(cur, n)) return;
  int y_prev = has_value(prev, n) ? map_y(st, sc, prev.values[n]) : 0;
  int colour = st.colours[n];
  draw_step(st.im_out, colour, plain_palette(st.im_out, colour), x_cur,
            map_y(st, sc, cur.values[n]), x_prev, has_value(prev, n) ? &y_prev : nullptr);
}

// What plot_to_point draws for every active series of every record, with
// each time and each value mapped once.
void plot_pass(RunState& st, const Scales& sc, LineReader& in) {
  Pass p = start_pass(st, sc);
  if (plot_in_blocks(st, sc, p, in)) return;
  Sample* cur = &st.sample1;
  Sample* prev = &st.sample2;
  int y[kMaxSeries];
  int result;
  while ((result = read_line(in, cur->values, cur->flags, p.records, &cur->time, st.tform)) != 2) {
    if (result != 0) continue;
    draw_record(st, p, map_record(st, sc, p, *cur, y), y);
    std::swap(cur, prev);
  }
}
