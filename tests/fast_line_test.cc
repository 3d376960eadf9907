#include "fast_line.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "test_util.h"

namespace {

// Draws the same random lines with gdImageLine and with fast_line on two
// images and counts the pixels that differ.
int differing_pixels(int width, int height, int lines, bool vertical, uint64_t seed,
                     void (*setup)(gdImagePtr)) {
  Image want(gdImageCreate(width, height), gdImageDestroy);
  Image got(gdImageCreate(width, height), gdImageDestroy);
  for (gdImagePtr im : {want.get(), got.get()}) {
    for (int c = 0; c < 34; ++c) gdImageColorAllocate(im, c * 7, 255 - c * 7, c);
    if (setup) setup(im);
  }
  auto next = [&seed](int lo, int hi) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return lo + static_cast<int>((seed >> 33) % static_cast<uint64_t>(hi - lo + 1));
  };
  for (int i = 0; i < lines; ++i) {
    // Ends well outside the image too, where gd clips.
    int x1 = next(-20, width + 20), y1 = next(-40, height + 40), y2 = next(-40, height + 40);
    int x2 = vertical ? x1 : next(-20, width + 20);
    int colour = next(2, 33);
    gdImageLine(want.get(), x1, y1, x2, y2, colour);
    fast_line(got.get(), x1, y1, x2, y2, colour, plain_palette(got.get(), colour));
  }
  int differ = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      differ += gdImageGetPixel(want.get(), x, y) != gdImageGetPixel(got.get(), x, y);
  return differ;
}

TEST(FastLineTest, SamePixelsAsGdImageLine) {
  struct Case {
    const char* name;
    bool vertical;
    void (*setup)(gdImagePtr);
  };
  const Case kCases[] = {
      {"vertical", true, nullptr},
      {"any direction", false, nullptr},
      // Where the short cut does not hold, gd draws.
      {"thick", true, [](gdImagePtr im) { gdImageSetThickness(im, 3); }},
      {"clipped", true, [](gdImagePtr im) { gdImageSetClip(im, 10, 5, 60, 30); }},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(differing_pixels(97, 53, 3000, c.vertical, 7, c.setup), 0) << c.name;
  }
}

}  // namespace
