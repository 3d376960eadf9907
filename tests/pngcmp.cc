// trendle-pngcmp A B ROWS [X0 Y0 X1 Y1]...: exit 0 when the PNGs A and B have the same size,
// palette and pixels but in their last ROWS rows (the band of the time labels) and in the
// rectangles given, corners included; else says where they differ. For relations that move
// a log's times, or its value scale, and so their labels, on purpose.
// trendle-pngcmp --series X0 Y0 X1 Y1 GOT ALONE...: exit 0 when, in that rectangle, each pixel
// of GOT in series k's colour (index 2 + k) is one that ALONE k, the chart of that series by
// itself, draws in its colour (index 2), and every other pixel is what each ALONE has there:
// the series are drawn as each alone, one over another, and nothing else there differs.
// trendle-pngcmp --grid GRID PLAIN X0 Y0 X1 Y1 [TOP]: exit 0 when GRID and PLAIN, charts of one log
// with and without the grid, differ only where GRID has grey (index 1) inside the rectangle (the
// plot area's inside, corners included) and text (index 2) outside it, PLAIN white. Then prints
// "row Y" and "column X" for each of its rows and columns a third or more grey in GRID where
// PLAIN is white (12 such pixels at least: series drawn over a line hide it),
// then "bottom C TEXT", "left C TEXT" and "right C TEXT" (at X1 + 5, when there is room) for
// each text of the small font in GRID: in the bottom band left to right, then upwards in each
// margin top to bottom (from row TOP down: the key's row may reach a margin), C the x, or the y,
// of its middle. A text it cannot read fails it.
// trendle-pngcmp --below ROWS A B: exit 0 when A is B with ROWS rows above it, on the same
// palette; prints the text in those rows as --key prints the key's.
// trendle-pngcmp --key PNG: prints the key, left to right: "line X0 X1" for each run of one series'
// colour (index 3 on: leave series 0 out) along the sample lines' row, then "text C TEXT" for each
// text in the key's row from the margin on, as --grid prints them.
#include <gdfonts.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

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

// Glyph pixel (cx, cy) of the cell from u is at image position at(u + cx, cy): u counts pixels
// in the reading direction.
using Place = std::function<std::array<int, 2>(int u, int cy)>;

// Reads the texts along [lo, hi] into `out` as "name C TEXT", C = sign * (middle's u), and erases
// them from `im`, so that no other reader sees them. False, after saying where, on a text whose
// cells are not all characters of the font.
bool read_texts(gdImagePtr im, const char* path, const char* name, int sign, int lo, int hi,
                const Place& at, std::vector<std::string>& out) {
  gdFontPtr f = gdFontGetSmall();
  // Each glyph's pixels as 0/1 bytes; the first character wins, only blank glyphs repeat.
  static const std::map<std::string, char> kGlyphs = [f] {
    std::map<std::string, char> m;
    for (int c = 0; c < f->nchars; ++c) {
      std::string g(f->data + c * f->w * f->h, f->w * f->h);
      for (char& b : g) b = b != 0;
      m.emplace(g, static_cast<char>(f->offset + c));
    }
    return m;
  }();
  size_t first = out.size();
  auto ink = [&](int u, int cy) {
    auto [x, y] = at(u, cy);
    return gdImageBoundsSafe(im, x, y) && gdImageGetPixel(im, x, y) == 2;
  };
  // The character in the cell from u: ' ' when blank, '\0' when none.
  auto cell = [&](int u) {
    std::string g(f->w * f->h, 0);
    for (int i = 0; i < f->w * f->h; ++i) g[i] = ink(u + i % f->w, i / f->w);
    if (g.find('\1') == std::string::npos) return ' ';
    auto it = kGlyphs.find(g);
    return it == kGlyphs.end() ? '\0' : it->second;
  };
  // A blank cell ends an upward text, a number; two end one along the bottom ("Tue 07").
  const char* stop = sign < 0 ? " " : "  ";
  auto decode = [&](int start, std::string& text) {
    text.clear();
    for (int u = start; !text.ends_with(stop); u += f->w) {
      char c = cell(u);
      if (c == '\0') return false;
      text += c;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return true;
  };
  for (int u = lo; u <= hi; ++u) {
    int cy = 0;
    while (cy < f->h && !ink(u, cy)) ++cy;
    if (cy == f->h) continue;
    // A glyph's first columns may be blank.
    std::string text;
    int start = u;
    while (start > u - f->w && !decode(start, text)) --start;
    if (start == u - f->w) {
      auto [x, y] = at(u, cy);
      return fprintf(stderr, "%s: unreadable text at (%d,%d)\n", path, x, y), false;
    }
    int end = start + f->w * static_cast<int>(text.size());
    out.push_back(name + (" " + std::to_string(sign * (start + end) / 2)) + " " + text);
    for (int v = start; v < end; ++v) {
      for (cy = 0; cy < f->h; ++cy) {
        auto [x, y] = at(v, cy);
        if (ink(v, cy)) gdImageSetPixel(im, x, y, 0);
      }
    }
    u = end - 1;
  }
  // Upwards, the walk meets the texts bottom first.
  if (sign < 0) std::reverse(out.begin() + static_cast<long>(first), out.end());
  return true;
}

int grid(int argc, char** argv) {
  if (argc != 6 && argc != 7) return 2;
  int top = argc == 7 ? atoi(argv[6]) : 0;
  int n[4];
  for (int i = 0; i < 4; ++i) {
    char* end;
    n[i] = static_cast<int>(strtol(argv[2 + i], &end, 10));
    if (end == argv[2 + i] || *end) return 2;
  }
  auto [x0, y0, x1, y1] = n;
  Image g = load_png(read_file(argv[0])), p = load_png(read_file(argv[1]));
  if (!g || !p) return 2;
  int w = gdImageSX(g.get()), h = gdImageSY(g.get());
  if (x0 < 0 || y0 < 0 || x1 < x0 || y1 < y0 || x1 >= w || y1 >= h) return 2;
  std::string diff = w == gdImageSX(p.get()) && h == gdImageSY(p.get())
                         ? palette_difference(g.get(), p.get())
                         : "sizes differ";
  if (!diff.empty()) return fprintf(stderr, "%s: %s\n", argv[0], diff.c_str()), 1;
  // Of each row and column inside: the pixels white in PLAIN, and those of them grey in GRID.
  std::vector<int> rows(h), columns(w), open_rows(h), open_columns(w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int a = gdImageGetPixel(g.get(), x, y), b = gdImageGetPixel(p.get(), x, y);
      bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
      if (inside && b == 0) ++open_rows[y], ++open_columns[x];
      if (a == b) continue;
      if (b != 0 || a != (inside ? 1 : 2))
        return fprintf(stderr, "%s: pixel (%d,%d) is %d, not %d\n", argv[0], x, y, a, b), 1;
      if (inside) ++rows[y], ++columns[x];
    }
  }
  auto line = [](int grey, int open) { return open >= 12 && 3 * grey >= open; };
  for (int y = y0; y <= y1; ++y) {
    if (line(rows[y], open_rows[y])) printf("row %d\n", y);
  }
  for (int x = x0; x <= x1; ++x) {
    if (line(columns[x], open_columns[x])) printf("column %d\n", x);
  }
  // The margins first: a long value label reaches into the bottom band.
  int fh = gdFontGetSmall()->h;
  // Above TOP nothing is read: a pixel there is as good as off the image.
  auto up = [top](int x) -> Place {
    return [x, top](int u, int cy) { return std::array{x + cy, -u < top ? -1 : -u}; };
  };
  Place along = [h, fh](int u, int cy) { return std::array{u, h - fh + cy}; };
  std::vector<std::string> side, bottom;
  if (!read_texts(g.get(), argv[0], "left", -1, 1 - h, -top, up(3), side)) return 1;
  if (x1 + 5 + fh - 1 < w &&
      !read_texts(g.get(), argv[0], "right", -1, 1 - h, -top, up(x1 + 5), side))
    return 1;
  if (!read_texts(g.get(), argv[0], "bottom", 1, 0, w - 1, along, bottom)) return 1;
  for (auto* lines : {&bottom, &side}) {
    for (const std::string& line : *lines) printf("%s\n", line.c_str());
  }
  return 0;
}

