#include "input/sorted_log.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>

#include "common/fatal.h"
#include "input/blocks.h"
#include "input/byte_source.h"
#include "input/line_reader.h"
#include "input/record.h"

namespace {

long long bytes_per_run = 2 << 20;

// A record as written out: its time, a bit per series with a cell read (a
// NaN among them, no value as ever), then the values of the series kept,
// each record as long as the next: a log of 4 series takes 32 bytes a record.
struct Head {
  int64_t time;
  int32_t nanos;
  uint32_t mask;
};
constexpr size_t kMaxRecord = sizeof(Head) + kMaxSeries * sizeof(float);

void encode(const Sample& s, int series, char* out) {
  Head head{s.time, s.nanos, 0};
  char* value = out + sizeof head;
  for (int n = 0; n < series; ++n, value += sizeof(float)) {
    bool valid = n < s.columns && s.flags[n];
    float v = valid ? s.values[n] : 0;
    head.mask |= valid << n;
    memcpy(value, &v, sizeof v);
  }
  memcpy(out, &head, sizeof head);
}

Head head_of(const char* record) {
  Head head;
  memcpy(&head, record, sizeof head);
  return head;
}

// Into a Sample whose flags from `series` on are 0, as a new one's.
void decode(const char* record, int series, Sample& s) {
  Head head = head_of(record);
  s.time = static_cast<time_t>(head.time);
  s.nanos = head.nanos;
  memcpy(s.values, record + sizeof head, series * sizeof(float));
  for (int n = 0; n < series; ++n) s.flags[n] = head.mask >> n & 1;
  s.columns = series;
}

// Runs merged at once, and the memory their read buffers share: a longer log
// is merged in more than one round.
constexpr size_t kWays = 128;
constexpr size_t kMergeBytes = 8 << 20;

// Bytes written at once.
constexpr size_t kWriteBytes = 1 << 20;

// Records one worker encodes before handing them over.
constexpr size_t kPartBytes = 256 << 10;

struct alignas(64) Part {
  std::unique_ptr<char[]> records;  // kPartBytes, made once
  size_t used = 0;
  BlockStop stop;
};

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File new_file(const char* path) {
  FILE* f = temporary_file();
  if (!f) gerr("%s - read failed", path);
  return File(f, &fclose);
}

// Bytes gathered and written to a file in large writes.
class Writer {
 public:
  Writer(FILE* file, const char* path)
      : fd_(fileno(file)), path_(path), buf_(std::make_unique_for_overwrite<char[]>(kWriteBytes)) {}
  void put(const char* bytes, size_t size) {
    if (used_ + size > kWriteBytes) flush();
    memcpy(buf_.get() + used_, bytes, size);
    used_ += size;
  }
  // The bytes put so far, all written.
  long long flush() {
    for (size_t done = 0; done < used_;) {
      ssize_t wrote = pwrite(fd_, buf_.get() + done, used_ - done, offset_);
      if (wrote <= 0) gerr("%s - read failed", path_);
      done += static_cast<size_t>(wrote);
      offset_ += wrote;
    }
    used_ = 0;
    return offset_;
  }

 private:
  int fd_;
  const char* path_;
  long long offset_ = 0;
  std::unique_ptr<char[]> buf_;
  size_t used_ = 0;
};

}  // namespace

long long sort_run_bytes() {
  return bytes_per_run;
}

void set_sort_run_bytes(long long bytes) {
  bytes_per_run = bytes;
}

// Reads runs of a file back in key order, each through a buffer of its own:
// the earliest head first, of equal times the earlier run's.
struct SortedLog::Merge {
  struct Cursor {
    long long at, end;  // the bytes not yet read into buf
    std::vector<char> buf;
    size_t pos = 0, len = 0;
    Head head{};
  };

  // Orders cursors for a heap with the earliest head on top.
  struct Later {
    const std::vector<Cursor>* cursors;
    bool operator()(int a, int b) const {
      const Head &x = (*cursors)[a].head, &y = (*cursors)[b].head;
      return std::tie(x.time, x.nanos, a) > std::tie(y.time, y.nanos, b);
    }
  };

  Merge(FILE* file, const std::vector<Run>& runs, size_t size, const char* path)
      : fd(fileno(file)), size(size), path(path) {
    size_t room = std::clamp(kMergeBytes / std::max<size_t>(runs.size(), 1), size_t{64} << 10,
                             size_t{1} << 20);
    for (const Run& run : runs) {
      cursors.push_back(Cursor{.at = run.begin, .end = run.end, .buf = std::vector<char>(room)});
      begins.push_back(run.begin);
    }
    start();
  }

  void start() {
    heap.clear();
    pending = -1;
    for (size_t i = 0; i < cursors.size(); ++i) {
      Cursor& c = cursors[i];
      c.at = begins[i];
      c.pos = c.len = 0;
      if (load(c)) heap.push_back(static_cast<int>(i));
    }
    std::make_heap(heap.begin(), heap.end(), Later{&cursors});
  }

  // The next record, valid until the next call; nullptr after the last.
  const char* next() {
    if (pending >= 0) {
      Cursor& c = cursors[pending];
      c.pos += size;
      if (load(c)) {
        heap.push_back(pending);
        std::push_heap(heap.begin(), heap.end(), Later{&cursors});
      }
      pending = -1;
    }
    if (heap.empty()) return nullptr;
    std::pop_heap(heap.begin(), heap.end(), Later{&cursors});
    pending = heap.back();
    heap.pop_back();
    const Cursor& c = cursors[pending];
    return c.buf.data() + c.pos;
  }

