#include "input/last_record.h"

#include <algorithm>
#include <tuple>

#include "common/fatal.h"
#include "input/line_reader.h"
#include "input/record.h"

namespace {

// The first part read back from the end; each further part is twice as long.
constexpr long long kFirstPart = 64 << 10;

// Whether `line` is a record in the window, its time then in s.
bool charted(const char* line, const Settings& set, Sample& s) {
  try {
    if (parse_record(line, set, s) != Line::record) return false;
  } catch (const Fatal&) {
    return false;
  }
  return in_window(set, s.time, s.nanos);
}

// The time of the last charted record of the lines that `lines` reads; with
// --sort, of the latest.
bool last_of(LineReader& lines, const Settings& set, time_t& t, int& nanos) {
  Sample s;
  bool found = false;
  while (const char* line = lines.next()) {
    if (!charted(line, set, s)) continue;
    if (found && set.sort && std::tie(s.time, s.nanos) < std::tie(t, nanos)) continue;
    t = s.time;
    nanos = s.nanos;
    found = true;
  }
  return found;
}

}  // namespace

bool last_record_time(LineReader& in, const Settings& set, time_t& t, int& nanos) {
  bool found = false;
  long long size = in.regular_size();
  if (size < 0 || set.sort) {
    found = last_of(in, set, t, nanos);
    in.rewind();
  } else {
    LineReader part(in, static_cast<size_t>(std::min(size + 1, kFirstPart)));
    for (long long end = size, length = kFirstPart; end > 0 && !found; length *= 2) {
      long long begin = std::max(end - length, 0LL);
      part.read_range(begin, end);
      found = last_of(part, set, t, nanos);
      end = begin;
    }
  }
  return found;
}
