// The fuzz targets, one program each: FUZZ_TARGET is handed every input, and a
// failed check aborts. Their inputs are laid out in record_one and run_one.
#include <gd.h>
#include <strings.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "../tests/test_util.h"
#include "common/fatal.h"
#include "driver/options.h"
#include "input/blocks.h"
#include "input/record.h"
#include "input/sorted_log.h"
#include "input/time_field.h"

static void check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "%s_fuzz: %s\n", FUZZ_NAME, what);
  abort();
}

// The record reader restated with strtod and mktime: a time needs '/', ':' or '-' in the line,
// or 's' among tform's letters in reach and a digit before the first ','. Then a number (one
// saturated digit run, taking the next byte, even a ',') or a month name a letter, six at most;
// a ',' ends the time. f, p and z read where the last one ended, moving on only when they find.
// A field that begins with '"' (after blanks and tabs) runs to its closing quote: inside, '""'
// is a quote, a ',' stands for none (0x1f) and a newline or return before the line's own ending is
// a blank.
static std::string unquote_model(std::string line) {
  size_t ending = line.size() - (line.ends_with("\r\n") ? 2 : line.ends_with('\n'));
  bool inside = false, field_start = true;
  for (size_t k = 0; k < line.size(); ++k) {
    char& c = line[k];
    if (inside && c == '"') {
      inside = k + 1 < line.size() && line[k + 1] == '"';
      k += inside;
    } else if (inside && k < ending) {
      c = c == ',' ? '\x1f' : c == '\n' || c == '\r' ? ' ' : c;
    } else if (!inside) {
      inside = field_start && c == '"';
      field_start = c == ',' || (field_start && (c == ' ' || c == '\t'));
    }
  }
  return line;
}