int key(int argc, char** argv) {
  if (argc != 1) return 2;
  Image im = load_png(read_file(argv[0]));
  if (!im) return 2;
  gdFontPtr f = gdFontGetSmall();
  int margin = f->h * 3 / 2, w = gdImageSX(im.get());
  for (int x = 0, end = 0; x < w; x = end + 1) {
    int c = gdImageGetPixel(im.get(), x, margin / 2);
    for (end = x; end + 1 < w && gdImageGetPixel(im.get(), end + 1, margin / 2) == c;) ++end;
    if (c >= 3) printf("line %d %d\n", x, end);
  }
  Place along = [&](int u, int cy) { return std::array{u, margin / 2 - f->h / 2 + cy}; };
  std::vector<std::string> texts;
  if (!read_texts(im.get(), argv[0], "text", 1, margin, w - 1, along, texts)) return 1;
  for (const std::string& t : texts) printf("%s\n", t.c_str());
  return 0;
}

// --below ROWS A B: A is B under ROWS rows, on the same palette; prints the text in those rows.
int below(int argc, char** argv) {
  if (argc != 3) return 2;
  int rows = atoi(argv[0]);
  Image a = load_png(read_file(argv[1])), b = load_png(read_file(argv[2]));
  if (!a || !b) return 2;
  int w = gdImageSX(b), h = gdImageSY(b);
  if (gdImageSX(a) != w || gdImageSY(a) != h + rows || rows < 1) return 2;
  Image under(gdImageCreate(w, h), gdImageDestroy);
  for (int i = 0; i < gdImageColorsTotal(a.get()); ++i)
    gdImageColorAllocate(under.get(), gdImageRed(a.get(), i), gdImageGreen(a.get(), i),
                         gdImageBlue(a.get(), i));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      gdImageSetPixel(under.get(), x, y, gdImageGetPixel(a.get(), x, y + rows));
  std::string diff = pixel_difference(under.get(), b.get());
  if (!diff.empty()) fprintf(stderr, "%s: below the title, %s\n", argv[1], diff.c_str());
  gdFontPtr f = gdFontGetSmall();
  Place along = [&](int u, int cy) { return std::array{u, rows / 2 - f->h / 2 + cy}; };
  std::vector<std::string> texts;
  if (!read_texts(a.get(), argv[1], "text", 1, 0, w - 1, along, texts)) return 1;
  for (const std::string& t : texts) printf("%s\n", t.c_str());
  return !diff.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--series") == 0) return series(argc - 2, argv + 2);
  if (argc > 1 && strcmp(argv[1], "--grid") == 0) return grid(argc - 2, argv + 2);
  if (argc > 1 && strcmp(argv[1], "--key") == 0) return key(argc - 2, argv + 2);
  if (argc > 1 && strcmp(argv[1], "--below") == 0) return below(argc - 2, argv + 2);
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
