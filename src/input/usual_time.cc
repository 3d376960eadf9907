#include "input/usual_time.h"

#include <array>
#include <cstring>

#include "input/time_letters.h"

// What the full loop and the fast path share.
using namespace time_letters;

namespace {

// What read_from does with each byte of tform: the number of a d m y Y H M
// S goes to read_from's fields[0] to [5] (struct tm's order), b reads a
// month name, f p z are read in place, and any other byte ends its reading.
enum : signed char { kYear = 5, kName = 6, kNotUsual = -1, kInPlace = -2 };
constexpr auto kUsual = [] {
  std::array<signed char, 256> t{};
  t.fill(kNotUsual);
  t['S'] = 0, t['M'] = 1, t['H'] = 2, t['d'] = 3, t['m'] = 4, t['y'] = t['Y'] = kYear;
  t['b'] = kName;
  t['f'] = t['p'] = t['z'] = kInPlace;
  return t;
}();

signed char usual(char letter) {
  return kUsual[static_cast<unsigned char>(letter)];
}

// The digits at p, nine at most (all an int surely holds), with p moved past
// them; false for more. Two, the usual count, are taken before the loop:
// 1.3% of the CPU time of the 1M x 4 log.
bool small_number(const char*& p, unsigned& n) {
  n = static_cast<unsigned>(p[0] - '0');
  if (n > 9) return false;
  unsigned second = static_cast<unsigned>(p[1] - '0');
  if (second > 9) {
    ++p;
    return true;
  }
  n = n * 10 + second;
  p += 2;
  for (unsigned d; (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) {
    if (n > 99999999) return false;
    n = n * 10 + d;
  }
  return true;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// b: the month name looked for from `from`, where the last number ended,
// with p moved past it; false when there is none, or a digit right after it
// (the next number begins a byte after the name).
bool usual_month(const char*& p, const char* from, char comma,
                 const std::vector<std::string>& months, struct tm& tm) {
  Cursor c{.p = p, .mark = from, .i = 0, .meridian = 0};
  if (!read_month(c, comma, months, tm) || is_digit(*c.p)) return false;
  p = c.p;
  return true;
}

// Whether the line holds a '/', ':' or '-', without which no time is read:
// most often what ended the first number is one.
bool dated(const char* text, char first_end) {
  return first_end == '/' || first_end == ':' || first_end == '-' || strpbrk(text, "/:-");
}

// After the usual numbers, f, p and z where the last one ended, then the
// end of the field as the loop in get_time finds it; false where that loop
// would read on.
bool finish_in_place(Cursor& c, int numbers, const char* tform, char comma, TimeFields& out) {
  read_in_place(c, tform, comma, out);
  if (numbers < 6 && c.i < kMaxLetters && (*c.p == '\0' || (*c.p != comma && tform[c.i] != '\0'))) {
    return false;
  }
  end_field(c, nullptr, comma, out);
  return true;
}

// "12/05/99 10:30:00,": digits from the field's first byte, or from the byte
// after its opening quote; a number for each letter of tform, those among
// d m y Y H M S or a month name for b (six at most), one byte between them
// that is neither the delimiter nor a digit; then the delimiter, or f, p and
// z (".250", " PM", "+01:00"), or in quotes a closing quote and the delimiter.
template <bool quoted>
[[gnu::always_inline]] inline bool read_from(const char* text, const Settings& settings,
                                             TimeFields& out) {
  const char* const tform = settings.tform;
  const char comma = settings.delimiter;
  clear_fields(out);
  // Stored one by one where the time cache reads them one by one: gathered
  // in an array and copied over, the small stores stalled on being read back
  // as one.
  int* const fields[] = {&out.tm.tm_sec,  &out.tm.tm_min, &out.tm.tm_hour,
                         &out.tm.tm_mday, &out.tm.tm_mon, &out.tm.tm_year};
  // The loop passes over an opening quote as over any byte before a number.
  const char* const start = quoted ? text + 1 : text;
  const char* p = start;
  char first_end = 0;  // what ended the first number or name
  for (int i = 0;; ++i) {
    int what = usual(tform[i]);
    unsigned n;
    if (what == kName) {
      if (!usual_month(p, i == 0 ? p : p - 1, comma, settings.months, out.tm)) break;
    } else if (what < 0 || !small_number(p, n)) {
      break;
    } else {
      if (what == kYear) n = tform[i] == 'Y' ? n - 1900 : n <= 69 ? n + 100 : n;
      *fields[what] = static_cast<int>(n);
    }
    if (i == 0) first_end = *p;
    if (*p == comma) {
      // After the sixth number or the last letter the loop stops at the
      // delimiter, unless the line ends right after it.
      if (i < 5 && (tform[i + 1] != '\0' || p[1] == '\0')) break;
      if (!dated(text, first_end)) break;
      out.comma = p;
      return true;
    }
    if (*p == '\0') break;
    if (usual(tform[i + 1]) == kInPlace) {
      Cursor c{.p = what == kName ? p : p + 1, .mark = p, .i = i + 1, .meridian = 0};
      if (dated(text, first_end) && finish_in_place(c, i + 1, tform, comma, out)) return true;
      break;
    }
    ++p;
    if (i == 5) break;
  }
  // What ended the last number passed over, a closing quote, then the
  // delimiter: there the loop stops, whatever letters follow. A month name's
  // quote is not passed over, and a b after it finds no name: left to the loop.
  if constexpr (quoted) {
    if (p != start && p[-1] == '"' && *p == comma && is_digit(p[-2]) && dated(text, first_end)) {
      out.comma = p;
      return true;
    }
  }
  clear_fields(out);
  return false;
}

[[gnu::noinline]] bool read_quoted(const char* text, const Settings& settings, TimeFields& out) {
  return read_from<true>(text, settings, out);
}

}  // namespace

bool read_usual(const char* text, const Settings& settings, TimeFields& out) {
  // Apart and out of line, so that the unquoted field pays nothing for the
  // quoted one: in one inlined copy, up to 0.7% more instructions on the
  // 1M x 4 log.
  if (*text == '"') return read_quoted(text, settings, out);
  return read_from<false>(text, settings, out);
}

bool get_usual_time(const char* field, const Settings& settings, TimeFields& out) {
  const char comma = settings.delimiter;
  if (!read_usual(field, settings, out)) return false;
  // At the front the field is followed by the delimiter and field 1, so the
  // reading must end at the first delimiter after it: certain when tform
  // has only numbers and the delimiter is no digit, but f, p and z, read in
  // place, may read on past one.
  if (settings.time_ends_first || (out.comma && !memchr(field, comma, out.comma - field))) {
    return true;
  }
  clear_fields(out);
  return false;
}
