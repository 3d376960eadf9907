// trendle-pngcmp A B ROWS: exit 0 when the PNGs A and B have the same size, palette and
// pixels but in their last ROWS rows (the band of the time labels); else says where they
// differ. For relations that move a log's times, and so its time labels, on purpose.
#include <cstdlib>

#include "test_util.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  Image a = load_png(read_file(argv[1])), b = load_png(read_file(argv[2]));
  if (!a || !b) return 2;
  for (gdImagePtr im : {a.get(), b.get()}) {
    int h = gdImageSY(im);
    gdImageFilledRectangle(im, 0, h - atoi(argv[3]), gdImageSX(im) - 1, h - 1, 0);
  }
  std::string diff = pixel_difference(a.get(), b.get());
  if (!diff.empty()) fprintf(stderr, "%s: %s\n", argv[1], diff.c_str());
  return !diff.empty();
}
