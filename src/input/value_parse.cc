#include "input/value_parse.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Every power of ten a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// The nearest doubles to the negative powers, 1e-k.
constexpr double kInversePow10[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                    1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                    1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
constexpr int kMaxPow10 = 22;
constexpr size_t kMaxDigits = 19;           // still fits in uint64_t
constexpr size_t kExactDigits = 15;         // below 2^53, so exact in a double
constexpr uint64_t kMaxExact = 1ull << 53;  // every integer up to here is a double
constexpr int kExponentCap = 100000;        // far beyond any finite result

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

float slow_path(const char* text, const char** end) {
  char* e;
  double d = strtod(text, &e);
  *end = e;
  return static_cast<float>(d);
}

// Appends the digits from p on to m, returning where they end. Bytes taken
// unsigned, so that the test for a digit is its value: a tenth fewer
// instructions a cell than two comparisons.
const char* add_digits(const char* p, uint64_t& m) {
  for (unsigned d; (d = static_cast<unsigned char>(*p) - 0u - '0') <= 9; ++p) m = m * 10 + d;
  return p;
}

// The optional exponent after a mantissa at p; p itself when there is none.
const char* read_exponent(const char* p, int* exponent) {
  if (*p != 'e' && *p != 'E') return p;
  const char* q = p + 1;
  bool negative = *q == '-';
  if (*q == '+' || *q == '-') ++q;
  if (!is_digit(*q)) return p;  // "1e" and "1e+" end before the 'e'
  int n = 0;
  for (; is_digit(*q); ++q) {
    if (n < kExponentCap) n = n * 10 + (*q - '0');
  }
  *exponent = negative ? -n : n;
  return q;
}

// d / 10^k rounded to float as the double quotient would round. A division
// waits about four times as long as a multiplication, so d is multiplied by
// the nearest double to 10^-k: within 2.5 double steps of the correctly
// rounded quotient, so that both round to the same float unless they lie
// within that of a halfway point between floats, where the division is made.
double rounded_quotient(double d, int k) {
  double q = d * kInversePow10[k];
  constexpr uint64_t kBelowFloat = (1ull << 29) - 1;  // the bits a float drops
  constexpr uint64_t kHalf = 1ull << 28, kMargin = 4;
  uint64_t dropped = std::bit_cast<uint64_t>(q) & kBelowFloat;
  return dropped - (kHalf - kMargin) <= 2 * kMargin ? d / kPow10[k] : q;
}

// A number's sign and digits, up to its exponent if any.
struct Mantissa {
  const char* first;    // its first digit, or where one would be
  const char* end;      // after its last digit
  uint64_t value = 0;   // of its digits; it may wrap past 19 of them
  size_t digits = 0;    // of them, the fraction's included
  size_t fraction = 0;  // digits after the point
  bool negative = false;
  bool pointed = false;  // a point was read
  bool hex = false;      // "0x" begins it: strtod's to read
};

// The mantissa at text (after blanks), with `point` for its point.
Mantissa read_mantissa(const char* text, char point) {
  Mantissa m;
  const char* p = text;
  while (is_space(*p)) ++p;
  m.negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  m.hex = *p == '0' && (p[1] == 'x' || p[1] == 'X');
  m.first = p;
  p = add_digits(p, m.value);
  m.digits = p - m.first;
  m.pointed = *p == point;
  if (m.pointed) {
    const char* dot = p;
    p = add_digits(p + 1, m.value);
    m.fraction = p - dot - 1;
    m.digits += m.fraction;
  }
  m.end = p;
  return m;
}

}  // namespace

bool parse_usual_value(const char* text, char point, float& value, const char** end) {
  Mantissa m = read_mantissa(text, point);
  const char* p = m.end;
  // A few digits (their value exact in a double) and no exponent; nor a '.'
  // that strtod would take for the point a decimal comma was not.
  if (m.hex || m.digits - 1 >= kExactDigits || *p == 'e' || *p == 'E') return false;
  if (point != '.' && !m.pointed && *p == '.') return false;
  *end = p;
  double d = static_cast<double>(m.value);
  if (m.fraction > 0) d = rounded_quotient(d, static_cast<int>(m.fraction));
  value = static_cast<float>(m.negative ? -d : d);
  return true;
}

float parse_value(const char* text, const char** end) {
  float value;
  if (parse_usual_value(text, '.', value, end)) return value;
  Mantissa m = read_mantissa(text, '.');
  if (m.hex) return slow_path(text, end);
  if (m.digits == 0) {
    char c = *m.first;
    if (c == 'i' || c == 'I' || c == 'n' || c == 'N') return slow_path(text, end);
    *end = text;  // no number here
    return 0.0f;
  }
  if (m.digits > kMaxDigits) return slow_path(text, end);
  int exponent = 0;
  *end = read_exponent(m.end, &exponent);

  if (m.value == 0) return m.negative ? -0.0f : 0.0f;
  int power = exponent - static_cast<int>(m.fraction);
  if (m.value > kMaxExact || power < -kMaxPow10 || power > kMaxPow10) {
    return slow_path(text, end);
  }
  // Both operands are exact, so the one rounding is strtod's own.
  double d = static_cast<double>(m.value);
  if (power >= 0) {
    d *= kPow10[power];
  } else {
    d = rounded_quotient(d, -power);
  }
  return static_cast<float>(m.negative ? -d : d);
}
