#include "value_parse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Random {
  uint64_t state;
  uint64_t next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return state >> 11;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  std::string digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + below(10));
    return s;
  }
};

uint32_t bits(float f) {
  uint32_t b;
  memcpy(&b, &f, sizeof b);
  return b;
}

// Compares one text with strtod; counts and reports the first few mismatches.
void check(const std::string& text, int* failures) {
  char* want_end;
  float want = static_cast<float>(strtod(text.c_str(), &want_end));
  const char* end;
  float got = parse_value(text.c_str(), &end);
  if (bits(got) == bits(want) && end == want_end) return;
  if (++*failures <= 10) {
    ADD_FAILURE() << "\"" << text << "\": got " << got << " ending at " << end - text.c_str()
                  << ", strtod " << want << " ending at " << want_end - text.c_str();
  }
}

// Decimal texts built from random parts, much like a log's cells and worse.
std::string random_text(Random& r) {
  static const char* const kLead[] = {"", "", "", " ", "\t", "  "};
  static const char* const kSign[] = {"", "", "-", "+"};
  static const char* const kTail[] = {"", ",", ",1", "x", "\n", ".5", "e", "e+", "-"};
  std::string s = kLead[r.below(6)];
  s += kSign[r.below(4)];
  if (r.below(4) == 0) s += std::string(r.below(4), '0');
  s += r.digits(r.below(4) == 0 ? r.below(24) : r.below(7));
  if (r.below(3) != 0) s += "." + r.digits(r.below(4) == 0 ? r.below(24) : r.below(6));
  if (r.below(4) == 0) {
    s += r.below(2) ? "e" : "E";
    s += kSign[r.below(4)];
    s += r.digits(r.below(5) == 0 ? 3 : r.below(3));
  }
  return s + kTail[r.below(9)];
}

// Printed floats and doubles, and the halfway points between two floats,
// where a wrong rounding shows first.
std::string printed_number(Random& r) {
  char buf[64];
  uint32_t fb = static_cast<uint32_t>(r.next());
  float f;
  memcpy(&f, &fb, sizeof f);
  if (!std::isfinite(f)) f = 1.5f;
  switch (r.below(4)) {
    case 0:
      snprintf(buf, sizeof buf, "%.*g", 6 + r.below(4), static_cast<double>(f));
      break;
    case 1: {
      double mid = (static_cast<double>(f) + std::nextafter(f, INFINITY)) / 2;
      snprintf(buf, sizeof buf, "%.*g", 9 + r.below(10), mid);
      break;
    }
    case 2: {
      double d = static_cast<double>(static_cast<int64_t>(r.next()) % 10000000) / 997;
      snprintf(buf, sizeof buf, "%.*f", 2 + r.below(3), d);
      break;
    }
    default:
      snprintf(buf, sizeof buf, "%.17g", (static_cast<double>(r.next()) - 4e15) * 1e-9);
  }
  return buf;
}

long long case_count() {
  const char* s = getenv("TRENDLE_VALUE_CASES");
  return s ? atoll(s) : 400000;
}

TEST(ValueParseTest, SameAsStrtodOnGeneratedTexts) {
  // TRENDLE_VALUE_CASES=50000000 runs a long differential check.
  Random r{2024};
  int failures = 0;
  for (long long i = 0; i < case_count() / 2; ++i) {
    check(random_text(r), &failures);
    check(printed_number(r), &failures);
  }
  EXPECT_EQ(failures, 0);
}

TEST(ValueParseTest, SameAsStrtodOnUnusualForms) {
  const char* const kTexts[] = {
      "",
      ",",
      "#5",
      ".",
      "-.",
      "+.e3",
      "-",
      "+",
      "e5",
      "1e",
      "1e+",
      "1e-",
      "1.e5",
      "5.",
      ".5",
      "-0",
      "-0.0e10",
      "0e999999",
      "-0e-999999",
      "0x1p-3",
      "0X1A",
      "0x",
      "-0x10",
      "inf",
      "-Infinity",
      "INF",
      "nan",
      "NaN(123)",
      "-nan",
      "no",
      "infinite",
      " \t\n\v\f\r7",
      "1e-400",
      "1e400",
      "3.4028235e38",
      "3.4028236e38",
      "1e39",
      "-1e39",
      "1.17549435e-38",
      "1.4e-45",
      "7e-46",
      "4.9e-324",
      "9007199254740993",
      "9007199254740992e3",
      "1234567890123456789",
      "12345678901234567890",
      "18446744073709551621",  // 2^64 + 5: wraps to 5
      "0.18446744073709551621e20",
      "0.00000000000000000000000000001",
      "1e22",
      "1e23",
      "1e-22",
      "1e-23",
      "123456789012345678e-40",
      "000000000000000000000012.5",
      "1.5,2.5",
      "12.34e",
      "7e+05x",
      "16777217",
      "16777216.5",
      "33554431.5",
  };
  int failures = 0;
  for (const char* t : kTexts) check(t, &failures);
  EXPECT_EQ(failures, 0);
}

}  // namespace
