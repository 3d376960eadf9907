#include "log_gen.h"

#include <cstring>
#include <vector>

namespace {

// splitmix64: tiny, fast and the same everywhere.
struct Random {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform enough in [0, n) for a benchmark.
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
};

struct Civil {
  int year, month, day;
};

// Days since 1970-01-01 to the proleptic Gregorian date.
Civil civil_from_days(long long z) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (month <= 2)), month, day};
}

class Writer {
 public:
  explicit Writer(FILE* out) : out_(out) { buf_.reserve(kFlushAt + 4096); }
  void put(char c) { buf_.push_back(c); }
  void put(const char* s) { buf_.insert(buf_.end(), s, s + strlen(s)); }
  void two_digits(int n) {
    put(static_cast<char>('0' + n / 10 % 10));
    put(static_cast<char>('0' + n % 10));
  }
  void number(unsigned long long n) {
    char tmp[24];
    int len = 0;
    do {
      tmp[len++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n);
    while (len) put(tmp[--len]);
  }
  bool end_line() {
    put('\n');
    return buf_.size() < kFlushAt || flush();
  }
  bool flush() {
    bool ok = fwrite(buf_.data(), 1, buf_.size(), out_) == buf_.size();
    buf_.clear();
    return ok;
  }

 private:
  static constexpr size_t kFlushAt = 1 << 20;
  FILE* out_;
  std::vector<char> buf_;
};

// Readings are kept in units of 1e-4 so that the walk is exact integer maths.
constexpr long long kUnit = 10000;

void put_reading(Writer& w, long long units, int decimals) {
  long long div = 1;
  for (int i = decimals; i < 4; ++i) div *= 10;
  unsigned long long mag = units < 0 ? -units : units;
  mag = (mag + div / 2) / div;  // half away from zero
  if (units < 0 && mag != 0) w.put('-');
  unsigned long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  w.number(mag / scale);
  w.put('.');
  unsigned long long frac = mag % scale;
  for (unsigned long long s = scale / 10; s > 0; s /= 10)
    w.put(static_cast<char>('0' + frac / s % 10));
}

void put_clock(Writer& w, long long t) {
  long long days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
  int sod = static_cast<int>(t - days * 86400);
  Civil c = civil_from_days(days);
  w.two_digits(c.day);
  w.put('/');
  w.two_digits(c.month);
  w.put('/');
  w.two_digits(c.year % 100);
  w.put(' ');
  w.two_digits(sod / 3600);
  w.put(':');
  w.two_digits(sod / 60 % 60);
  w.put(':');
  w.two_digits(sod % 60);
}

}  // namespace

bool write_log(const LogShape& shape, FILE* out) {
  Writer w(out);
  Random rnd{shape.seed};
  // Each series wanders about its own level, some of them below zero.
  std::vector<long long> level(shape.series), drift(shape.series);
  for (int k = 0; k < shape.series; ++k) level[k] = (k % 5 - 2) * 30 * kUnit;
  w.put("# trendle benchmark log\n");
  for (long long row = 0; row < shape.rows; ++row) {
    if (rnd.below(1000) == 0) {
      w.put("# sensor check ");
      w.number(row);
      if (!w.end_line()) return false;
    }
    put_clock(w, shape.start + row);
    for (int k = 0; k < shape.series; ++k) {
      // A mean-reverting walk, so that the range stays put however long the log.
      drift[k] += (rnd.below(2001) - 1000) * (1 + k % 7) - drift[k] / 512;
      w.put(',');
      if (rnd.below(400) == 0) continue;  // an empty cell
      put_reading(w, level[k] + drift[k], 2 + k % 3);
    }
    if (!w.end_line()) return false;
  }
  return w.flush() && fflush(out) == 0;
}
