#include "chart/value_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

void value_text(char* buf, size_t size, double v, int digits, bool si) {
  if (!si || v == 0 || !std::isfinite(v)) {
    snprintf(buf, size, "%.*g", digits, v);
    return;
  }
  // Rounded first, so that 999.96 with 4 digits is 1k, not 1000.
  char rounded[40];
  snprintf(rounded, sizeof rounded, "%.*e", digits - 1, v);
  double r = strtod(rounded, nullptr);
  static const char* const kPrefixes[] = {"a", "f", "p", "n", "u", "m", "",
                                          "k", "M", "G", "T", "P", "E"};
  int k = 0;
  double scale = 1;  // 1000^|k|, exact
  while (std::fabs(r) >= 1000 * scale && k < 6) ++k, scale *= 1000;
  while (k <= 0 && std::fabs(r) * scale < 1 && k > -6) --k, scale *= 1000;
  double m = k >= 0 ? r / scale : r * scale;
  snprintf(buf, size, "%.*g%s", digits, m, kPrefixes[k + 6]);
}
