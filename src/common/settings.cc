#include "common/settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>

void Settings::settle() {
  cells.clear();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) cells.emplace_back(columns[i], i);
  std::sort(cells.begin(), cells.end());
  // A number is read as strtod reads it, which skips blanks and may take
  // letters, signs, points and brackets: a delimiter it could read past, or a
  // decimal comma, needs the value cut out first.
  auto c = static_cast<unsigned char>(delimiter);
  bool readable = isspace(c) || isalnum(c) || strchr(".+-_()", c);
  cut_cells = decimal_comma || readable || thousands;
  comma_cells = decimal_comma && !readable && c != ',' && !thousands;
  time_ends_first = !isdigit(c) && tform[strspn(tform, "dmyYHMS")] == '\0';
}

int Settings::field_of(int n) const {
  if (columns.empty()) return n + 2;
  return n < static_cast<int>(columns.size()) ? columns[n] : 0;
}
