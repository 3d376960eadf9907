// gdImageLine with a short cut for vertical lines, which are nearly all the
// steps of a long log (many records share a column): the pixels are written
// straight into the palette image, the very pixels gdImageLine would set.
#ifndef TRENDLE_CHART_FAST_LINE_H_
#define TRENDLE_CHART_FAST_LINE_H_

#include <gd.h>

#include <algorithm>

// Whether fast_column draws what gdImageLine draws in this colour: a plain
// colour on a palette image, one pixel thick.
bool plain_palette(gdImagePtr im, int colour);

// gdImageLine(im, x, y1, x, y2, colour) where plain_palette holds. Inline, as
// it runs for nearly every value of a long log.
// Clipped, as gdImageLine is, to the image's clip rectangle.
inline void fast_column(gdImagePtr im, int x, int y1, int y2, int colour) {
  if (x < im->cx1 || x > im->cx2) return;
  int top = std::max(std::min(y1, y2), im->cy1);
  int bottom = std::min(std::max(y1, y2), im->cy2);
  // The row table is read once: a byte written through it might, as far as
  // the compiler knows, change im->pixels itself.
  unsigned char** rows = im->pixels;
  for (int y = top; y <= bottom; ++y) rows[y][x] = static_cast<unsigned char>(colour);
}

// Draws what gdImageLine(im, x1, y1, x2, y2, colour) draws; `plain` is
// plain_palette(im, colour), worked out once by the caller.
inline void fast_line(gdImagePtr im, int x1, int y1, int x2, int y2, int colour, bool plain) {
  if (x1 == x2 && plain) {
    fast_column(im, x1, y1, y2, colour);
  } else {
    gdImageLine(im, x1, y1, x2, y2, colour);
  }
}

#endif  // TRENDLE_CHART_FAST_LINE_H_
