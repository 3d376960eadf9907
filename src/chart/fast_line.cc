#include "chart/fast_line.h"

bool plain_palette(gdImagePtr im, int colour) {
  return !gdImageTrueColor(im) && colour >= 0 && im->thick == 1 && im->cx1 == 0 && im->cy1 == 0 &&
         im->cx2 == gdImageSX(im) - 1 && im->cy2 == gdImageSY(im) - 1;
}
