#include "driver/fields.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "common/text.h"
#include "input/line_reader.h"
#include "input/quotes.h"
#include "input/record.h"

namespace {

// The longest record that goes on past its line, as a run reads it.
constexpr size_t kLongestRecord = 64 * 1024;

// The first line that is no comment or blank, with the lines after it that
// a quote still open takes in; empty when there is none.
std::string first_record(LineReader& in, char delimiter) {
  while (const char* line = in.next()) {
    const char* first = line + strspn(line, " \t\n\v\f\r");
    if (*first == '\0' || *first == '#') continue;
    std::string record(line, in.length());
    bool open = scan_quotes(line, in.length(), delimiter).open;
    while (open && record.size() < kLongestRecord && (line = in.next())) {
      open = scan_quotes(line, in.length(), delimiter, true).open;
      record.append(line, in.length());
    }
    return record;
  }
  return "";
}

// A field's text on one line, as the terminal shows it.
std::string shown(const std::string& text) {
  std::string utf8 = as_utf8(text);
  std::replace_if(
      utf8.begin(), utf8.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return utf8;
}

}  // namespace

int print_fields(const Settings& s, FILE* out, FILE* err) {
  std::unique_ptr<FILE, int (*)(FILE*)> input(fopen(s.in_csv, "rb"), fclose);
  if (!input) {
    fprintf(err, "trendle: %s - open failed\n", s.in_csv);
    return 1;
  }
  try {
    LineReader in(input.get(), s.in_csv);
    in.drop_lines(s.skip, s.header);
    std::vector<std::string> names = field_names(in.header(), s.delimiter);
    std::vector<std::string> texts = field_names(first_record(in, s.delimiter), s.delimiter);
    for (size_t i = 0; i < std::max(names.size(), texts.size()); ++i) {
      fprintf(out, "%zu\t%s\t%s\n", i + 1, i < names.size() ? shown(names[i]).c_str() : "",
              i < texts.size() ? shown(texts[i]).c_str() : "");
    }
  } catch (const Fatal& f) {
    fprintf(err, "trendle: %s\n", f.what());
    return 1;
  }
  return 0;
}
