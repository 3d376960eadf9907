#include "chart/fast_line.h"

bool plain_palette(gdImagePtr im, int colour) {
  return !gdImageTrueColor(im) && colour >= 0 && im->thick == 1;
}
