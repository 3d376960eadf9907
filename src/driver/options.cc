#include "driver/options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

#include "common/fatal.h"
#include "common/text.h"
#include "input/record.h"
#include "input/value_parse.h"

namespace {

constexpr const char* kFormatHelp =
    "tform is a string of time format speciers, with no punctuation.\n"
    "d date\n"
    "m month\n"
    "y year without century\n"
    "Y year with century\n"
    "H hour (0-23)\n"
    "M minute\n"
    "S second\n"
    "s seconds since 1970-01-01 00:00:00 UTC (Unix time)\n"
    "f fraction of the second, right after the number before it (.250, :718)\n"
    "b month name (Feb, february, Sept), in place of its number\n"
    "p AM or PM (am, P.M.): a 12-hour clock\n"
    "z UTC offset (Z, +01:00, -0500, GMT+08), used instead of TZ\n"
    "With f, b, p or z, tform may have 12 letters; six of them numbers or names.\n"
    "e.g. \"dmyHMS\" for British format, \"mdyHMS\" for US.\n";

constexpr const char* kOptionHelp =
    "Options come before in_csv. Fields are the texts between delimiters, numbered\n"
    "from 1: by default field 1 is the time and each field after it a series.\n"
    "  -d, --delimiter=C     C separates the fields instead of ',' (\"tab\": a tab)\n"
    "      --decimal-comma   a ',' in a value is its decimal point (with -d)\n"
    "      --thousands=C     C between two digits of a number is passed over\n"
    "                        (\"1,243\" is 1243): one of , . ' _ or space\n"
    "  -t, --time-column=N   the time is field N; the series are the other fields\n"
    "  -c, --columns=LIST    the series are these fields, in this order: numbers\n"
    "                        and ranges (2,5,7-9), at most 32; the key shows them\n"
    "      --skip=N          the first N lines are not read\n"
    "  -H, --header[=N]      line N (default 1) names the fields; the key shows the\n"
    "                        names, and -t, -c and -r take them (a#2: the\n"
    "                        second field named a)\n"
    "      --names=LIST      the series' names in key order, comma-separated, as\n"
    "                        -H would give them (for a log without a header)\n"
    "      --fields          list the fields of the header line or of the first\n"
    "                        record: number, name, text; only in_csv is needed\n"
    "      --match=F=TEXT    only the rows whose field F holds TEXT are records;\n"
    "                        again for more texts of F (any) or other fields (each)\n"
    "      --by=F            each text of field F makes series of its rows, of\n"
    "                        the fields -c gives (a long log: a row per sensor);\n"
    "                        -r then lists texts\n"
    "      --months=LIST     twelve month names, January first, that b reads\n"
    "                        besides the English ones (jan,feb,mrt,...)\n"
    "  -u, --time-unit=U     tform's s counts U: s (default), ms, us or ns; the\n"
    "                        digits below the second are its fraction\n"
    "  -p, --panels          each series in a band of its own, on its own scale\n"
    "  -r, --right=LIST      these series (as -c lists them) on a second scale,\n"
    "                        labelled on the right; the key marks them (R)\n"
    "      --min=V           V is the bottom of every value scale\n"
    "      --max=V           V is the top of every value scale\n"
    "      --from=T          only the records at or after time T, written as the\n"
    "                        log writes its time (tform reads it)\n"
    "      --to=T            only the records at or before time T\n"
    "      --last=D          only the records from D before the last one (with\n"
    "                        --sort the latest) to it: a whole number and s, m,\n"
    "                        h, d or w (90m, 24h, 7d)\n"
    "  -g, --grid            dashed lines at round values and round times,\n"
    "                        each labelled\n"
    "  -D, --dates           the first and last time labels begin with the date\n"
    "                        (2024-04-11 10:41); with -g day labels name the month\n"
    "      --si              value labels with SI prefixes: 11M, 57.08M, -12.3m\n"
    "      --elapsed         time labels (and -g's time lines) count from the first\n"
    "                        record: 00:00:00, 01:30:00, 2d 04:00\n"
    "      --title=TEXT      TEXT centred in a row of its own above the key\n"
    "      --gap=D           no line joins records more than D apart: a whole\n"
    "                        number and ms, s, m, h, d or w; auto: five times\n"
    "                        the log's usual step\n"
    "      --join            a cell without a value does not break the line\n"
    "      --style=S         line (default), steps (each value held until the\n"
    "                        next record) or points (a 3x3 square each)\n"
    "      --sort            draw the records in time order, whatever order the\n"
    "                        log has them in (newest first, shuffled)\n"
    "  -h, --help            print this help and exit\n"
    "  -V, --version         print the version and exit\n"
    "      --                end the options\n";

enum {
  kDecimalComma = 256,
  kSkip,
  kMin,
  kMax,
  kFrom,
  kTo,
  kLast,
  kGap,
  kJoin,
  kStyle,
  kSort,
  kThousands,
  kMonths,
  kNames,
  kFields,
  kMatch,
  kBy,
  kSi,
  kTitle,
  kElapsed
};

const option kLong[] = {{"delimiter", required_argument, nullptr, 'd'},
                        {"decimal-comma", no_argument, nullptr, kDecimalComma},
                        {"thousands", required_argument, nullptr, kThousands},
                        {"months", required_argument, nullptr, kMonths},
                        {"names", required_argument, nullptr, kNames},
                        {"fields", no_argument, nullptr, kFields},
                        {"match", required_argument, nullptr, kMatch},
                        {"by", required_argument, nullptr, kBy},
                        {"dates", no_argument, nullptr, 'D'},
                        {"si", no_argument, nullptr, kSi},
                        {"elapsed", no_argument, nullptr, kElapsed},
                        {"title", required_argument, nullptr, kTitle},
                        {"time-column", required_argument, nullptr, 't'},
                        {"columns", required_argument, nullptr, 'c'},
                        {"skip", required_argument, nullptr, kSkip},
                        {"header", optional_argument, nullptr, 'H'},
                        {"time-unit", required_argument, nullptr, 'u'},
                        {"panels", no_argument, nullptr, 'p'},
                        {"grid", no_argument, nullptr, 'g'},
                        {"right", required_argument, nullptr, 'r'},
                        {"min", required_argument, nullptr, kMin},
                        {"max", required_argument, nullptr, kMax},
                        {"from", required_argument, nullptr, kFrom},
                        {"to", required_argument, nullptr, kTo},
                        {"last", required_argument, nullptr, kLast},
                        {"gap", required_argument, nullptr, kGap},
                        {"join", no_argument, nullptr, kJoin},
                        {"style", required_argument, nullptr, kStyle},
                        {"sort", no_argument, nullptr, kSort},
                        {"help", no_argument, nullptr, 'h'},
                        {"version", no_argument, nullptr, 'V'},
                        {nullptr, 0, nullptr, 0}};

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

std::string shown(float v) {
  char text[32];
  snprintf(text, sizeof text, "%g", static_cast<double>(v));
  return text;
}

// The longest --last, some 31 million years: any time less it stays in range.
constexpr long long kMaxDuration = 1000000000000000;

// A decimal number from `least` to `most`, digits only: false otherwise.
bool read_number(const std::string& text, long long least, long long most, long long& n) {
  if (text.empty() || text.find_first_not_of("0123456789") != text.npos) return false;
  errno = 0;
  n = strtoll(text.c_str(), nullptr, 10);
  return errno == 0 && n >= least && n <= most;
}

// --months' twelve names, in lower case, without a trailing '.'.
std::vector<std::string> read_months(const std::string& text) {
  std::vector<std::string> names;
  std::stringstream list(text + ",");
  for (std::string name; std::getline(list, name, ',');) {
    if (name.ends_with('.')) name.pop_back();
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (name.empty() || name.find_first_of(" \t") != name.npos) names.clear();
    if (name.empty() || name.find_first_of(" \t") != name.npos) break;
    names.push_back(name);
  }
  if (names.size() != 12) {
    throw BadOption("--months: " + quoted(text) +
                    " is not twelve names, January first, separated by ','");
  }
  return names;
}

// --thousands' character.
char read_thousands(const std::string& text) {
  if (text == "space") return ' ';
  if (text.size() == 1 && strchr(",.'_", text[0])) return text[0];
  throw BadOption("--thousands: " + quoted(text) + " is not one of , . ' _ or space");
}

char read_delimiter(const std::string& text) {
  if (text == "tab") return '\t';
  // A digit would end the time field's numbers, '#' and '"' are read before
  // the fields, and lines end at a newline.
  if (text.size() != 1 || isdigit(static_cast<unsigned char>(text[0])) ||
      strchr("#\"\n", text[0])) {
    std::string shown = text == "\n" ? "\\n" : text;
    throw BadOption("--delimiter: " + quoted(shown) +
                    " cannot separate fields: give one character, not a digit, '#', '\"' or a "
                    "newline");
  }
  return text[0];
}

int read_unit(const std::string& text) {
  const char* units[] = {"s", "ms", "us", "ns"};
  for (int i = 0; i < 4; ++i) {
    if (text == units[i]) return 3 * i;
  }
  throw BadOption("--time-unit: " + quoted(text) + " is not s, ms, us or ns");
}

// A value end of the scales, read as a value cell is, and finite.
float read_end(const char* option, const char* text) {
  const char* end;
  float v = parse_value(text, &end);
  while (isspace(static_cast<unsigned char>(*end))) ++end;
  bool number = end != text && !*end;
  // A number the cell reader takes as an infinity only for its size.
  errno = 0;
  double wide = number ? strtod(text, nullptr) : 0;
  if (number && std::isinf(v) && (std::isfinite(wide) || errno == ERANGE)) {
    throw BadOption(std::string(option) + ": " + quoted(text) +
                    " is out of a float's range (its largest is " + shown(FLT_MAX) + ")");
  }
  if (!number || !std::isfinite(v)) {
    throw BadOption(std::string(option) + ": " + quoted(text) + " is no finite number");
  }
  return v;
}

// Why --min, typed as min_text, is not below --max: in single precision
// two ends in order may round to one value.
std::string not_below(const char* min_text, const char* max_text, float max) {
  std::string said = "--min: " + quoted(min_text) + " is not below --max " + quoted(max_text);
  if (strtod(min_text, nullptr) < strtod(max_text, nullptr)) {
    said += " in single precision (both are " + shown(max) + ")";
  }
  return said;
}

// A length of time: a whole number and a unit, in milliseconds; 0 when it
// is none. Bounded so that no time minus it overflows.
long long read_length(const std::string& text) {
  constexpr std::pair<const char*, long long> kUnits[] = {
      {"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000}, {"d", 86400000}, {"w", 604800000}};
  long long n;
  for (auto [unit, millis] : kUnits) {
    if (text.ends_with(unit) && read_number(text.substr(0, text.size() - strlen(unit)), 1,
                                            kMaxDuration * 1000 / millis, n)) {
      return n * millis;
    }
  }
  return 0;
}

// --last's length, in seconds: no unit below the second.
long long read_duration(const std::string& text) {
  long long millis = text.ends_with("ms") ? 0 : read_length(text);
  if (millis == 0) {
    throw BadOption("--last: " + quoted(text) + " is no length of time like 90m, 24h or 7d");
  }
  return millis / 1000;
}

// --gap's length in milliseconds, or auto.
void read_gap(const std::string& text, Settings& s) {
  s.gap_auto = text == "auto";
  s.gap_ms = s.gap_auto ? 0 : read_length(text);
  if (!s.gap_auto && s.gap_ms == 0) {
    throw BadOption("--gap: " + quoted(text) + " is no length of time like 500ms, 90m or 24h, " +
                    "nor auto");
  }
}

Settings::Style read_style(const std::string& text) {
  if (text == "line") return Settings::Style::line;
  if (text == "steps") return Settings::Style::steps;
  if (text == "points") return Settings::Style::points;
  throw BadOption("--style: " + quoted(text) + " is not line, steps or points");
}

long long read_count(const char* option, const char* text, long long least, const char* what) {
  long long n;
  if (!read_number(text, least, LLONG_MAX, n)) {
    throw BadOption(std::string(option) + ": " + quoted(text) + " is not " + what);
  }
  return n;
}

// Takes one option and its value into s.
void take(int c, const char* value, Settings& s) {
  switch (c) {
    case 'd':
      s.delimiter = read_delimiter(value);
      break;
    case kThousands:
      s.thousands = read_thousands(value);
      break;
    case kMonths:
      s.months = read_months(value);
      break;
    case kNames:
      s.names_spec = value;
      break;
    case kDecimalComma:
      s.decimal_comma = true;
      break;
    case 't':
      s.time_spec = value;
      break;
    case 'c':
      s.columns_spec = value;
      break;
    case kSkip:
      s.skip = read_count("--skip", value, 0, "a number of lines");
      break;
    case 'H':
      s.header = value ? read_count("--header", value, 1, "a line number") : 1;
      break;
    case 'u':
      s.unit_digits = read_unit(value);
      break;
    case 'g':
      s.grid = true;
      break;
    case 'p':
      s.panels = true;
      break;
    case 'r':
      s.right_spec = value;
      break;
    case kMin:
      s.min_value = read_end("--min", value);
      s.has_min = true;
      break;
    case kMax:
      s.max_value = read_end("--max", value);
      s.has_max = true;
      break;
    case kFrom:
      s.from_spec = value;
      break;
    case kTo:
      s.to_spec = value;
      break;
    case kLast:
      s.last_seconds = read_duration(value);
      break;
    case kGap:
      read_gap(value, s);
      break;
    case kJoin:
      s.join = true;
      break;
    case kStyle:
      s.style = read_style(value);
      break;
    case kSort:
      s.sort = true;
      break;
    case kFields:
      s.fields = true;
      break;
    case kMatch:
      if (!strchr(value, '=') || *value == '=') {
        throw BadOption("--match: " + quoted(value) + " is not FIELD=TEXT");
      }
      s.match_specs.push_back(value);
      break;
    case kBy:
      s.by_spec = value;
      break;
    case 'D':
      s.dates = true;
      break;
    case kSi:
      s.si = true;
      break;
    case kElapsed:
      s.elapsed = true;
      break;
    case kTitle:
      s.title = value;
      break;
  }
}

void print_version(FILE* out) {
  fprintf(out, "trendle / trendix version %s\n", TRENDLE_VERSION);
}

// What getopt found wrong with argv[optind - 1], the element it stopped at.
std::string complaint(int c, const char* element) {
  std::string text = element;
  if (c == ':') return "option " + quoted(text) + " needs a value";
  if (text.starts_with("--") && text.find('=') != text.npos && optopt != 0) {
    return "option " + quoted(text.substr(0, text.find('='))) + " takes no value";
  }
  if (optopt != 0) return "unknown option " + quoted(std::string("-") + static_cast<char>(optopt));
  return "unknown option " + quoted(text.substr(0, text.find('=')));
}

// The index of the k-th of `names` that is `name`, or npos.
size_t nth_named(const std::vector<std::string>& names, const std::string& name, long long k) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name && --k == 0) return i;
  }
  return std::string::npos;
}

