// What the command line asks of a run: the files, the image size, and how the
// log's lines are read. Read from the command line and then constant; the
// stages before the scan return copies with the fields named by the header
// and the window fixed by --last. The chart and the input only read them.
#ifndef TRENDLE_COMMON_SETTINGS_H_
#define TRENDLE_COMMON_SETTINGS_H_

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

constexpr int kMaxSeries = 32;

struct Settings {
  const char* in_csv = nullptr;
  const char* outname = nullptr;
  int width = 0;
  int height = 0;
  const char* tform = "dmyHMS";

  // The layout. Fields are the texts between delimiters, numbered from 1.
  char delimiter = ',';
  bool decimal_comma = false;  // a ',' in a value is its decimal point
  char thousands = '\0';       // passed over between two digits of a value's whole part
  // The month names b reads besides the English ones, January first, in lower case; or none.
  std::vector<std::string> months;
  int time_field = 1;
  // Series i is field columns[i]; empty: the fields after the time field.
  std::vector<int> columns;
  long long skip = 0;                // the first lines, read as nothing
  long long header = 0;              // the line naming the fields, counted before skip; 0: none
  int unit_digits = 0;               // digits of an 's' number below the second: 0, 3, 6 or 9
  const char* names_spec = nullptr;  // --names: the series' names in key order, comma-separated
  bool fields = false;               // --fields: list the fields instead of charting
  // --match: a row is a record only where each field holds one of its texts.
  struct Match {
    int field;
    std::vector<std::string> texts;
  };
  std::vector<Match> matches;
  std::vector<const char*> match_specs;  // as typed, FIELD=TEXT, until resolve_fields
  // --by: each text of by_field makes the series of its rows, the -c
  // fields' values of text k being series k * columns.size() on. Until
  // by_known any text is read (Sample::group -1 for one not in by_texts);
  // after the scan only by_texts, the rest passed over.
  const char* by_spec = nullptr;
  int by_field = 0;
  std::vector<std::string> by_texts;
  bool by_known = false;
  int by_capacity() const { return columns.empty() ? 0 : kMaxSeries / int(columns.size()); }
  // What -t and -c said, names and all, until resolve_fields makes them numbers.
  const char* time_spec = nullptr;
  const char* columns_spec = nullptr;

  // The view. Panels: a band and a scale per series; right: bit n puts series
  // n on a second scale, labelled on the right.
  bool panels = false;
  bool grid = false;            // -g: lines at round values and times
  bool dates = false;           // -D: the first and last time labels carry the date
  bool si = false;              // --si: value labels with SI prefixes
  bool elapsed = false;         // --elapsed: time labels count from the first record
  const char* title = nullptr;  // --title: a row above the key
  const char* right_spec = nullptr;
  uint32_t right = 0;
  bool has_min = false, has_max = false;  // --min and --max set every scale's ends
  float min_value = 0, max_value = 0;
  // How lines are drawn: no line joins points more than gap_ms apart (0: any
  // are joined; with gap_auto five times the log's usual step); with join a
  // cell without a value does not break its series' line.
  long long gap_ms = 0;
  bool gap_auto = false;
  bool join = false;
  enum class Style { line, steps, points } style = Style::line;
  // Records drawn in time order, those at equal times in file order.
  bool sort = false;
  // The window: only records from `from` to `to` (seconds, nanoseconds) are
  // charted; with --last, from that long before the last record to it.
  const char* from_spec = nullptr;
  const char* to_spec = nullptr;
  long long last_seconds = 0;  // 0: no --last
  bool windowed = false;
  time_t from_time = 0, to_time = 0;
  int from_nanos = 0, to_nanos = 0;
  bool has_from = false, has_to = false;

  // Derived by settle() from the above, for the record reader.
  std::vector<std::pair<int, int>> cells;  // (field, series) of columns, in field order
  bool cut_cells = false;    // a value must be cut at its delimiter and copied to be read
  bool comma_cells = false;  // cut only for its decimal comma: a usual one is read in place
  // A usual time field read where it stands ends at the first delimiter
  // after it: tform has only numbers (no letter reads on past the last one),
  // and the delimiter is no digit.
  bool time_ends_first = false;
  void settle();

  // The field series n is read from; 0 when there is no series n.
  int field_of(int n) const;
};

#endif  // TRENDLE_COMMON_SETTINGS_H_
