#include "driver/driver.h"

#include <gdfonts.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "chart/key.h"
#include "chart/labels.h"
#include "chart/palette.h"
#include "chart/plot.h"
#include "chart/run_state.h"
#include "chart/scales.h"
#include "chart/scan.h"
#include "chart/ticks.h"
#include "common/fatal.h"
#include "common/text.h"
#include "driver/fields.h"
#include "driver/options.h"
#include "driver/output.h"
#include "input/last_record.h"
#include "input/line_reader.h"
#include "input/record.h"
#include "input/sorted_log.h"
#include "input/time_field.h"

namespace {

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

// The settings with -t, -c and -r resolved through the header's names, and
// each series' name for the key: its field's, in UTF-8.
Settings named(const Settings& typed, LineReader& in, std::string names[kMaxSeries]) {
  std::vector<std::string> fields = field_names(in.header(), typed.delimiter);
  for (std::string& name : fields) name = as_utf8(name);
  Settings s = resolve_fields(typed, &fields);
  for (int n = 0; n < kMaxSeries; ++n) {
    size_t field = s.field_of(n);
    if (field >= 1 && field <= fields.size()) names[n] = fields[field - 1];
  }
  return s;
}

// --names: the series in key order named by the list, as a header names
// them; the ones after the list keep what they had.
void name_series(const char* list, std::string names[kMaxSeries]) {
  std::stringstream items(list);
  std::string name;
  for (int n = 0; n < kMaxSeries && std::getline(items, name, ','); ++n) {
    names[n] = as_utf8(name);
  }
}

// --by: the texts the scan found fixed in the settings, each group's series
// named by its text (and the field's name or number, for several fields),
// and the groups whose texts -r lists on the right scale.
void take_texts(RunState& st, const Scan& scan) {
  Settings& s = st.settings;
  s.by_texts = scan.texts;
  s.by_known = true;
  const int values = static_cast<int>(s.columns.size());
  std::string fields[kMaxSeries];
  for (int v = 0; v < values; ++v) {
    fields[v] = st.names[v].empty() ? std::to_string(s.columns[v]) : st.names[v];
  }
  std::vector<std::string> right;
  if (s.right_spec) {
    std::stringstream items(s.right_spec);
    for (std::string item; std::getline(items, item, ',');) right.push_back(item);
  }
  for (int g = 0; g < static_cast<int>(scan.texts.size()); ++g) {
    const std::string& text = scan.texts[g];
    bool on_right = std::find(right.begin(), right.end(), text) != right.end();
    std::string name = text.empty() ? "\"\"" : as_utf8(text);
    for (int v = 0; v < values; ++v) {
      st.names[g * values + v] = values == 1 ? name : name + " " + fields[v];
      if (on_right) s.right |= 1u << (g * values + v);
    }
  }
  st.left_out = scan.left_out;
}

// The settings with the window from --last before the last record's time,
// unless --from starts it later, up to that time: a stray record dated
// later, earlier in the log, is outside it.
Settings window_at_last(Settings s, LineReader& in) {
  time_t last;
  int nanos;
  if (!last_record_time(in, s, last, nanos)) return s;
  time_t from = last - static_cast<time_t>(s.last_seconds);
  if (!s.has_from || std::tie(from, nanos) > std::tie(s.from_time, s.from_nanos)) {
    s.from_time = from;
    s.from_nanos = nanos;
    s.has_from = true;
  }
  s.to_time = last;
  s.to_nanos = nanos;
  s.has_to = true;
  return s;
}

// The stages from opening the input to the labels, each taking what the
// ones before returned: the settings named by the header and windowed by
// --last, the scan, the records sorted (--sort, out of order), the scales, the
// time span, the grid; then the drawing.
// Any fatal condition throws.
void draw_chart(RunState& st, const Settings& typed) {
  std::unique_ptr<FILE, FileCloser> input(fopen(typed.in_csv, "rb"));
  if (!input) gerr("%s - open failed", typed.in_csv);
  LineReader in(input.get(), typed.in_csv);
  in.drop_lines(typed.skip, typed.header);
  Settings laid = typed.header > 0 ? named(typed, in, st.names) : typed;
  if (typed.names_spec) name_series(typed.names_spec, st.names);
  st.settings = laid.last_seconds > 0 ? window_at_last(laid, in) : laid;
  const Settings& s = st.settings;
  Scan scan = scan_file(s, in);
  if (s.by_field) take_texts(st, scan);
  // A log in time order is drawn as it is read, --sort or not.
  std::optional<SortedLog> sorted;
  if (s.sort && !scan.range.in_order) {
    int series = kMaxSeries;  // up to the last one in use
    while (series > 0 && !scan.range.active[series - 1]) --series;
    // --by: each group's records flag its series, with a value or not.
    if (s.by_field) series = std::max<int>(series, s.by_texts.size() * s.columns.size());
    sorted.emplace(s, in, series);
    if (s.gap_auto) scan.gap = sorted_gap(*sorted, s);
  }
  st.scales = set_scales(scan.range, s, st.margin);
  st.range = fix_time_span(scan.range);
  st.gap = scan.gap;
  if (s.grid) st.ticks = find_ticks(st);
  draw_frame(st);
  draw_grid(st);
  if (sorted) {
    plot_sorted(st, *sorted);
  } else {
    plot_pass(st, in);
  }
  input.reset();
  draw_key(st, s.width);
  draw_labels(st);
}

}  // namespace