// The field a -t or -c item names: a number, or a name of the header (the
// first so named; NAME#2 the second), whatever the encoding of either.
int field_of(const char* option, const std::string& item, const std::vector<std::string>* names) {
  long long n;
  if (read_number(item, 1, INT_MAX, n)) return static_cast<int>(n);
  if (item.find_first_not_of("0123456789") == item.npos) {
    throw BadOption(std::string(option) + ": " + quoted(item) + " is no field number");
  }
  if (!names) {
    throw BadOption(std::string(option) + ": " + quoted(item) +
                    " is no field number (names need --header)");
  }
  std::string name = as_utf8(item);
  size_t found = nth_named(*names, name, 1), hash = name.rfind('#');
  if (found == name.npos && hash != name.npos &&
      read_number(name.substr(hash + 1), 1, INT_MAX, n)) {
    name.resize(hash);
    found = nth_named(*names, name, n);
    if (found == name.npos && nth_named(*names, name, 1) != name.npos) {
      throw BadOption(std::string(option) + ": fewer than " + std::to_string(n) +
                      " fields are named " + quoted(name));
    }
  }
  if (found == name.npos)
    throw BadOption(std::string(option) + ": no field is named " + quoted(name));
  return static_cast<int>(found) + 1;
}

// Calls take(field) for each field of a list in -c's form: numbers, ranges
// a-b and names, in order.
void for_each_field(const char* option, const std::string& list,
                    const std::vector<std::string>* names,
                    const std::function<void(long long field)>& take) {
  for (size_t at = 0; at <= list.size();) {
    size_t stop = std::min(list.find(',', at), list.size());
    std::string item = list.substr(at, stop - at);
    at = stop + 1;
    size_t dash = item.find('-');
    long long from, to;
    bool range = dash != item.npos && read_number(item.substr(0, dash), 0, LLONG_MAX, from) &&
                 read_number(item.substr(dash + 1), 0, LLONG_MAX, to);
    if (!range) from = to = field_of(option, item, names);
    if (range && (from < 1 || from > to || to > INT_MAX)) {
      throw BadOption(std::string(option) + ": " + quoted(item) + " is no range of fields from 1");
    }
    for (long long field = from; field <= to; ++field) take(field);
  }
}

