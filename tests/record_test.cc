// The record table: each row of records.txt is one input line through
// parse_record, with what it must give (local time, values, or the outcome).
#include "input/record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "driver/fatal.h"
#include "test_util.h"

namespace {

constexpr float kUntouched = 42.5f;

// What parse_record made of a line, in the table's words.
std::string outcome(const std::string& line, const std::string& tform) {
  // An exact copy, so that the sanitized build sees a read past the letters.
  std::unique_ptr<char[]> letters(new char[tform.size() + 1]);
  memcpy(letters.get(), tform.c_str(), tform.size() + 1);
  Sample s;
  std::fill(std::begin(s.values), std::end(s.values), kUntouched);
  std::fill(std::begin(s.flags), std::end(s.flags), 7);
  s.time = 12345;
  // Text after the line's end would change the outcome if it were read.
  std::string text = line + '\0' + "7/7/77 7:7:7,7\n";
  Line kind;
  try {
    kind = parse_record(text.c_str(), letters.get(), s);
  } catch (const Fatal& f) {
    return std::string("banner ") + f.what();
  }
  bool untouched = s.time == 12345 && s.values[0] == kUntouched && s.flags[0] == 7;
  if (kind != Line::record) {
    return std::string(kind == Line::skipped ? "skip" : "unreadable") +
           (untouched ? "" : " (changed)");
  }
  char when[64];
  struct tm tm;
  if (localtime_r(&s.time, &tm)) {
    strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", &tm);
  } else {
    snprintf(when, sizeof when, "@%lld", static_cast<long long>(s.time));
  }
  std::string out = when + std::string(" |");
  for (int n = 0; n < s.columns; ++n) {
    char v[32];
    snprintf(v, sizeof v, " %g", s.values[n]);
    out += s.flags[n] ? v : s.values[n] == 0 ? " _" : " _?";
  }
  for (int n = s.columns; n < kMaxSeries; ++n) {
    if (s.flags[n] || s.values[n] != kUntouched)
      return out + " (column " + std::to_string(n) + " changed)";
  }
  return out;
}

TEST(RecordTest, Table) {
  ScopedTz london("Europe/London");
  std::ifstream table(std::string(TRENDLE_TEST_DIR) + "/records.txt");
  std::string row;
  int number = 0, rows = 0;
  while (std::getline(table, row)) {
    ++number;
    if (row.empty() || row[0] == '#') continue;
    // tform | line | expected, the expected part possibly holding " | " itself.
    size_t a = row.find(" | "), b = row.find(" | ", a + 3);
    ASSERT_NE(b, std::string::npos) << "records.txt:" << number << ": not tform | line | result";
    std::string tform = row.substr(0, a);
    if (tform == "(empty)") tform.clear();
    std::string want = row.substr(b + 3);
    EXPECT_EQ(outcome(unescape(row.substr(a + 3, b - a - 3)), tform), want)
        << "records.txt:" << number << ": " << row;
    ++rows;
  }
  EXPECT_GT(rows, 50);
}

}  // namespace
