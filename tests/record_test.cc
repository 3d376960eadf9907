// The record table: each row of records.txt is one input line through
// parse_record, with what it must give (local time, values, or the outcome).
#include "input/record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "common/fatal.h"
#include "driver/options.h"
#include "test_util.h"

namespace {

constexpr float kUntouched = 42.5f;

// The settings that options give, read as the command line reads them.
Settings settings_of(const std::string& options) {
  std::istringstream words(options);
  std::vector<std::string> args{"trendle"};
  for (std::string word; words >> word;) args.push_back(word);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Settings set;
  int first;
  EXPECT_EQ(read_options(argv.size(), argv.data(), set, &first, stdout, stderr), -1) << options;
  return resolve_fields(set, nullptr);
}

// What parse_record made of a line, in the table's words.
std::string outcome(const std::string& line, const std::string& tform, Settings set) {
  // An exact copy, so that the sanitized build sees a read past the letters.
  std::unique_ptr<char, decltype(&free)> letters(strdup(tform.c_str()), free);
  set.tform = letters.get();
  set.settle();
  Sample s;
  std::fill(std::begin(s.values), std::end(s.values), kUntouched);
  std::fill(std::begin(s.flags), std::end(s.flags), 7);
  s.time = 12345;
  // Text after the line's end would change the outcome if it were read.
  std::string text = line + '\0' + "7/7/77 7:7:7,7\n";
  Line kind;
  try {
    kind = parse_record(text.c_str(), set, s);
  } catch (const Fatal& f) {
    return std::string("banner ") + f.what();
  }
  bool untouched = s.time == 12345 && s.values[0] == kUntouched && s.flags[0] == 7;
  if (kind != Line::record) {
    return std::string(kind == Line::skipped ? "skip" : "unreadable") +
           (untouched ? "" : " (changed)");
  }
  char buf[64];
  struct tm tm;
  if (!localtime_r(&s.time, &tm) || !strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S %z", &tm))
    snprintf(buf, sizeof buf, "@%lld", static_cast<long long>(s.time));
  std::string out = buf;
  // A fraction as ".nnnnnnnnn" right after the seconds.
  if (s.nanos)
    out.insert(out[0] == '@' ? out.size() : out.size() - 6,
               "." + std::to_string(1000000000 + s.nanos).substr(1));
  out += " |";
  for (int n = 0; n < s.columns; ++n) {
    snprintf(buf, sizeof buf, " %g", s.values[n]);
    out += s.flags[n] ? buf : s.values[n] == 0 ? " _" : " _?";
  }
  for (int n = s.columns; n < kMaxSeries; ++n) {
    if (s.flags[n] || s.values[n] != kUntouched)
      return out + " (column " + std::to_string(n) + " changed)";
  }
  return out;
}

TEST(RecordTest, Table) {
  ScopedTz london("Europe/London");
  for (const std::string& row : data_lines("records.txt")) {
    // [options] tform | line | expected, the expected part possibly holding " | " itself.
    if (row.empty()) continue;
    size_t a = row.find(" | "), b = row.find(" | ", a + 3), c = row.rfind(' ', a - 1);
    ASSERT_NE(b, row.npos) << "records.txt: not tform | line | result: " << row;
    std::string tform = row.substr(c + 1, a - c - 1), line = row.substr(a + 3, b - a - 3);
    Settings set = settings_of(row.substr(0, c + 1));
    if (tform == "(empty)") tform.clear();
    EXPECT_EQ(outcome(line, tform, set), row.substr(b + 3))
        << "records.txt: " << row.substr(0, a) << " | " << testing::PrintToString(line);
    // A byte before the time field's first digit (inside its opening quote),
    // passed over, takes the line from the fast path for the usual time field
    // to the full loop: the same. The field found by its delimiters, none quoted.
    size_t at = 0;
    for (int n = 1; n < set.time_field && at <= line.size(); ++n)
      at = std::min(line.find(set.delimiter, at), line.size()) + 1;
    if (at <= line.size() && line.find('"') >= at) at += line[at] == '"';
    if (at < line.size() && isdigit(static_cast<unsigned char>(line[at]))) {
      EXPECT_EQ(outcome(std::string(line).insert(at, "\x01"), tform, set), row.substr(b + 3))
          << "records.txt, with \\x01: " << row.substr(0, a) << " | "
          << testing::PrintToString(line);
    }
  }
}

}  // namespace