void add_column(long long field, Settings& s) {
  if (s.columns.size() == kMaxSeries) throw BadOption("--columns: more than 32 fields");
  if (field == s.time_field) {
    throw BadOption("--columns: field " + std::to_string(field) + " is the time field");
  }
  if (std::ranges::count(s.columns, field)) {
    throw BadOption("--columns: field " + std::to_string(field) + " is listed twice");
  }
  s.columns.push_back(static_cast<int>(field));
}

// Reads --from or --to's time into (t, nanos) as the time field of a log
// line holding that text and an empty cell: the reading ends at the
// delimiter, however few numbers the text has, and those it leaves out are 0.
void read_bound(const char* option, const char* text, const Settings& s, time_t& t, int& nanos) {
  bool read;
  try {
    read = read_time((text + std::string(2, s.delimiter)).c_str(), s, t, nanos);
  } catch (const Fatal& f) {
    throw BadOption(std::string(option) + ": " + f.what());
  }
  if (!read) {
    throw BadOption(std::string(option) + ": " + quoted(text) + " holds no time that tform " +
                    s.tform + " reads");
  }
}

// --match's FIELD=TEXT: TEXT one more text that FIELD may hold.
void add_match(const std::string& given, const std::vector<std::string>* names, Settings& s) {
  size_t equals = given.find('=');
  int field = field_of("--match", given.substr(0, equals), names);
  auto same = [field](const Settings::Match& m) { return m.field == field; };
  auto m = std::find_if(s.matches.begin(), s.matches.end(), same);
  if (m == s.matches.end()) m = s.matches.insert(m, Settings::Match{field, {}});
  m->texts.push_back(given.substr(equals + 1));
}

