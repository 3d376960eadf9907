// What the command line asks of a run: the files, the image size, and how the
// log's lines are read. Set by the driver before the input is read; the chart
// and the input only read it.
#ifndef TRENDLE_COMMON_SETTINGS_H_
#define TRENDLE_COMMON_SETTINGS_H_

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
  int time_field = 1;
  // Series i is field columns[i]; empty: the fields after the time field.
  std::vector<int> columns;
  long long skip = 0;    // the first lines, read as nothing
  long long header = 0;  // the line naming the fields, counted before skip; 0: none
  int unit_digits = 0;   // digits of an 's' number below the second: 0, 3, 6 or 9
  // What -t and -c said, names and all, until resolve_fields makes them numbers.
  const char* time_spec = nullptr;
  const char* columns_spec = nullptr;

  // Derived by settle() from the above, for the record reader.
  std::vector<std::pair<int, int>> cells;  // (field, series) of columns, in field order
  bool cut_cells = false;  // a value must be cut at its delimiter and copied to be read
  void settle();

  // The field series n is read from; 0 when there is no series n.
  int field_of(int n) const;
};

#endif  // TRENDLE_COMMON_SETTINGS_H_
