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

// A 3x3 square centred on (x, y), as gdImageSetPixel sets each of its
// pixels under gdImageSetClip(im, left, top, right, bottom): cut to that
// rectangle and the image. Written straight into the image where
// plain_palette holds: with gd's calls, clip and pixel, --style=points took
// 1.4 times the CPU time of lines on the 1M x 4 log.
inline void fast_square(gdImagePtr im, int x, int y, int colour, bool plain, int left, int top,
                        int right, int bottom) {
  if (!plain) {
    gdImageSetClip(im, left, top, right, bottom);
    for (int r = y - 1; r <= y + 1; ++r) {
      for (int c = x - 1; c <= x + 1; ++c) gdImageSetPixel(im, c, r, colour);
    }
    return;
  }
  left = std::max({x - 1, left, 0});
  right = std::min({x + 1, right, gdImageSX(im) - 1});
  top = std::max({y - 1, top, 0});
  bottom = std::min({y + 1, bottom, gdImageSY(im) - 1});
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) im->pixels[r][c] = static_cast<unsigned char>(colour);
  }
}

#endif  // TRENDLE_CHART_FAST_LINE_H_
