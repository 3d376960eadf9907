// gdImageLine with a short cut for vertical lines, which are nearly all the
// steps of a long log (many records share a column): the pixels are written
// straight into the palette image, the very pixels gdImageLine would set.
#ifndef TRENDLE_FAST_LINE_H_
#define TRENDLE_FAST_LINE_H_

#include <gd.h>

// Draws what gdImageLine(im, x1, y1, x2, y2, colour) draws.
void fast_line(gdImagePtr im, int x1, int y1, int x2, int y2, int colour);

#endif  // TRENDLE_FAST_LINE_H_
