#include "input/time_field.h"

#include <strings.h>

#include <climits>
#include <cstring>

#include "common/fatal.h"
#include "input/time_letters.h"
#include "input/usual_time.h"

// What the full loop and the fast path share.
using namespace time_letters;

namespace {

bool reads_in_place(char letter) {
  return letter == 'f' || letter == 'p' || letter == 'z';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_letter(char c) {
  return lower(c) >= 'a' && lower(c) <= 'z';
}

const char* letters_end(const char* s) {
  while (is_letter(*s)) ++s;
  return s;
}

// Whether [from, to) are the first letters of `word` (lower case), in any case.
bool begins(const char* from, const char* to, const char* word) {
  for (; from < to; ++from, ++word) {
    if (*word == '\0' || lower(*from) != *word) return false;
  }
  return true;
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

// The digits from s to `end` as nanoseconds: a fraction's digits, the first
// for tenths and nine at most (`places` 0), or a Unix time's last `places`
// digits, right-aligned.
int nanos_of(const char* s, const char* end, int places) {
  long long n = 0;
  int count = 0;
  for (; s < end && count < 9; ++s, ++count) n = n * 10 + (*s - '0');
  for (int k = places > 0 ? places : count; k < 9; ++k) n *= 10;
  return static_cast<int>(n);
}

// Whether the text before the first delimiter holds a digit.
bool digit_before_comma(const char* text, char delimiter) {
  for (; *text && *text != delimiter; ++text) {
    if (is_digit(*text)) return true;
  }
  return false;
}

// The month (1 to 12) the letters [from, to) name, in full, by their first
// three letters or as "Sept", in any case; else 0.
int month_named(const char* from, const char* to) {
  static const char* const kMonths[] = {"january",   "february", "march",    "april",
                                        "may",       "june",     "july",     "august",
                                        "september", "october",  "november", "december"};
  size_t length = to - from;
  for (int m = 0; m < 12; ++m) {
    size_t full = strlen(kMonths[m]);
    bool size_fits = length == full || length == 3 || (m == 8 && length == 4);
    if (size_fits && begins(from, to, kMonths[m])) return m + 1;
  }
  return 0;
}

// The month (1 to 12) of the other names (--months) at s, whole, in any
// case; else 0, with `end` unchanged.
int other_month(const char* s, const std::vector<std::string>& months, const char*& end) {
  for (int m = 0; m < static_cast<int>(months.size()); ++m) {
    const std::string& name = months[m];
    const char* after = s + name.size();
    if (strncasecmp(s, name.c_str(), name.size()) == 0 && !is_letter(*after) &&
        static_cast<unsigned char>(*after) < 0x80) {
      end = after;
      return m + 1;
    }
  }
  return 0;
}

// The next month name from s on, before the delimiter: its end, with the
// month in *month; else where the search stopped (the delimiter or the end
// of text), with *month 0.
const char* find_month(const char* s, char comma, const std::vector<std::string>& months,
                       int* month) {
  *month = 0;
  while (*s && *s != comma) {
    if (!is_letter(*s)) {
      ++s;
      continue;
    }
    const char* end = letters_end(s);
    if ((*month = month_named(s, end))) return end;
    if (!months.empty() && (*month = other_month(s, months, end))) return end;
    s = end;
  }
  return s;
}

// The end of "am", "P.M." and the like at s, in any case; else nullptr.
const char* meridian_end(const char* s, char comma) {
  const char* r = s + 1;
  if (*r == '.' && comma != '.') ++r;
  if (lower(*r) != 'm') return nullptr;
  ++r;
  if (*r == '.' && comma != '.') ++r;
  return is_letter(*r) ? nullptr : r;
}

// 1 for AM, 2 for PM: the next such word from s on, before the delimiter,
// with s moved past it; else 0.
int find_meridian(const char*& s, char comma) {
  for (const char* q = s; *q && *q != comma;) {
    if (!is_letter(*q)) {
      ++q;
      continue;
    }
    char c = lower(*q);
    const char* end = c == 'a' || c == 'p' ? meridian_end(q, comma) : nullptr;
    if (end) {
      s = end;
      return c == 'a' ? 1 : 2;
    }
    q = letters_end(q);
  }
  return 0;
}

// The offset of "+hh", "+hhmm" or "+hh:mm" (or '-') at s, in seconds, with s
// moved past it; false when s holds none.
bool signed_offset(const char*& s, long& offset) {
  const char* digits = s + 1;
  const char* end = digits;
  long v = 0;
  for (; is_digit(*end) && end - digits < 5; ++end) v = v * 10 + (*end - '0');
  long length = end - digits;
  if (length == 0 || length > 4 || is_digit(*end)) return false;
  long hours = length <= 2 ? v : v / 100, minutes = length <= 2 ? 0 : v % 100;
  if (length <= 2 && end[0] == ':' && is_digit(end[1]) && is_digit(end[2]) && !is_digit(end[3])) {
    minutes = (end[1] - '0') * 10 + (end[2] - '0');
    end += 3;
  }
  if (hours > 23 || minutes > 59) return false;
  offset = (hours * 3600 + minutes * 60) * (*s == '-' ? -1 : 1);
  s = end;
  return true;
}

// Whether [from, to) names UTC itself: "Z", "UTC" or "GMT", in any case.
bool utc_word(const char* from, const char* to) {
  if (to - from == 1) return lower(*from) == 'z';
  return to - from == 3 && (begins(from, to, "utc") || begins(from, to, "gmt"));
}

// The next UTC offset from s on, before the delimiter, with s moved past it:
// a sign and hours (letters such as GMT before it are passed over), or a
// word for UTC itself; false when there is none.
bool find_offset(const char*& s, char comma, long& offset) {
  for (const char* q = s; *q && *q != comma;) {
    bool sign = (*q == '+' || *q == '-') && is_digit(q[1]);
    const char* at = q;
    if (sign && signed_offset(at, offset)) {
      s = at;
      return true;
    }
    if (!is_letter(*q)) {
      ++q;
      continue;
    }
    const char* end = letters_end(q);
    bool signed_next = (*end == '+' || *end == '-') && is_digit(end[1]);
    if (utc_word(q, end) && !signed_next) {
      offset = 0;
      s = end;
      return true;
    }
    q = end;
  }
  return false;
}

// The fraction of the second in the digits right after the '.', ':' or ','
// (not the delimiter) at s, with s moved past them; 0, s unmoved, when none.
int read_fraction(const char*& s, char comma) {
  bool point = (*s == '.' || *s == ':' || *s == ',') && *s != comma;
  if (!point || !is_digit(s[1])) return 0;
  const char* end = s + 1;
  while (is_digit(*end)) ++end;
  int nanos = nanos_of(s + 1, end, 0);
  s = end;
  return nanos;
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

// The next number, for tform[c.i]; false, with c.p at the delimiter or the
// end of text, when none comes before them. Inlined: the loop over the
// letters spends most of its time here.
[[gnu::always_inline]] inline bool read_number(Cursor& c, const char* tform, char comma,
                                               int unit_digits, TimeFields& out,
                                               const char*& first_comma) {
  while (!is_digit(*c.p)) {
    if (*c.p == comma || *c.p == '\0') return false;
    ++c.p;
  }
  long long n;
  const char* end = read_digits(c.p, &n);
  // A Unix time in smaller units: its digits below the second the fraction.
  if (unit_digits > 0 && tform[c.i] == 's') {
    const char* cut = end - c.p > unit_digits ? end - unit_digits : c.p;
    read_digits(c.p, &n, cut);
    out.nanos = nanos_of(cut, end, unit_digits);
  }
  store_field(out, tform, c.i, n);
  if (*end == comma && !first_comma) first_comma = end;
  // The character that ends a number is passed over, a delimiter too.
  c.mark = end;
  c.p = *end == '\0' ? end : end + 1;
  return true;
}

// 12 AM is hour 0, 1 PM to 11 PM are 13 to 23.
void apply_meridian(struct tm& tm, int meridian) {
  if (meridian == 1 && tm.tm_hour == 12) tm.tm_hour = 0;
  if (meridian == 2 && tm.tm_hour >= 1 && tm.tm_hour <= 11) tm.tm_hour += 12;
}

}  // namespace

namespace time_letters {

bool read_month(Cursor& c, char comma, const std::vector<std::string>& months, struct tm& tm) {
  int month;
  c.p = find_month(c.mark, comma, months, &month);
  if (month == 0) return false;
  tm.tm_mon = month;
  c.mark = c.p;
  return true;
}

// Kept out of line: most tforms have none of f, p and z, and the check for
// one is all they pay. The cursor by reference: copied in and out as a
// whole, it was read back in wider loads than it was stored in, which wait
// (a fifth of the time of the reading with z).
[[gnu::noinline]] void read_in_place(Cursor& c, const char* tform, char comma, TimeFields& out) {
  for (; c.i < kMaxLetters; ++c.i) {
    const char* at = c.mark;
    char letter = tform[c.i];
    if (letter == 'f') {
      int nanos = read_fraction(at, comma);
      if (at != c.mark) out.nanos = nanos;
    } else if (letter == 'p') {
      if (int meridian = find_meridian(at, comma)) c.meridian = meridian;
    } else if (letter == 'z') {
      find_offset(at, comma, out.offset);
    } else {
      return;
    }
    if (at != c.mark) c.mark = c.p = at;
  }
}

void end_field(const Cursor& c, const char* first_comma, char comma, TimeFields& out) {
  apply_meridian(out.tm, c.meridian);
  out.comma = first_comma ? first_comma : strchr(c.p, comma);
}

}  // namespace time_letters

bool reads_unix_time(const char* tform) {
  for (int i = 0, numbers = 0; i < kMaxLetters && numbers < 6 && tform[i]; ++i) {
    if (tform[i] == 's') return true;
    if (!reads_in_place(tform[i])) ++numbers;
  }
  return false;
}

bool reads_fraction(const char* tform) {
  // Read in place, an f counts after the sixth number too, but not after a seventh.
  for (int i = 0, numbers = 0; i < kMaxLetters && tform[i]; ++i) {
    if (tform[i] == 'f') return true;
    if (!reads_in_place(tform[i]) && ++numbers > 6) return false;
  }
  return false;
}

TimeField get_time(const char* text, const Settings& settings, TimeFields& out) {
  const char* tform = settings.tform;
  const char comma = settings.delimiter;
  const int units = settings.unit_digits;
  // The usual field on its short path; any other, with `out` cleared, by the loop.
  if (read_usual(text, settings, out)) return TimeField::read;
  // Unix times need none of the date's separators, only a digit.
  if (!strpbrk(text, "/:-") && !(reads_unix_time(tform) && digit_before_comma(text, comma))) {
    return TimeField::none;
  }

  // Every byte before c.p has been looked at, so the line's first delimiter
  // is known without reading the time field again. tform[c.i] is at most its
  // NUL: letters are passed one at a time.
  Cursor c{.p = text, .mark = text, .i = 0, .meridian = 0};
  const char* first_comma = nullptr;
  int numbers = 0;  // numbers and month names read
  if (reads_in_place(tform[0])) read_in_place(c, tform, comma, out);
  while (numbers < 6 && c.i < kMaxLetters) {
    if (*c.p == '\0') return TimeField::unreadable;
    if (*c.p == comma) break;
    // Only the letters in use are looked at, never the rest of tform.
    if (tform[c.i] == '\0') break;
    bool taken = tform[c.i] == 'b' ? read_month(c, comma, settings.months, out.tm)
                                   : read_number(c, tform, comma, units, out, first_comma);
    // None before the delimiter: a line with nothing read yet holds no time,
    // else the field ends there; but a month name missing after a number
    // leaves a date without its month, which cannot be read.
    if (!taken && *c.p == '\0') return TimeField::unreadable;
    if (!taken && numbers == 0) return TimeField::none;
    if (!taken && tform[c.i] == 'b') return TimeField::unreadable;
    if (!taken) break;
    ++c.i;
    ++numbers;
    if (reads_in_place(tform[c.i])) read_in_place(c, tform, comma, out);
  }
  if (numbers == 0) return TimeField::unreadable;
  end_field(c, first_comma, comma, out);
  return TimeField::read;
}