// --by's field: neither the time nor a value.
int by_field(const Settings& s, const std::vector<std::string>* names) {
  int field = field_of("--by", s.by_spec, names);
  bool value = std::find(s.columns.begin(), s.columns.end(), field) != s.columns.end();
  const char* clash = field == s.time_field ? "the time field"
                      : value               ? "also a -c field"
                                            : nullptr;
  if (clash) throw BadOption("--by: field " + std::to_string(field) + " is " + clash);
  return field;
}

// Puts the series that reads `field` on the right scale.
void add_right(long long field, Settings& s) {
  for (int n = 0; n < kMaxSeries; ++n) {
    if (s.field_of(n) == field) {
      s.right |= 1u << n;
      return;
    }
  }
  throw BadOption("--right: field " + std::to_string(field) + " is no series");
}

}  // namespace

void resolve_window(Settings& s) {
  s.has_from = s.from_spec != nullptr;
  s.has_to = s.to_spec != nullptr;
  if (s.has_from) read_bound("--from", s.from_spec, s, s.from_time, s.from_nanos);
  if (s.has_to) read_bound("--to", s.to_spec, s, s.to_time, s.to_nanos);
  if (s.has_from && s.has_to &&
      (s.from_time > s.to_time || (s.from_time == s.to_time && s.from_nanos > s.to_nanos))) {
    throw BadOption("--from: " + quoted(s.from_spec) + " is after --to " + quoted(s.to_spec));
  }
  s.windowed = s.has_from || s.has_to || s.last_seconds > 0;
}

