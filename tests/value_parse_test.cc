#include "input/value_parse.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_util.h"

namespace {

// Compares one text with strtod, bit for bit and by where each ended.
void check(const std::string& text, int& failures) {
  char* want_end;
  float want = static_cast<float>(strtod(text.c_str(), &want_end));
  const char* end;
  float got = parse_value(text.c_str(), &end);
  if (std::bit_cast<uint32_t>(got) == std::bit_cast<uint32_t>(want) && end == want_end) return;
  if (++failures <= 10) {
    ADD_FAILURE() << "\"" << text << "\": got " << got << " ending at " << end - text.c_str()
                  << ", strtod " << want << " ending at " << want_end - text.c_str();
  }
}

std::string digits(Random& r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r.below(10));
  return s;
}

// Decimal texts built from random parts, much like a log's cells and worse:
// now and then more digits than 64 bits hold, or a long exponent.
std::string random_text(Random& r) {
  static const char* const kLead[] = {"", "", " ", "\t"};
  static const char* const kSign[] = {"", "", "-", "+"};
  static const char* const kTail[] = {"", ",", ",1", "x", "\n", ".5", "e", "e+", "-"};
  std::string s = std::string(kLead[r.below(4)]) + kSign[r.below(4)];
  if (r.below(4) == 0) s += std::string(r.below(4), '0');
  s += digits(r, r.below(4) == 0 ? r.below(24) : r.below(7));
  if (r.below(3) != 0) s += "." + digits(r, r.below(4) == 0 ? r.below(24) : r.below(6));
  if (r.below(4) == 0) s += (r.below(2) ? "e" : "E") + (kSign[r.below(4)] + digits(r, r.below(4)));
  return s + kTail[r.below(9)];
}

// Printed floats and doubles, and the halfway points between two floats,
// where a wrong rounding shows first.
std::string printed_number(Random& r) {
  float f = std::bit_cast<float>(static_cast<uint32_t>(r()));
  if (!std::isfinite(f)) f = 1.5f;
  double mid = (static_cast<double>(f) + std::nextafter(f, INFINITY)) / 2;
  char buf[64];
  switch (r.below(4)) {
    case 0:
      snprintf(buf, sizeof buf, "%.*g", r.in(6, 9), static_cast<double>(f));
      break;
    case 1:
      snprintf(buf, sizeof buf, "%.*g", r.in(9, 18), mid);
      break;
    case 2:
      snprintf(buf, sizeof buf, "%.*f", r.in(2, 4), r.in(-9999999, 9999999) / 997.0);
      break;
    default:
      snprintf(buf, sizeof buf, "%.17g", (static_cast<double>(r() >> 11) - 4e15) * 1e-9);
  }
  return buf;
}

TEST(ValueParseTest, SameAsStrtod) {
  int failures = 0;
  for (const std::string& text : data_lines("value_forms.txt")) check(text, failures);
  Random r(2024);
  for (int i = 0; i < 200000; ++i) {
    check(random_text(r), failures);
    check(printed_number(r), failures);
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
