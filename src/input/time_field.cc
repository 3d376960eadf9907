#include "time_field.h"

#include <climits>
#include <cstring>

#include "driver/fatal.h"

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the digit run at s into *value, returning its end; a run too long
// for int saturates.
const char* read_digits(const char* s, int* value) {
  long long n = 0;
  for (; is_digit(*s); ++s) {
    if (n <= INT_MAX) n = n * 10 + (*s - '0');
  }
  *value = n > INT_MAX ? INT_MAX : static_cast<int>(n);
  return s;
}

void store_field(struct tm* tm, const char* tform, int i, int n) {
  switch (tform[i]) {
    case 'd':
      tm->tm_mday = n;
      break;
    case 'm':
      tm->tm_mon = n;
      break;
    case 'y':
      tm->tm_year = n <= 69 ? n + 100 : n;
      break;
    case 'Y':
      tm->tm_year = n - 1900;
      break;
    case 'H':
      tm->tm_hour = n;
      break;
    case 'M':
      tm->tm_min = n;
      break;
    case 'S':
      tm->tm_sec = n;
      break;
    default:
      gerr("%s: '%c' is not a valid conversion code.", tform, tform[i]);
  }
}

}  // namespace

TimeField get_time(const char* text, struct tm* tm, const char* tform, const char** comma) {
  memset(tm, 0, sizeof *tm);
  tm->tm_isdst = -1;
  if (!strpbrk(text, "/:-")) return TimeField::none;

  // Every byte before p has been looked at, so the line's first ',' is
  // known without reading the time field again.
  const char* first_comma = nullptr;
  const char* p = text;
  int i = 0;
  while (i < 6) {
    if (*p == '\0') return TimeField::unreadable;
    if (*p == ',') break;
    // Only the letters in use are looked at, never the rest of tform.
    if (tform[i] == '\0') break;
    while (!is_digit(*p)) {
      if (*p == ',') {
        if (i == 0) return TimeField::none;
        if (comma) *comma = first_comma ? first_comma : p;
        return TimeField::read;
      }
      if (*p == '\0') return TimeField::unreadable;
      ++p;
    }
    int n;
    const char* end = read_digits(p, &n);
    store_field(tm, tform, i, n);
    if (*end == ',' && !first_comma) first_comma = end;
    p = *end == '\0' ? end : end + 1;
    ++i;
  }
  if (i == 0) return TimeField::unreadable;
  if (comma) *comma = first_comma ? first_comma : strchr(p, ',');
  return TimeField::read;
}