int usage(FILE* err) {
  print_version(err);
  fprintf(err, "Usage: trendle in_csv out_png width height [tform]\n%s", kFormatHelp);
  fputs("Options come before in_csv: trendle --help lists them.\n", err);
  return 2;
}

int bad_option(FILE* err, const std::string& message) {
  fprintf(err, "trendle: %s\nTry 'trendle --help' for more information.\n", message.c_str());
  return 2;
}

int read_options(int argc, char** argv, Settings& s, int* first, FILE* out, FILE* err) {
  optind = 0;  // a fresh scan: tests run the tool many times in one process
  opterr = 0;
  const char *min_text = "", *max_text = "";  // as typed, for a message
  try {
    for (int c; (c = getopt_long(argc, argv, "+:d:t:c:H::u:pgDr:hV", kLong, nullptr)) != -1;) {
      if (c == 'h') {
        fprintf(out, "Usage: trendle [OPTION]... in_csv out_png width height [tform]\n%s\n%s",
                kOptionHelp, kFormatHelp);
        return 0;
      }
      if (c == 'V') {
        print_version(out);
        return 0;
      }
      if (c == ':' || c == '?') return bad_option(err, complaint(c, argv[optind - 1]));
      // "-H 2 log.csv out.png ..." would chart "2" over log.csv: a line
      // number goes with the option itself.
      const char* next = optind < argc ? argv[optind] : "";
      if (c == 'H' && !optarg && *next && !next[strspn(next, "0123456789")]) {
        return bad_option(err, "--header: give the line number as -H" + std::string(next) +
                                   " or --header=" + next);
      }
      take(c, optarg, s);
      if (c == kMin) min_text = optarg;
      if (c == kMax) max_text = optarg;
    }
  } catch (const BadOption& bad) {
    return bad_option(err, bad.what());
  }
  if (s.decimal_comma && s.delimiter == ',') {
    return bad_option(err, "--decimal-comma: the delimiter must be another character than ','");
  }
  if (s.thousands && s.thousands == (s.decimal_comma ? ',' : '.')) {
    return bad_option(
        err, "--thousands: " + quoted(std::string(1, s.thousands)) + " is the decimal point");
  }
  if (s.right_spec && s.panels) return bad_option(err, "--right: not with --panels");
  if (s.by_spec && !s.columns_spec) return bad_option(err, "--by: give the value fields with -c");
  if (s.elapsed && s.dates) return bad_option(err, "--elapsed: not with --dates");
  if (s.has_min && s.has_max && !(s.min_value < s.max_value)) {
    return bad_option(err, not_below(min_text, max_text, s.max_value));
  }
  *first = optind;
  return -1;
}

Settings resolve_fields(Settings s, const std::vector<std::string>* names) {
  if (s.time_spec) s.time_field = field_of("--time-column", s.time_spec, names);
  s.columns.clear();
  if (s.columns_spec) {
    for_each_field("--columns", s.columns_spec, names, [&](long long f) { add_column(f, s); });
  } else if (s.time_field != 1) {
    // Every field but the time field, in order, as far as there are series.
    for (int field = 1; s.columns.size() < kMaxSeries; ++field) {
      if (field != s.time_field) s.columns.push_back(field);
    }
  }
  s.matches.clear();
  for (const char* given : s.match_specs) add_match(given, names, s);
  if (s.by_spec) s.by_field = by_field(s, names);
  s.settle();
  s.right = 0;
  // With --by, -r lists texts, known after the scan.
  if (s.right_spec && !s.by_spec) {
    for_each_field("--right", s.right_spec, names, [&](long long f) { add_right(f, s); });
  }
  return s;
}
