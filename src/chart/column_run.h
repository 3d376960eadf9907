// Records that step straight down one column of the image, with the same
// series valid throughout: when no two series' spans in that column meet,
// painting each series' span once sets the very pixels that drawing every
// step in order sets. A long log puts thousands of records in each column.
#ifndef TRENDLE_CHART_COLUMN_RUN_H_
#define TRENDLE_CHART_COLUMN_RUN_H_

#include <gd.h>

#include <cstddef>
#include <cstdint>

struct ColumnRun {
  int x;
  int count;          // rows per record, one per active series
  const int* before;  // the rows of the record before the run
  const int* rows;    // the rows of the run's records, `count` per record
  size_t length;      // records in the run
  uint32_t valid;     // bit i: series i has a value in every record
  const int* colour;  // per series, each one fast_column may draw
  // With a clip per series (--min, --max): rows top[i] to bottom[i] of
  // columns left to right, as gdImageSetClip sets it; else null, and the
  // image's clip holds.
  const int* top = nullptr;
  const int* bottom = nullptr;
  int left = 0, right = 0;
};

// Paints the run and returns true, or returns false, drawing nothing, when
// two series' spans meet (their order of drawing would then matter). A clip
// per series is left set to the last series'.
bool paint_column_run(gdImagePtr im, const ColumnRun& run);

#endif  // TRENDLE_CHART_COLUMN_RUN_H_