static Line model(const char* text, const Settings& set, Sample& s) {
  const std::string unquoted = unquote_model(text);
  const char* line = unquoted.c_str();
  if (line[strspn(line, " \t\n\v\f\r")] == '#') return Line::skipped;
  const char *tform = set.tform, *digits = "0123456789";
  const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  size_t at = strcspn(tform, "fbpz"), reach = at < 12 && tform[at] ? 12 : 6;
  bool unix_letter = false;  // an 's' among the six numbers or names that can be read
  for (size_t k = 0, numbers = 0; k < reach && numbers < 6 && tform[k]; ++k) {
    unix_letter |= tform[k] == 's';
    numbers += !strchr("fpz", tform[k]);
  }
  if (!strpbrk(line, "/:-") && !(unix_letter && strcspn(line, digits) < strcspn(line, ",")))
    return Line::skipped;
  struct tm tm = {};
  // For d m y Y H M S s; an 's' also goes to tm_wday, which mktime ignores.
  int* fields[] = {&tm.tm_mday, &tm.tm_mon, &tm.tm_year, &tm.tm_year,
                   &tm.tm_hour, &tm.tm_min, &tm.tm_sec,  &tm.tm_wday};
  static const char* months[] = {"january",   "february", "march",    "april",
                                 "may",       "june",     "july",     "august",
                                 "september", "october",  "november", "december"};
  long long unix = -1, nanos = 0, offset = LLONG_MIN;  // LLONG_MIN: no offset read
  size_t i = 0, read = 0;
  char half = 0;                       // 'a' or 'p' once an AM or PM is read
  const char *p = line, *mark = line;  // where the next number is looked for; after the last read
  auto number = [](const char* q, size_t n) { return n ? std::stoll(std::string(q, n)) : 0; };
  auto nine = [](std::string d) {  // digits as ns
    d.resize(9, '0');
    return std::stoll(d);
  };
  auto in_place = [&] {
    for (; i < reach && tform[i] && strchr("fpz", tform[i]); ++i) {
      const char* q = mark;
      if (tform[i] == 'f' && *q && strchr(".:", *q) && strspn(q + 1, digits)) {
        size_t n = strspn(++q, digits);
        nanos = nine(std::string(q, std::min<size_t>(n, 9)));
        mark = p = q + n;
      }
      for (size_t run; tform[i] != 'f' && *q && *q != ','; q += run ? run : 1) {
        run = strspn(q, letters);
        const char* e = q + 1 + (q[1] == '.');  // an AM or PM: a or p, m, each maybe with a dot
        if (tform[i] == 'p' && run && strchr("ap", *q | 32) && (*e | 32) == 'm' &&
            !strspn(e += 1 + (e[1] == '.'), letters)) {
          half = *q | 32;
          mark = p = e;
          break;
        }
        bool utc = (run == 1 && (*q | 32) == 'z') ||
                   (run == 3 && (!strncasecmp(q, "utc", 3) || !strncasecmp(q, "gmt", 3)));
        if (tform[i] == 'z' && utc &&
            !(strchr("+-", q[run]) && q[run] && strspn(q + run + 1, digits))) {
          offset = 0;
          mark = p = q + run;
          break;
        }
        size_t n = strspn(q + 1, digits), end = n;
        if (tform[i] != 'z' || !strchr("+-", *q) || n < 1 || n > 4) continue;
        long long h = number(q + 1, n > 2 ? n - 2 : n), m = n > 2 ? number(q + n - 1, 2) : 0;
        if (n <= 2 && q[n + 1] == ':' && strspn(q + n + 2, digits) == 2) {
          m = number(q + n + 2, 2);
          end += 3;
        }
        if (h <= 23 && m <= 59) {
          offset = (*q == '-' ? -60 : 60) * (h * 60 + m);
          mark = p = q + 1 + end;
          break;
        }
      }
    }
  };
  for (in_place(); read < 6 && i < reach; ++i, ++read, in_place()) {
    if (!*p) return Line::unreadable;
    if (*p == ',' || !tform[i]) break;
    if (tform[i] == 'b') {
      int month = 0;
      const char* q = mark;
      for (size_t run; !month && *q && *q != ','; q += run ? run : 1) {
        run = strspn(q, letters);
        for (int k = 0; k < 12 && run; ++k)
          if ((run == 3 || run == strlen(months[k]) || (run == 4 && k == 8)) &&
              !strncasecmp(q, months[k], run))
            month = k + 1;
      }
      if (!month && !*q) return Line::unreadable;
      if (!month) return read == 0 ? Line::skipped : Line::unreadable;
      tm.tm_mon = month;
      mark = p = q;
      continue;
    }
    p += strcspn(p, "0123456789,");
    if (*p == ',' && read == 0) return Line::skipped;
    if (*p == ',') break;
    if (*p == '\0') return Line::unreadable;
    size_t k = std::string_view("dmyYHMSs").find(tform[i]), n = strspn(p, digits);
    size_t frac = k == 7 ? std::min<size_t>(n, set.unit_digits) : 0;
    long long v = std::min(strtoll(std::string(p, n - frac).c_str(), nullptr, 10), kMaxUnixSeconds);
    if (k > 7) gerr("%s: '%c' is not a valid conversion code.", tform, tform[i]);
    // -u: the last unit digits (or fewer) are the fraction, in units of ms, us or ns.
    if (k == 7 && set.unit_digits)
      nanos = nine(std::string(set.unit_digits - frac, '0') + std::string(p + n - frac, frac));
    int vi = std::min<long long>(v, INT_MAX);
    *fields[k] = vi + (k == 3 ? -1900 : k == 2 && vi <= 69 ? 100 : 0);
    unix = k == 7 ? v : unix;
    mark = p + n;
    p = mark + (*mark != '\0');
  }
  if (read == 0) return Line::unreadable;
  if (half == 'a' && tm.tm_hour == 12) tm.tm_hour = 0;
  if (half == 'p' && tm.tm_hour >= 1 && tm.tm_hour <= 11) tm.tm_hour += 12;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  s.time = unix >= 0 ? unix : offset != LLONG_MIN ? timegm(&tm) - offset : mktime(&tm);
  s.nanos = nanos;
  s.columns = 0;
  for (const char* comma = line; (comma = strchr(comma, ',')) && s.columns < kMaxSeries; ++comma) {
    const char* cell = comma + 1 + strspn(comma + 1, " \t\n\v\f\r");
    cell = *cell == '"' ? cell + 1 : comma + 1;
    char* end;
    s.values[s.columns] = static_cast<float>(strtod(cell, &end));
    s.flags[s.columns++] = end != cell;
  }
  return Line::record;
}

