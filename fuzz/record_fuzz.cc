// Fuzz target: one line through the record reader and the time parser.
// Input: the tform bytes, a NUL, then the line; an input without a NUL is a
// line read with the default tform. Besides sanitizer reports, it aborts when
// the reader and the parser disagree, when the text is not restored, or when
// a stored time or value differs from what mktime or strtod give.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "fatal.h"
#include "record.h"
#include "run_state.h"
#include "time_field.h"

namespace {

constexpr int kLineNumber = 7;
constexpr time_t kNoTime = 12345;
constexpr float kUntouched = 42.5f;

void check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "record_fuzz: %s\n", what);
  abort();
}

// A copy in a block of exactly its size, so that reading past its NUL is seen.
std::unique_ptr<char[]> exact_copy(const char* s, size_t n) {
  std::unique_ptr<char[]> p(new char[n + 1]);
  memcpy(p.get(), s, n);
  p[n] = '\0';
  return p;
}

bool same_float(float a, float b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return memcmp(&a, &b, sizeof a) == 0;
}

// Equal, or the two instants of one local time that occurs twice.
bool same_local_time(time_t a, time_t b) {
  if (a == b) return true;
  struct tm ta, tb;
  if (!localtime_r(&a, &ta) || !localtime_r(&b, &tb)) return false;
  return ta.tm_year == tb.tm_year && ta.tm_mon == tb.tm_mon && ta.tm_mday == tb.tm_mday &&
         ta.tm_hour == tb.tm_hour && ta.tm_min == tb.tm_min && ta.tm_sec == tb.tm_sec;
}

// The parser's verdict: its result, or -1 when it raised a banner.
int parse_time(char* line, struct tm* tm, const char* tform, std::string* banner) {
  try {
    const char* comma = line;
    int result = get_time(line, tm, tform, &comma);
    if (result == 0) check(comma == strchr(line, ','), "get_time found another first ','");
    return result;
  } catch (const Fatal& f) {
    *banner = f.what();
    return -1;
  }
}

void check_columns(const char* line, const float* values, const int* flags, int columns) {
  const char* comma = strchr(line, ',');
  int col = 0;
  for (; comma && col < kMaxSeries; ++col, comma = strchr(comma + 1, ',')) {
    char* end;
    float want = static_cast<float>(strtod(comma + 1, &end));
    int want_flag = end != comma + 1;
    check(flags[col] == want_flag, "column flag differs from strtod");
    check(same_float(values[col], want_flag ? want : 0.0f), "column value differs from strtod");
  }
  check(columns == col, "wrong count of columns");
  for (; col < kMaxSeries; ++col) {
    check(flags[col] == 0, "flag set for a missing column");
    check(values[col] == kUntouched, "value of a missing column changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A zone with daylight saving, fixed so that every input means one thing.
  setenv("TZ", "Europe/London", 1);
  tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const char* nul = static_cast<const char*>(memchr(bytes, '\0', size));
  std::string tform_text = nul ? std::string(bytes, nul) : "dmyHMS";
  const char* text = nul ? nul + 1 : bytes;
  size_t text_size = size - static_cast<size_t>(text - bytes);
  auto tform = exact_copy(tform_text.data(), tform_text.size());
  auto line = exact_copy(text, text_size);

  struct tm tm;
  std::string parser_banner;
  int parsed = parse_time(line.get(), &tm, tform.get(), &parser_banner);
  check(memcmp(line.get(), text, text_size) == 0, "get_time left the text changed");
  check(parsed >= -1 && parsed <= 2, "get_time result out of range");

  float values[kMaxSeries];
  int flags[kMaxSeries];
  for (int n = 0; n < kMaxSeries; ++n) values[n] = kUntouched, flags[n] = 0;
  time_t t = kNoTime;
  const char* first = line.get() + strspn(line.get(), " \t\n\v\f\r");
  bool comment = *first == '#';
  try {
    int columns = -1;
    int r = parse_record(line.get(), values, flags, kLineNumber, &t, tform.get(), &columns);
    check(memcmp(line.get(), text, text_size) == 0, "parse_record left the text changed");
    if (comment || parsed == 1) {
      check(r == 1 && t == kNoTime, "a skipped line was taken as a record");
      return 0;
    }
    check(r == 0 && parsed == 0, "a line the parser refused was taken as a record");
    tm.tm_mon -= 1;
    check(same_local_time(t, mktime(&tm)), "record time differs from mktime");
    check_columns(line.get(), values, flags, columns);
  } catch (const Fatal& f) {
    check(!comment, "a comment raised a banner");
    if (parsed == -1) {
      check(parser_banner == f.what(), "the reader's banner differs from the parser's");
    } else {
      check(parsed == 2, "a banner for a line the parser accepted");
      check(std::string(f.what()) == "Failed to read line 7.", "wrong unreadable-line banner");
    }
  }
  return 0;
}
