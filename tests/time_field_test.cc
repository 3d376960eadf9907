#include "time_field.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "fatal.h"

namespace {

// The members get_time sets: day, month as written (before the reader's
// correction), tm_year, hour, minute, second.
using Fields = std::array<int, 6>;

struct Parsed {
  int result;
  Fields fields;
  struct tm tm;
  std::string text_after;
  bool comma_right;  // the first ',' given back is strchr's, when a time was read
};

// Runs get_time on an exactly sized copy of `line`, so that a read past its
// end shows under AddressSanitizer, over a tm full of garbage.
Parsed parse(const std::string& line, const char* tform) {
  // Sized exactly, NUL included: no spare capacity to hide an overrun.
  std::vector<char> text(line.c_str(), line.c_str() + line.size() + 1);
  Parsed p;
  memset(&p.tm, 0x55, sizeof p.tm);
  const char* comma = text.data();
  p.result = get_time(text.data(), &p.tm, tform, &comma);
  p.comma_right = p.result != 0 || comma == strchr(text.data(), ',');
  const struct tm& t = p.tm;
  p.fields = {t.tm_mday, t.tm_mon, t.tm_year, t.tm_hour, t.tm_min, t.tm_sec};
  p.text_after.assign(text.data(), line.size());
  return p;
}

struct Case {
  const char* tform;
  const char* line;
  int result;
  Fields fields;
};

TEST(TimeFieldTest, ResultsAndFields) {
  const Case cases[] = {
      {"dmyHMS", "12/05/99 10:30:00,1.5,2.5\n", 0, {12, 5, 99, 10, 30, 0}},
      {"YmdHMS", "2001-05-12T10:30:00,1\n", 0, {12, 5, 101, 10, 30, 0}},
      // A ',' right after a number is passed over: H, M, S come from the columns.
      {"dmyHMS", "12/05/99,1.5,2.5\n", 0, {12, 5, 99, 1, 5, 2}},
      // The first ',' was passed over before a later one ended the field.
      {"dmyHMS", "1-2,a,b\n", 0, {1, 2, 0, 0, 0, 0}},
      {"dmyHMS", "12/05/99 10:30:00\n", 0, {12, 5, 99, 10, 30, 0}},
      // A ',' met at the start of a field (4b) or among separators (4d) ends it.
      {"dmyHMS", "12/05/99 ,1.5,2.5\n", 0, {12, 5, 99, 0, 0, 0}},
      {"dmyHMS", "12/05/99  ,1.5,2.5\n", 0, {12, 5, 99, 0, 0, 0}},
      {"dmy", "12/05/99,1.5,2.5\n", 0, {12, 5, 99, 0, 0, 0}},
      // The end of the text is checked before the end of tform.
      {"dmy", "12/05/99\n", 2, {12, 5, 99, 0, 0, 0}},
      {"dmy", "12/05/99\r\n", 0, {12, 5, 99, 0, 0, 0}},
      {"dmyHMS", "12/05/99 10:30:00", 0, {12, 5, 99, 10, 30, 0}},
      {"dmyHMS", "12/05/99 10:30\n", 2, {12, 5, 99, 10, 30, 0}},
      // Two-digit years pivot between 69 and 70; 100 and above are kept.
      {"dmyHMS", "1/2/69 0:0:0,1\n", 0, {1, 2, 169, 0, 0, 0}},
      {"dmyHMS", "1/2/70 0:0:0,1\n", 0, {1, 2, 70, 0, 0, 0}},
      {"dmyHMS", "1/2/100 0:0:0,1\n", 0, {1, 2, 100, 0, 0, 0}},
      {"dmYHMS", "1/2/1899 0:0:0,1\n", 0, {1, 2, -1, 0, 0, 0}},
      {"dmyHMS", "time,a,b\n", 1, {0, 0, 0, 0, 0, 0}},
      {"dmyHMS", ",1,-2\n", 2, {0, 0, 0, 0, 0, 0}},
      {"dmyHMS", " ,1,-2\n", 1, {0, 0, 0, 0, 0, 0}},
      {"dmyHMS", ",1,2\n", 1, {0, 0, 0, 0, 0, 0}},
      {"", "12/05/99 10:30:00,1\n", 2, {0, 0, 0, 0, 0, 0}},
      {"dmyHMSX", "12/05/99 10:30:00,1\n", 0, {12, 5, 99, 10, 30, 0}},
      {"HMS", "12:30:05,1\n", 0, {0, 0, 0, 12, 30, 5}},
      {"dmyHMS", "12/05/99 10:30:00:45,1\n", 0, {12, 5, 99, 10, 30, 0}},
      // No range checks; a repeated letter's last number wins; y and Y share tm_year.
      {"dmyHMS", "40/13/99 30:61:99,1\n", 0, {40, 13, 99, 30, 61, 99}},
      {"dmyHMH", "12/05/99 10:30:07,1\n", 0, {12, 5, 99, 7, 30, 0}},
      {"YmdHMy", "2001-05-12 10:30:05,1\n", 0, {12, 5, 105, 10, 30, 0}},
      // Only digits make numbers: '-' is no sign, '.' no fraction, high bytes separate.
      {"dmyHMS", "-12.-05.099 010:30:00.9,1\n", 0, {12, 5, 99, 10, 30, 0}},
      {"dmyHMS",
       "12\xc3\xa9"
       "05\xff"
       "99 10:30:00,1\n",
       0,
       {12, 5, 99, 10, 30, 0}},
      // A digit run too long for int saturates instead of wrapping.
      {"dmyHMS",
       "2147483647/2147483648/99999999999999999999 0:0:0,1\n",
       0,
       {INT_MAX, INT_MAX, INT_MAX, 0, 0, 0}},
      {"YmdHMS", "99999999999-1-1 0:0:0,1\n", 0, {1, 1, INT_MAX - 1900, 0, 0, 0}},
      // A bad letter passes while no number is read for it.
      {"dmyXMS", "12/05/99 ,1\n", 0, {12, 5, 99, 0, 0, 0}},
      {"dmyXMS", "12/05/99\n", 2, {12, 5, 99, 0, 0, 0}},
      {"XmyHMS", " ,1-2\n", 1, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("tform \"") + c.tform + "\", line \"" + c.line + "\"");
    Parsed p = parse(c.line, c.tform);
    EXPECT_EQ(p.result, c.result);
    EXPECT_EQ(p.fields, c.fields);
    EXPECT_EQ(p.tm.tm_wday, 0);
    EXPECT_EQ(p.tm.tm_yday, 0);
    EXPECT_EQ(p.tm.tm_isdst, -1);
    EXPECT_EQ(p.text_after, c.line);
    EXPECT_TRUE(p.comma_right);
  }
}

TEST(TimeFieldTest, BadLetterIsFatalWhenANumberIsReadForIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"Dmy", "Dmy: 'D' is not a valid conversion code."},
      {"dmyHMs", "dmyHMs: 's' is not a valid conversion code."},
      {"dmy%MSq", "dmy%MSq: '%' is not a valid conversion code."},
  };
  for (const auto& [tform, message] : cases) {
    try {
      parse("12/05/99 10:30:00,1\n", tform);
      ADD_FAILURE() << "no Fatal for " << tform;
    } catch (const Fatal& f) {
      EXPECT_STREQ(f.what(), message);
    }
  }
}

// tform is placed against an unmapped page with no NUL after its sixth letter:
// a parser that looks beyond the letters it uses faults.
TEST(TimeFieldTest, NeverReadsTformBeyondSixLetters) {
  long page = sysconf(_SC_PAGESIZE);
  void* mem = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  char* base = static_cast<char*>(mem);
  ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
  char* tform = base + page - 6;
  memcpy(tform, "dmyHMS", 6);

  char line[] = "12/05/99 10:30:00:45,1\n";
  struct tm tm;
  EXPECT_EQ(get_time(line, &tm, tform), 0);
  EXPECT_EQ(tm.tm_sec, 0);
  munmap(mem, 2 * page);
}

}  // namespace