// What a chart sees of a reading: its banner, or the kind of line, the time and each valid value.
static std::string seen(const std::string& line, const Settings& set) {
  Sample s;
  try {
    Line kind = parse_record(line.c_str(), set, s);
    std::string out = std::to_string(static_cast<int>(kind)) + " " + std::to_string(s.time) + "." +
                      std::to_string(s.nanos);
    for (int n = 0; n < kMaxSeries && kind == Line::record; ++n)
      out += s.flags[n] ? std::string(reinterpret_cast<const char*>(&s.values[n]), 4) : "_";
    return kind == Line::record ? out : out.substr(0, 1);
  } catch (const Fatal& f) {
    return f.what();
  }
}

static std::string replaced(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

static bool comment(const std::string& line) {
  size_t first = line.find_first_not_of(" \t\n\v\f\r");
  return first != line.npos && line[first] == '#';
}

// The layout options on a line against the default reading of it rewritten by hand: ';' and
// ',' swapped (unless an f may take a ',' so made for a decimal point); decimal commas made
// points and ';' commas (unless a p may take a point so made in "a.m."); field n moved to the
// front.
static void layouts_one(const std::string& line, const Settings& set) {
  Settings plain = set, semicolons = set, decimal = set, moved = set;
  semicolons.delimiter = decimal.delimiter = ';';
  decimal.decimal_comma = true;
  semicolons.settle();
  decimal.settle();
  std::string swapped = line;
  for (char& c : swapped) c = c == ',' ? ';' : c == ';' ? ',' : c;
  auto sees = [&](const char* letter, char c) {  // the letter in reach, c in the line
    return strcspn(set.tform, letter) < 12 && line.find(c) != line.npos;
  };
  check(sees("f", ';') || seen(swapped, semicolons) == seen(line, plain),
        "-d ';' differs from ','");
  check(sees("p", ',') ||
            seen(line, decimal) == seen(replaced(replaced(line, ',', '.'), ';', ','), plain),
        "--decimal-comma differs from points");
  std::vector<std::string> fields{""};
  for (char c : line.substr(0, line.size() - line.ends_with('\n'))) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back().push_back(c);
  }
  moved.time_field = 2 + line.size() % 3;
  if (line.find_first_of("\r\"") != line.npos || fields.size() < size_t(moved.time_field)) return;
  std::string front = fields[moved.time_field - 1];
  fields.erase(fields.begin() + moved.time_field - 1);
  for (const std::string& f : fields) front += "," + f;
  front += line.ends_with('\n') ? "\n" : "";
  moved = resolve_fields(moved, nullptr);
  if (!comment(line) && !comment(front))
    check(seen(line, moved) == seen(front, plain), "-t differs from the field moved to the front");
}

// The input: the tform, a NUL, then the line (no NUL: the line, with dmyHMS). A tform that
// begins with byte 1, 2 or 3 asks for 3, 6 or 9 unit digits (-u) and goes on after it. The
// reader and its model must give the same banner, or kind of line, columns, time (its reading:
// two instants of one reading match), nanoseconds, values and flags, all 32 of them; the layout
// options must read it as the default reads it rewritten by hand.
[[maybe_unused]] static void record_one(std::string_view in) {
  size_t nul = in.find('\0');
  if (nul == in.npos) return record_one(std::string("dmyHMS", 7) + std::string(in));
  Settings set;
  size_t unit = nul > 0 && in[0] >= 1 && in[0] <= 3 ? in[0] : 0;
  set.unit_digits = 3 * unit;
  // NUL-terminated copies of exactly their size, so that reading past the NUL is seen.
  std::vector<char> tform(nul + 1 - !!unit), text(in.size() - nul);
  in.copy(tform.data(), nul - !!unit, !!unit), in.copy(text.data(), in.size() - nul - 1, nul + 1);
  set.tform = tform.data();
  auto outcome = [&](Line (*read)(const char*, const Settings&, Sample&)) -> std::string {
    Sample s;
    s.time = 12345;
    s.nanos = 678;
    std::fill_n(s.values, kMaxSeries, 42.5f);
    try {
      Line kind = read(text.data(), set, s);
      struct tm local;
      s.time = localtime_r(&s.time, &local) ? s.time + local.tm_gmtoff : s.time;
      return std::to_string(static_cast<int>(kind)) + " " + std::to_string(s.columns) + " " +
             std::string(reinterpret_cast<const char*>(&s), offsetof(Sample, columns));
    } catch (const Fatal& f) {
      return f.what();
    }
  };
  check(outcome(parse_record) == outcome(model), "the reader differs from its model");
  layouts_one(text.data(), set);
}

