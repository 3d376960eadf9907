#include "driver/driver.h"

#include <gdfonts.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "chart/labels.h"
#include "chart/palette.h"
#include "chart/plot.h"
#include "chart/run_state.h"
#include "chart/scan.h"
#include "common/fatal.h"
#include "driver/output.h"
#include "input/line_reader.h"

namespace {

constexpr const char* kFormatHelp =
    "tform is a string of time format speciers, with no punctuation.\n"
    "d date\n"
    "m month\n"
    "y year without century\n"
    "Y year with century\n"
    "H hour (0-23)\n"
    "M minute\n"
    "S second\n"
    "s seconds since 1970-01-01 00:00:00 UTC (Unix time)\n"
    "e.g. \"dmyHMS\" for British format, \"mdyHMS\" for US.\n";

int usage(FILE* err) {
  fprintf(err, "trendle / trendix version %s\n", TRENDLE_VERSION);
  fprintf(err, "Usage: trendle in_csv out_png width height [tform]\n");
  fprintf(err, "%s", kFormatHelp);
  return 2;
}

// Writing the chart over the log it was drawn from would destroy the log.
bool same_file(const char* a, const char* b) {
  struct stat sa, sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Reads a size as atoi does (blanks, a sign, digits, the rest ignored); false
// when it lies outside int's range, where atoi would wrap it to some other size.
bool read_size(const char* text, int& size) {
  long long n = strtoll(text, nullptr, 10);
  size = static_cast<int>(n);
  return n >= INT_MIN && n <= INT_MAX;
}

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// Steps from opening the input to the labels; any fatal condition throws.
void draw_chart(RunState& st) {
  std::unique_ptr<FILE, FileCloser> input(fopen(st.settings.in_csv, "rb"));
  if (!input) gerr("%s - open failed", st.settings.in_csv);
  LineReader in(input.get(), st.settings.in_csv);
  scan_file(st, in);
  fix_ranges(st.range);
  draw_frame(st);
  plot_pass(st, in);
  input.reset();
  draw_key(st, st.settings.width);
  draw_labels(st);
}

}  // namespace

int run_trendle(int argc, char** argv, FILE* err) {
  if (argc <= 4) return usage(err);
  RunState st;
  st.settings.in_csv = argv[1];
  st.settings.outname = argv[2];
  bool sizes_fit = read_size(argv[3], st.settings.width);
  sizes_fit = read_size(argv[4], st.settings.height) && sizes_fit;
  if (argc >= 6) st.settings.tform = argv[5];
  st.margin = gdFontGetSmall()->h * 3 / 2;

  if (same_file(st.settings.in_csv, st.settings.outname)) {
    fputs("Output file is the input file.\n", err);
    return 1;
  }
  st.im_out = sizes_fit ? gdImageCreate(st.settings.width, st.settings.height) : nullptr;
  if (!st.im_out) {
    fputs("Failed to create image.\n", err);
    return 1;
  }
  // A width gd accepts is positive, so this cannot overflow.
  st.plot_width = st.settings.width - (st.margin + 1);
  std::unique_ptr<gdImage, void (*)(gdImagePtr)> image(st.im_out, gdImageDestroy);
  allocate_colours(st);
  try {
    draw_chart(st);
  } catch (const Fatal& f) {
    draw_banner(st, f.what());
  } catch (const std::bad_alloc&) {
    // Only a line longer than the memory can hold asks for that much.
    draw_banner(st, std::string(st.settings.in_csv) + " - read failed");
  }
  return write_outfile(st, err);
}
