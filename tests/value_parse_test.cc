#include "input/value_parse.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>

#include "test_util.h"

static std::string digits(Random& r, int n) {
  std::string s;
  while (n-- > 0) s += static_cast<char>('0' + r.below(10));
  return s;
}

// Texts from random parts, like a log's cells but worse: at times more digits than 64 bits hold.
static std::string random_text(Random& r) {
  static const char* const kSign[] = {"", "", "-", "+"};
  static const char* const kTail[] = {"", ",", ",1", "x", "\n", ".5", "e", "e+", "-"};
  std::string s = std::string(r.below(4) ? "" : " \t") + kSign[r.below(4)];
  s += std::string(r.below(4) ? 0 : r.below(4), '0') +
       digits(r, r.below(4) ? r.below(7) : r.below(24));
  if (r.below(3)) s += "." + digits(r, r.below(4) ? r.below(6) : r.below(24));
  if (!r.below(4)) s += (r.below(2) ? "e" : "E") + (kSign[r.below(4)] + digits(r, r.below(4)));
  return s + kTail[r.below(9)];
}

// Printed floats, and the halfway points between floats, where a wrong rounding shows first.
static std::string printed_number(Random& r) {
  float f = std::bit_cast<float>(static_cast<uint32_t>(r()));
  double mid = (static_cast<double>(f) + std::nextafter(f, INFINITY)) / 2;
  char buf[64];
  snprintf(buf, sizeof buf, "%.*g", r.in(6, 18), r.below(2) ? static_cast<double>(f) : mid);
  return buf;
}

TEST(ValueParseTest, SameAsStrtodBitForBitEndingAlike) {
  std::vector<std::string> texts = data_lines("value_forms.txt");
  Random r(2024);
  for (int i = 0; i < 400000; ++i) texts.push_back(i % 2 ? random_text(r) : printed_number(r));
  for (const std::string& text : texts) {
    char* want_end;
    const char* end;
    float want = static_cast<float>(strtod(text.c_str(), &want_end));
    float got = parse_value(text.c_str(), &end);
    ASSERT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(want)) << '"' << text << '"';
    ASSERT_EQ(end, want_end) << '"' << text << '"';
  }
}
