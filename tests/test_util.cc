#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

Image load_png(const std::string& bytes) {
  void* data = const_cast<char*>(bytes.data());
  return Image(gdImageCreateFromPngPtr(static_cast<int>(bytes.size()), data), gdImageDestroy);
}

Image palette_image(int width, int height) {
  // White, the frame grey, then the series colours four times over.
  const int kRgb[] = {0xffffff, 0xbbbbbb, 0x000000, 0x777777, 0x004499,
                      0x00cc00, 0xdd0000, 0x558800, 0xffbb00, 0x00bbff};
  Image im(gdImageCreate(width, height), gdImageDestroy);
  for (int i = 0; im && i < 34; ++i) {
    int c = kRgb[i < 2 ? i : 2 + (i - 2) % 8];
    gdImageColorAllocate(im.get(), c >> 16, c >> 8 & 255, c & 255);
  }
  return im;
}

std::string palette_difference(gdImagePtr got, gdImagePtr want) {
  // Colour `i` of the palette as "r,g,b", or "none" past its end.
  auto colour = [](gdImagePtr im, int i) {
    if (i >= gdImageColorsTotal(im)) return std::string("none");
    return std::to_string(gdImageRed(im, i)) + "," + std::to_string(gdImageGreen(im, i)) + "," +
           std::to_string(gdImageBlue(im, i));
  };
  for (int i = 0; i < std::max(gdImageColorsTotal(got), gdImageColorsTotal(want)); ++i) {
    if (colour(got, i) != colour(want, i))
      return "colour " + std::to_string(i) + " is " + colour(got, i) + ", not " + colour(want, i);
  }
  return "";
}

std::string pixel_difference(gdImagePtr got, gdImagePtr want) {
  if (gdImageSX(got) != gdImageSX(want) || gdImageSY(got) != gdImageSY(want)) return "sizes differ";
  for (int y = 0; y < gdImageSY(want); ++y) {
    for (int x = 0; x < gdImageSX(want); ++x) {
      int g = gdImageGetPixel(got, x, y), w = gdImageGetPixel(want, x, y);
      if (g != w)
        return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") is " +
               std::to_string(g) + ", not " + std::to_string(w);
    }
  }
  return palette_difference(got, want);
}

// Text with C escapes (\n \r \t \v \f \0 \\ \xHH) made literal.
static std::string unescape(const std::string& text) {
  const std::string from = "nrtvf0", to{'\n', '\r', '\t', '\v', '\f', '\0'};
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
    } else if (text[++i] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += from.find(text[i]) != from.npos ? to[from.find(text[i])] : text[i];
    }
  }
  return out;
}

std::vector<std::string> data_lines(const std::string& name) {
  std::ifstream in(std::string(TRENDLE_TEST_DIR) + "/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("# ")) lines.push_back(unescape(line));
  }
  EXPECT_FALSE(lines.empty()) << name;
  return lines;
}
