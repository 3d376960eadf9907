#include "input/time_field.h"

#include <climits>
#include <cstring>

#include "common/fatal.h"

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the digit run at s, or its part before `stop`, into *value, returning
// its end. A run past 18 digits saturates at kMaxUnixSeconds, without overflow.
const char* read_digits(const char* s, long long* value, const char* stop = nullptr) {
  unsigned long long n = 0;  // below 10^18 before a step, below 2^64 after
  for (; is_digit(*s) && s != stop; ++s) {
    if (n <= kMaxUnixSeconds) n = n * 10 + (*s - '0');
  }
  *value = n > kMaxUnixSeconds ? kMaxUnixSeconds : static_cast<long long>(n);
  return s;
}

// Whether a letter in use (the first six) is 's'.
bool has_unix_letter(const char* tform) {
  for (int i = 0; i < 6 && tform[i]; ++i) {
    if (tform[i] == 's') return true;
  }
  return false;
}

// Whether the text before the first delimiter holds a digit.
bool digit_before_comma(const char* text, char delimiter) {
  for (; *text && *text != delimiter; ++text) {
    if (is_digit(*text)) return true;
  }
  return false;
}

void store_field(TimeFields& out, const char* tform, int i, long long value) {
  struct tm* tm = &out.tm;
  // Every letter but 's' takes an int; a longer run saturates.
  int n = value > INT_MAX ? INT_MAX : static_cast<int>(value);
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
    case 's':
      out.unix_seconds = value;
      break;
    default:
      gerr("%s: '%c' is not a valid conversion code.", tform, tform[i]);
  }
}

}  // namespace

TimeField get_time(const char* text, const Settings& settings, TimeFields& out) {
  const char* tform = settings.tform;
  const char comma = settings.delimiter;
  memset(&out.tm, 0, sizeof out.tm);
  out.tm.tm_isdst = -1;
  out.unix_seconds = -1;
  // Unix times need none of the date's separators, only a digit.
  if (!strpbrk(text, "/:-") && !(has_unix_letter(tform) && digit_before_comma(text, comma))) {
    return TimeField::none;
  }

  // Every byte before p has been looked at, so the line's first delimiter is
  // known without reading the time field again.
  const char* first_comma = nullptr;
  const char* p = text;
  int i = 0;
  while (i < 6) {
    if (*p == '\0') return TimeField::unreadable;
    if (*p == comma) break;
    // Only the letters in use are looked at, never the rest of tform.
    if (tform[i] == '\0') break;
    while (!is_digit(*p)) {
      if (*p == comma) {
        if (i == 0) return TimeField::none;
        out.comma = first_comma ? first_comma : p;
        return TimeField::read;
      }
      if (*p == '\0') return TimeField::unreadable;
      ++p;
    }
    long long n;
    const char* end = read_digits(p, &n);
    // A Unix time in smaller units: its digits below the second dropped.
    if (tform[i] == 's' && settings.unit_digits > 0) {
      read_digits(p, &n, end - p > settings.unit_digits ? end - settings.unit_digits : p);
    }
    store_field(out, tform, i, n);
    if (*end == comma && !first_comma) first_comma = end;
    p = *end == '\0' ? end : end + 1;
    ++i;
  }
  if (i == 0) return TimeField::unreadable;
  out.comma = first_comma ? first_comma : strchr(p, comma);
  return TimeField::read;
}