// Private to the process, and removed after each input, as libFuzzer may skip exit handlers.
const std::string in_path = "/tmp/trendle-fuzz-" + std::to_string(getpid()) + ".csv";
const std::string out_path = in_path + ".png";
const long long usual_block = block_bytes();
const long long usual_run = sort_run_bytes();

// A whole run with `args` on a file holding `file`, in blocks of `block` bytes and --sort's runs
// of `sort_run`: its exit status, a newline, its standard error, a newline, then the PNG it wrote,
// if any.
static std::string run(const std::vector<std::string>& args, const std::string& file,
                       long long block = usual_block, long long sort_run = usual_run) {
  std::ofstream(in_path, std::ios::binary) << file;
  set_block_bytes(block);
  set_sort_run_bytes(sort_run);
  unlink(out_path.c_str());
  RunResult r = run_tool(args);
  return std::to_string(r.status) + "\n" + r.err + "\n" + read_file(out_path);
}

// The input: width and height (2 bytes each), a mode byte, a tform length, the tform, the file.
// A byte after a NUL in the tform picks view options (bits 0-7: -p, -r3, --min, --max, --last,
// -g, -H: the first line names the series, in any bytes), the byte after it how lines are drawn
// and values read (bits 0-7: --gap=auto, --gap=90s, --join, --style=steps, --style=points,
// --sort, --thousands=, and Dutch --months), the byte after that the rows kept (bits 0-3:
// --match of a, the empty text and a quoted "a,b" in field 2, x in field 4; bits 4-5: --by=2
// with -c3, or else -c3,4; bit 6: --si and a --title, bit 7: -D with bit 6, else --elapsed);
// with --sort, runs
// of 40 bytes sort what one run does.
// Mode bits 0 and 7 (1 to 3) compress the file too: whole, it must chart as the plain file; cut
// short (2) or with a byte flipped (3) where the sizes' high bytes say, it may also fail the read.
[[maybe_unused]] static void run_one(std::string_view in) {
  if (in.size() < 6) return;
  const unsigned char* head = reinterpret_cast<const unsigned char*>(in.data());
  // Sizes from -1 to 800: an empty image, then every size worth drawing.
  int width = (head[0] | head[1] << 8) % 802 - 1, height = (head[2] | head[3] << 8) % 802 - 1;
  size_t block = head[4] >> 1 & 63;  // bits 1 to 6: 0 the usual size, 63 two blocks
  std::string_view tform = in.substr(6, head[5] == 255 ? 0 : head[5]);  // 255: no tform
  std::string contents(in.substr(6 + tform.size()));
  std::vector<std::string> args{in_path, out_path, std::to_string(width), std::to_string(height)};
  if (head[5] != 255) args.emplace_back(tform.substr(0, tform.find('\0')));
  // A byte after a NUL in the tform asks for the view options; inputs without one keep their
  // meaning. Field 3 is always a series, and the options always work together.
  size_t nul = tform.find('\0');
  unsigned view =
      nul != tform.npos && nul + 1 < tform.size() ? static_cast<unsigned char>(tform[nul + 1]) : 0;
  const char* views[] = {"-p",         "-r3",       "--min=-1", "--max=50",
                         "--last=90m", "--last=2d", "-g",       "-H"};
  for (int bit = 7; bit >= 0; --bit) {
    if (view >> bit & 1 && !(bit == 1 && view & 1)) args.insert(args.begin(), views[bit]);
  }
  unsigned lines =
      nul != tform.npos && nul + 2 < tform.size() ? static_cast<unsigned char>(tform[nul + 2]) : 0;
  const char* drawn[] = {
      "--gap=auto",     "--gap=90s",
      "--join",         "--style=steps",
      "--style=points", "--sort",
      "--thousands=,",  "--months=jan,feb,mrt,apr,mei,jun,jul,aug,sep,okt,nov,dec"};
  for (int bit = 7; bit >= 0; --bit) {
    if (lines >> bit & 1) args.insert(args.begin(), drawn[bit]);
  }
  unsigned rows =
      nul != tform.npos && nul + 3 < tform.size() ? static_cast<unsigned char>(tform[nul + 3]) : 0;
  const char* picked[] = {"--match=2=a", "--match=2=", "--match=2=\"a,b\"", "--match=4=x"};
  for (int bit = 3; bit >= 0; --bit) {
    if (rows >> bit & 1) args.insert(args.begin(), picked[bit]);
  }
  if (rows & 0x30) args.insert(args.begin(), {"--by=2", rows & 0x10 ? "-c3" : "-c3,4"});
  if (rows & 0x40) args.insert(args.begin(), {"--si", "--title=T\xc3\xa9 \xe2\x82\xac"});
  if (rows & 0x80) args.insert(args.begin(), rows & 0x40 ? "-D" : "--elapsed");
  std::string whole = run(args, contents);
  // An empty size fails and writes nothing, else an interlaced PNG of that size.
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  for (int v : {width, height}) png += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  bool empty = width <= 0 || height <= 0;
  check(empty ? whole == "1\nFailed to create image.\n\n"
              : whole.starts_with("0\n\n" + png + std::string("\x08\x03\0\0\x01", 5)),
        "not the status, message or PNG header of the size asked for");
  check(read_file(in_path) == contents, "the input file was changed");
  if (block == 63) block = contents.size() / 2 + 1;
  if (block != 0 && contents.size() > block)
    check(run(args, contents, static_cast<long long>(block)) == whole,
          "blocks gave another outcome");
  if (lines >> 5 & 1) check(run(args, contents, usual_block, 40) == whole, "sort runs differ");
  int gz_mode = (head[4] & 1) | (head[4] >> 6 & 2);
  if (gz_mode && !contents.starts_with("\x1f\x8b")) {  // else the plain file is read as gzip
    z_stream z{}, unz{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY);
    std::string gz(deflateBound(&z, contents.size()), '\0'), text(contents.size() + 1, '\0');
    z.next_in = reinterpret_cast<Bytef*>(contents.data());
    z.avail_in = contents.size();
    z.next_out = reinterpret_cast<Bytef*>(gz.data());
    z.avail_out = gz.size();
    check(deflate(&z, Z_FINISH) == Z_STREAM_END && deflateEnd(&z) == Z_OK, "deflate failed");
    gz.resize(z.total_out);
    size_t at = 2 + (head[1] << 8 | head[3]) % (gz.size() - 2);
    if (gz_mode == 2) gz.resize(at);
    if (gz_mode == 3) gz[at] ^= 0xff;
    // What zlib inflates, member by member, up to an error: damage changing that may draw anything.
    inflateInit2(&unz, 16 + 15);
    unz.next_in = reinterpret_cast<Bytef*>(gz.data());
    unz.avail_in = gz.size();
    unz.next_out = reinterpret_cast<Bytef*>(text.data());
    unz.avail_out = text.size();
    while (inflate(&unz, Z_NO_FLUSH) == Z_STREAM_END && unz.avail_in > 0) inflateReset(&unz);
    inflateEnd(&unz);
    text.resize(text.size() - unz.avail_out);
    std::string outcome = run(args, gz);
    check(outcome == whole ||
              (gz_mode > 1 && (!contents.starts_with(text) || outcome == run(args, "\x1f\x8b"))),
          "the compressed file gave another outcome");
  }
  for (const std::string& path : {in_path, out_path}) unlink(path.c_str());
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A zone with daylight saving, fixed so that every input means one thing.
  setenv("TZ", "Europe/London", 1);
  tzset();
  gdSetErrorMethod([](int, const char*, va_list) {});  // gd warns of the sizes it refuses
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

#ifndef TRENDLE_LIBFUZZER
// Without libFuzzer: replays the inputs of the directories given, in order, and
// fails when there is none, so that a lost corpus does not pass unnoticed.
int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::directory_entry> files;
  for (int i = 1; i < argc; ++i)
    files.insert(files.end(), std::filesystem::directory_iterator(argv[i]), {});
  std::sort(files.begin(), files.end());
  for (const auto& file : files) FUZZ_TARGET(read_file(file.path()));
  printf("replayed %zu inputs\n", files.size());
  return files.empty();
}
#endif