 private:
  // The head of c's next record, whole in its buffer: false at the run's end.
  bool load(Cursor& c) {
    if (c.len - c.pos < size) {
      memmove(c.buf.data(), c.buf.data() + c.pos, c.len - c.pos);
      c.len -= c.pos;
      c.pos = 0;
      while (c.len < size && c.at < c.end) {
        size_t want = static_cast<size_t>(std::min<long long>(c.buf.size() - c.len, c.end - c.at));
        ssize_t got = pread(fd, c.buf.data() + c.len, want, c.at);
        if (got <= 0) gerr("%s - read failed", path);
        c.len += static_cast<size_t>(got);
        c.at += got;
      }
      if (c.len < size) return false;
    }
    c.head = head_of(c.buf.data() + c.pos);
    return true;
  }

  int fd;
  size_t size;
  const char* path;
  std::vector<Cursor> cursors;
  std::vector<long long> begins;
  std::vector<int> heap;  // cursors with a record left, the earliest on top
  int pending = -1;       // the cursor whose record next() returned last
};

// A record's place in time order: its time (the sign bit flipped, so that it
// orders as an unsigned number), nanoseconds and index in its run, in one
// number, which sorts faster than the three.
using Key = unsigned __int128;

Key key_of(const char* record, size_t index) {
  Head head = head_of(record);
  uint64_t time = static_cast<uint64_t>(head.time) ^ (uint64_t{1} << 63);
  return static_cast<Key>(time) << 64 | static_cast<uint64_t>(head.nanos) << 32 | index;
}

// Takes records in file order and writes them out in sorted runs, one after
// another.
struct SortedLog::Runs {
  Runs(FILE* file, size_t size, const char* path)
      : size(size),
        per_run(std::clamp<size_t>(static_cast<size_t>(bytes_per_run) / size, 1, 1 << 24)),
        out(file, path) {
    records.reserve(per_run * size);
  }

  void add(const char* more, size_t count) {
    while (count > 0) {
      size_t room = per_run - records.size() / size;
      size_t taken = std::min(count, room);
      records.insert(records.end(), more, more + taken * size);
      more += taken * size;
      count -= taken;
      if (taken == room) write_run();
    }
  }

  // The runs, all written.
  std::vector<Run> finish() {
    if (!records.empty()) write_run();
    return runs;
  }

 private:
  // Sorts the records held by time, those at equal times in the order read,
  // and writes them out after the runs before.
  void write_run() {
    keys.clear();
    for (size_t at = 0; at < records.size(); at += size) {
      keys.push_back(key_of(&records[at], at / size));
    }
    std::sort(keys.begin(), keys.end());
    long long begin = runs.empty() ? 0 : runs.back().end;
    for (Key key : keys) out.put(&records[static_cast<uint32_t>(key) * size], size);
    runs.push_back(Run{begin, out.flush()});
    records.clear();
  }

  size_t size;
  size_t per_run;  // records; their index is a key's low 32 bits
  std::vector<char> records;
  std::vector<Key> keys;
  Writer out;
  std::vector<Run> runs;
};

SortedLog::SortedLog(const Settings& set, LineReader& in, int series)
    : path_(set.in_csv), size_(sizeof(Head) + series * sizeof(float)) {
  file_ = new_file(path_);
  Runs runs(file_.get(), size_, path_);
  if (int count = block_count(in)) {
    Part parts[kSlots];
    long long records = 0;
    run_in_order(
        in, count,
        [&](LineReader& lines, int slot) {
          Part& part = parts[slot];
          if (!part.records) part.records = std::make_unique_for_overwrite<char[]>(kPartBytes);
          part.used = 0;
          part.stop = BlockStop();
          Sample s;
          for (; part.used + size_ <= kPartBytes; part.used += size_) {
            if (!next_block_record(lines, set, s, part.stop)) return true;
            encode(s, series, &part.records[part.used]);
          }
          return false;
        },
        [&](int slot) {
          const Part& part = parts[slot];
          runs.add(part.records.get(), part.used / size_);
          records += static_cast<long long>(part.used / size_);
          finish_block(part.stop, records + 1);
        });
  } else {
    Sample s;
    char record[kMaxRecord];
    for (long long records = 0; next_record(in, set, records + 1, s); ++records) {
      encode(s, series, record);
      runs.add(record, 1);
    }
    in.rewind();
  }
  runs_ = runs.finish();
  merge_down();
  merge_ = std::make_unique<Merge>(file_.get(), runs_, size_, path_);
}

SortedLog::~SortedLog() = default;

bool SortedLog::next(Sample& s) {
  const char* record = merge_->next();
  if (!record) return false;
  decode(record, static_cast<int>((size_ - sizeof(Head)) / sizeof(float)), s);
  return true;
}

void SortedLog::rewind() {
  merge_->start();
}

// Merges the runs kWays at a time into a new file until they are few enough
// to merge as they are read.
void SortedLog::merge_down() {
  while (runs_.size() > kWays) {
    File merged = new_file(path_);
    Writer out(merged.get(), path_);
    std::vector<Run> longer;
    for (size_t first = 0; first < runs_.size(); first += kWays) {
      std::vector<Run> group(runs_.begin() + first,
                             runs_.begin() + std::min(first + kWays, runs_.size()));
      Merge merge(file_.get(), group, size_, path_);
      long long begin = out.flush();
      while (const char* record = merge.next()) out.put(record, size_);
      longer.push_back(Run{begin, out.flush()});
    }
    file_ = std::move(merged);
    runs_ = longer;
  }
}
