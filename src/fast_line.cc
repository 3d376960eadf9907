#include "fast_line.h"

#include <algorithm>

namespace {

// The short cut holds for a plain colour on a palette image, one pixel thick,
// clipped to the whole image: gd then sets each pixel as one byte.
bool plain_palette(gdImagePtr im, int colour) {
  return !gdImageTrueColor(im) && colour >= 0 && im->thick == 1 && im->cx1 == 0 && im->cy1 == 0 &&
         im->cx2 == gdImageSX(im) - 1 && im->cy2 == gdImageSY(im) - 1;
}

}  // namespace

void fast_line(gdImagePtr im, int x1, int y1, int x2, int y2, int colour) {
  if (x1 != x2 || !plain_palette(im, colour)) {
    gdImageLine(im, x1, y1, x2, y2, colour);
    return;
  }
  if (x1 < 0 || x1 >= gdImageSX(im)) return;
  int top = std::max(std::min(y1, y2), 0);
  int bottom = std::min(std::max(y1, y2), gdImageSY(im) - 1);
  // The row table is read once: a byte written through it might, as far as
  // the compiler knows, change im->pixels itself.
  unsigned char** rows = im->pixels;
  for (int y = top; y <= bottom; ++y) rows[y][x1] = static_cast<unsigned char>(colour);
}
