// trendle-pngcmp A B ROWS [X0 Y0 X1 Y1]...: exit 0 when the PNGs A and B have the same size,
// palette and pixels but in their last ROWS rows (the band of the time labels) and in the
// rectangles given, corners included; else says where they differ. For relations that move
// a log's times, or its value scale, and so their labels, on purpose.
// trendle-pngcmp --series X0 Y0 X1 Y1 GOT ALONE...: exit 0 when, in that rectangle, each pixel
// of GOT in series k's colour (index 2 + k) is one that ALONE k, the chart of that series by
// itself, draws in its colour (index 2), and every other pixel is what each ALONE has there:
// the series are drawn as each alone, one over another, and nothing else there differs.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "test_util.h"

namespace {

int series(int argc, char** argv) {
  if (argc < 6) return 2;
  int x0 = atoi(argv[0]), y0 = atoi(argv[1]), x1 = atoi(argv[2]), y1 = atoi(argv[3]);
  Image got = load_png(read_file(argv[4]));
  std::vector<Image> alone;
  for (int i = 5; i < argc; ++i) alone.push_back(load_png(read_file(argv[i])));
  for (Image& im : alone) {
    for (gdImagePtr i : {got.get(), im.get()}) {
      if (!i || x0 < 0 || y0 < 0 || x1 >= gdImageSX(i) || y1 >= gdImageSY(i)) return 2;
    }
    std::string diff = palette_difference(got.get(), im.get());
    if (!diff.empty()) return fprintf(stderr, "%s: %s\n", argv[4], diff.c_str()), 1;
  }
  auto at = [](Image& im, int x, int y) { return gdImageGetPixel(im.get(), x, y); };
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      int g = at(got, x, y), k = g - 2;
      bool ok = k >= 0 && k < static_cast<int>(alone.size())
                    ? at(alone[k], x, y) == 2
                    : std::ranges::all_of(alone, [&](Image& im) { return at(im, x, y) == g; });
      if (!ok) return fprintf(stderr, "%s: pixel (%d,%d) is %d\n", argv[4], x, y, g), 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--series") == 0) return series(argc - 2, argv + 2);
  if (argc < 4 || (argc - 4) % 4) return 2;
  Image a = load_png(read_file(argv[1])), b = load_png(read_file(argv[2]));
  if (!a || !b) return 2;
  for (gdImagePtr im : {a.get(), b.get()}) {
    int h = gdImageSY(im), rows = atoi(argv[3]);
    // gd would swap the corners of the empty band of 0 rows, and blank the last row.
    if (rows > 0) gdImageFilledRectangle(im, 0, h - rows, gdImageSX(im) - 1, h - 1, 0);
    for (int i = 4; i < argc; i += 4) {
      gdImageFilledRectangle(im, atoi(argv[i]), atoi(argv[i + 1]), atoi(argv[i + 2]),
                             atoi(argv[i + 3]), 0);
    }
  }
  std::string diff = pixel_difference(a.get(), b.get());
  if (!diff.empty()) fprintf(stderr, "%s: %s\n", argv[1], diff.c_str());
  return !diff.empty();
}
