#include "chart/column_run.h"

#include <algorithm>

#include "chart/fast_line.h"
#include "input/sample.h"

namespace {

constexpr size_t kFirstLook = 8;

// Whether spans [lo, hi] meet nowhere.
bool apart(const int* lo, const int* hi, int n) {
  int order[kMaxSeries];
  for (int k = 0; k < n; ++k) order[k] = k;
  std::sort(order, order + n, [&](int a, int b) { return lo[a] < lo[b]; });
  for (int k = 1; k < n; ++k) {
    if (lo[order[k]] <= hi[order[k - 1]]) return false;
  }
  return true;
}

}  // namespace

bool paint_column_run(gdImagePtr im, const ColumnRun& run) {
  // Consecutive steps share their ends, so a series' steps cover one span:
  // from the lowest to the highest of its rows, the one before included.
  int which[kMaxSeries], lo[kMaxSeries], hi[kMaxSeries];
  int n = 0;
  for (int i = 0; i < run.count; ++i) {
    if (!(run.valid >> i & 1)) continue;
    which[n] = i;
    lo[n] = hi[n] = run.before[i];
    ++n;
  }
  // Spans only grow: when the first few records already make two meet,
  // the rest need not be looked at.
  size_t done = 0;
  for (size_t upto : {std::min(run.length, kFirstLook), run.length}) {
    for (; done < upto; ++done) {
      const int* y = run.rows + done * run.count;
      for (int k = 0; k < n; ++k) {
        lo[k] = std::min(lo[k], y[which[k]]);
        hi[k] = std::max(hi[k], y[which[k]]);
      }
    }
    if (!apart(lo, hi, n)) return false;
  }
  for (int k = 0; k < n; ++k) {
    int i = which[k];
    if (run.top) gdImageSetClip(im, run.left, run.top[i], run.right, run.bottom[i]);
    fast_column(im, run.x, lo[k], hi[k], run.colour[i]);
  }
  return true;
}
