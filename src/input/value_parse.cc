#include "input/value_parse.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Every power of ten a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxPow10 = 22;
constexpr size_t kMaxDigits = 19;           // still fits in uint64_t
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

}  // namespace

float parse_value(const char* text, const char** end) {
  const char* p = text;
  while (is_space(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (*p == '0' && (p[1] == 'x' || p[1] == 'X')) return slow_path(text, end);

  // The mantissa may wrap past 19 digits; such a text goes to strtod below.
  uint64_t mantissa = 0;
  const char* first = p;
  for (; is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  size_t digits = p - first;
  size_t fraction = 0;
  if (*p == '.') {
    const char* dot = p++;
    for (; is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    fraction = p - dot - 1;
    digits += fraction;
  }
  if (digits == 0) {
    if (*first == 'i' || *first == 'I' || *first == 'n' || *first == 'N') {
      return slow_path(text, end);
    }
    *end = text;  // no number here
    return 0.0f;
  }
  if (digits > kMaxDigits) return slow_path(text, end);
  int exponent = 0;
  *end = read_exponent(p, &exponent);

  if (mantissa == 0) return negative ? -0.0f : 0.0f;
  int power = exponent - static_cast<int>(fraction);
  if (mantissa > kMaxExact || power < -kMaxPow10 || power > kMaxPow10) {
    return slow_path(text, end);
  }
  // Both operands are exact, so the one rounding is strtod's own.
  double d = static_cast<double>(mantissa);
  d = power < 0 ? d / kPow10[-power] : d * kPow10[power];
  return static_cast<float>(negative ? -d : d);
}