int run_trendle(int argc, char** argv, FILE* out, FILE* err) {
  Settings s;  // as typed
  int first = 0;
  if (int status = read_options(argc, argv, s, &first, out, err); status >= 0) return status;
  // The positional arguments: in_csv out_png width height [tform].
  char** arg = argv + first;
  int args = argc - first;
  if (s.fields && args >= 1) {
    s.in_csv = arg[0];
    return print_fields(s, out, err);
  }
  if (args < 4) return usage(err);
  s.in_csv = arg[0];
  s.outname = arg[1];
  bool sizes_fit = read_size(arg[2], s.width);
  sizes_fit = read_size(arg[3], s.height) && sizes_fit;
  if (args >= 5) s.tform = arg[4];
  if (s.unit_digits > 0 && !reads_unix_time(s.tform)) {
    const char* why =
        strchr(s.tform, 's') ? "its 's' is past the six numbers or 12 letters read" : "no 's'";
    return bad_option(err, std::string("--time-unit: tform reads no Unix time (") + why + ")");
  }
  try {
    if (s.header == 0) s = resolve_fields(s, nullptr);
    resolve_window(s);
  } catch (const BadOption& bad) {
    return bad_option(err, bad.what());
  }
  RunState st;
  st.margin = gdFontGetSmall()->h * 3 / 2;
  // --title: the chart is drawn in the rows under the title's, as at their height.
  int title_rows = s.title && sizes_fit && s.height > st.margin ? st.margin : 0;
  s.height -= title_rows;
  st.settings = s;

  if (same_file(s.in_csv, s.outname)) {
    fputs("Output file is the input file.\n", err);
    return 1;
  }
  st.im_out = sizes_fit ? gdImageCreate(s.width, s.height) : nullptr;
  if (!st.im_out) {
    fputs("Failed to create image.\n", err);
    return 1;
  }
  // A width gd accepts is positive, so this cannot overflow. A right scale's
  // labels take a margin as wide as the left one.
  st.plot_width = s.width - (st.margin + 1) - (s.right_spec ? st.margin : 0);
  std::unique_ptr<gdImage, void (*)(gdImagePtr)> image(st.im_out, gdImageDestroy);
  allocate_colours(st);
  try {
    draw_chart(st, s);
  } catch (const Fatal& f) {
    draw_banner(st, f.what());
  } catch (const BadOption& bad) {
    return bad_option(err, bad.what());  // a name the header does not have
  } catch (const std::bad_alloc&) {
    // Under a limit on memory (ulimit -v) any step may run out.
    draw_banner(st, "Out of memory");
  }
  if (title_rows) {
    image.reset(with_title(st, s.title, title_rows));
    if (!image) {
      fputs("Failed to create image.\n", err);
      return 1;
    }
  }
  return write_outfile(st, err);
}
