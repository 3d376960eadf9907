/* trendle-floor OUT_PNG [WIDTH HEIGHT POINTS SERIES]
 * The least a chart of trendle's kind costs: reads nothing, draws 34 colours,
 * a dashed frame, SERIES lines of POINTS points, the key and four labels, and
 * writes the interlaced PNG. The benchmark divides trendle's time by this. */
#include <gd.h>
#include <gdfonts.h>
#include <stdio.h>
#include <stdlib.h>

static unsigned char* text(const char* s) {
  return (unsigned char*)s;
}

int main(int argc, char** argv) {
  int w = argc > 2 ? atoi(argv[2]) : 640, h = argc > 3 ? atoi(argv[3]) : 480;
  int points = argc > 4 ? atoi(argv[4]) : 147, series = argc > 5 ? atoi(argv[5]) : 3;
  if (argc < 2 || w < 40 || h < 40 || points < 2 || series < 1 || series > 32) return 2;
  gdImagePtr im = gdImageCreate(w, h);
  gdFontPtr font = gdFontGetSmall();
  int m = 19, colour[32];
  gdImageColorAllocate(im, 255, 255, 255);
  int grid = gdImageColorAllocate(im, 187, 187, 187);
  for (int n = 0; n < 32; ++n) colour[n] = gdImageColorAllocate(im, n * 8, n * 4, 255 - n * 8);
  gdImageDashedLine(im, m, m, w - 1, m, grid);
  gdImageDashedLine(im, w - 1, m, w - 1, h - m - 1, grid);
  gdImageDashedLine(im, w - 1, h - m - 1, m, h - m - 1, grid);
  gdImageDashedLine(im, m, h - m - 1, m, m, grid);
  char number[4];
  for (int n = 0; n < series; ++n) {
    int x0 = m + n * (w - m) / 4, y = h / 2;
    gdImageLine(im, x0, m / 2, x0 + (w - m) / 12, m / 2, colour[n]);
    snprintf(number, sizeof number, "%d", n);
    gdImageString(im, font, x0 + (w - m) / 8, 3, text(number), colour[0]);
    for (int i = 1; i < points; ++i) { /* a random walk across the plot */
      int next = y + rand() % 9 - 4;
      next = next < m ? m : next > h - m - 1 ? h - m - 1 : next;
      gdImageLine(im, m + (i - 1) * (w - m) / points, y, m + i * (w - m) / points, next, colour[n]);
      y = next;
    }
  }
  gdImageStringUp(im, font, 3, h - m, text("2.8"), colour[0]);
  gdImageStringUp(im, font, 3, m + 30, text("23.61"), colour[0]);
  gdImageString(im, font, m, h - 14, text("00:00"), colour[0]);
  gdImageString(im, font, w - 32, h - 14, text("23:30"), colour[0]);
  gdImageInterlace(im, 1);
  FILE* out = fopen(argv[1], "wb");
  if (!out) return 1;
  gdImagePng(im, out);
  gdImageDestroy(im);
  return fclose(out) != 0;
}
