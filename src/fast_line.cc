#include "fast_line.h"

bool plain_palette(gdImagePtr im, int colour) {
  return !gdImageTrueColor(im) && colour >= 0 && im->thick == 1 && im->cx1 == 0 && im->cy1 == 0 &&
         im->cx2 == gdImageSX(im) - 1 && im->cy2 == gdImageSY(im) - 1;
}

void fast_line(gdImagePtr im, int x1, int y1, int x2, int y2, int colour) {
  if (x1 != x2 || !plain_palette(im, colour)) {
    gdImageLine(im, x1, y1, x2, y2, colour);
    return;
  }
  fast_column(im, x1, y1, y2, colour);
}
