#include "input/line_reader.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

// Lets one reader of a part at a time grow its buffer past its usual size.
std::mutex grow_one_at_a_time;

// The first '\n' in [p, end), or null; sets `quote` when a '"' comes before
// it. A log's line ends within the first few 16-byte steps, taken inline; a
// memchr call for each line cost 3% more CPU time on the 1M x 4 benchmark log
// (213 ms against 219 ms, median of 21), and a strchr for the quote after it
// 6% more than looking for both in the same steps.
char* find_newline(char* p, char* end, bool& quote) {
  int quoted = 0;  // not `quote`: a store through it might change the text
#ifdef __SSE2__
  const __m128i newline = _mm_set1_epi8('\n'), quotes = _mm_set1_epi8('"');
  for (int steps = 0; steps < 8 && end - p >= 16; ++steps, p += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    int hit = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline));
    quoted |= _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quotes)) & (hit ^ (hit - 1));
    if (hit) {
      if (quoted) quote = true;
      return p + __builtin_ctz(hit);
    }
  }
#endif
  char* nl = static_cast<char*>(memchr(p, '\n', end - p));
  if (quoted || memchr(p, '"', (nl ? nl : end) - p)) quote = true;
  return nl;
}

}  // namespace

LineReader::LineReader(const LineReader& whole, size_t chunk)
    : source_(whole.source_, chunk), base_(source_.chunk() + 1) {
  skip_ = whole.skip_;
  header_line_ = whole.header_line_;
  drop_until_ = whole.drop_until_;
  header_at_ = whole.header_at_;
}

LineReader::LineReader(FILE* file, const char* path, size_t chunk)
    : source_(file, path, chunk), base_(source_.chunk() + 1) {}

// The buffer is made when first needed: a file shared out in blocks is read
// by the parts' readers, and the whole's megabyte, made and zeroed anyway,
// cost 1% of the CPU time of the 1M x 4 log.
void LineReader::make_buffer() {
  if (buf_.empty()) buf_.resize(base_);
}

// Reads more bytes behind end_, making room first; false at the end of input.
bool LineReader::fill() {
  make_buffer();
  if (pos_ > 0) {
    memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  // One byte always stays free for the NUL behind the last line.
  if (buf_.size() - end_ < source_.chunk() / 2 + 1) grow();
  size_t room = buf_.size() - 1 - end_;
  // A part needs its own bytes and the end of its last line, seldom more.
  long long rest = std::max(limit_ - source_.offset(), 0LL);
  if (source_.positioned() && rest < static_cast<long long>(room) - 4096) room = rest + 4096;
  size_t n = source_.read(buf_.data() + end_, room);
  end_ += n;
  return n > 0;
}

// A line longer than the memory left can hold fails the read of the input;
// running out elsewhere is no fault of the input's.
void LineReader::grow() {
  if (source_.positioned() && !grown_.owns_lock()) grown_ = std::unique_lock(grow_one_at_a_time);
  try {
    buf_.resize(buf_.size() * 2);
  } catch (const std::bad_alloc&) {
    source_.fail();
  }
}

// Puts back the byte that a NUL stands in for behind the last line.
void LineReader::put_back_held() {
  if (holding_) {
    buf_[held_at_] = held_;
    holding_ = false;
  }
}

void LineReader::give_back() {
  if (buf_.size() <= base_) return;
  put_back_held();
  size_t left = end_ - pos_;
  size_t size = std::max(base_, left + source_.chunk() / 2 + 1);
  if (size < buf_.size()) {
    try {
      std::vector<char> kept(size);
      memcpy(kept.data(), buf_.data() + pos_, left);
      buf_.swap(kept);
      pos_ = 0;
      end_ = left;
    } catch (const std::bad_alloc&) {
      // Keeping the big buffer is no worse than not having given it back.
    }
  }
  if (grown_.owns_lock()) grown_.unlock();
}

const char* LineReader::next() {
  if (!again_.empty()) {
    line_again_ = std::move(again_.front());
    again_.pop_front();
    quoted_ = line_again_.find('"') != std::string::npos;
    length_ = line_again_.size();
    return line_again_.c_str();
  }
  const char* line = next_line();
  if (skip_ == 0 && header_line_ == 0) return line;
  while (line && dropped(line)) line = next_line();
  return line;
}

bool LineReader::dropped(const char* line) {
  if (!source_.positioned()) {
    ++number_;
    return number_ <= skip_ || number_ == header_line_;
  }
  long long at = offset_at(line - buf_.data());
  return at < drop_until_ || at == header_at_;
}

void LineReader::drop_lines(long long skip, long long header) {
  if (skip == 0 && header == 0) return;
  for (long long number = 1; number <= std::max(skip, header); ++number) {
    const char* line = next_line();
    if (!line) break;
    if (number == header) {
      header_ = line;
      header_at_ = offset_at(line - buf_.data());
    }
    if (number <= skip) drop_until_ = next_line_offset();
  }
  rewind();
  skip_ = skip;
  header_line_ = header;
}

// A byte-order mark at the start of the input is no part of its first line.
// (Not known by offset: a gzip input's offset counts the bytes it inflates from.)
const char* LineReader::without_mark(const char* line) {
  if (!at_start_) return line;
  at_start_ = false;
  if (strncmp(line, "\xEF\xBB\xBF", 3) != 0) return line;
  length_ -= 3;
  return line + 3;
}

const char* LineReader::next_line() {
  make_buffer();
  // A part's reader gives back a long line's buffer for another part's.
  if (source_.positioned() && buf_.size() > base_ && end_ - pos_ <= source_.chunk() / 2) {
    give_back();
  }
  if (skipping_ && !skip_to_range()) return nullptr;
  if (source_.positioned() && offset_at(pos_) >= limit_) return nullptr;
  for (;;) {
    char* start = buf_.data() + pos_;
    // The byte under the last line's NUL, when it is one read, goes back
    // after the search: a 16-byte load just after a store into it waits for
    // the store to land, which cost 2% of the CPU time of the 1M x 4 log.
    bool empty = holding_ && held_at_ < end_ && held_ == '\n';
    // Nor is a quote there seen by the search.
    if (holding_ && held_at_ == pos_ + scanned_ && held_ == '"') quote_ = true;
    char* nl = empty ? start : find_newline(start + scanned_, buf_.data() + end_, quote_);
    put_back_held();
    if (nl) {
      size_t after = nl + 1 - buf_.data();
      held_at_ = after;
      held_ = buf_[after];
      holding_ = true;
      buf_[after] = '\0';
      pos_ = after;
      scanned_ = 0;
      quoted_ = quote_;
      quote_ = false;
      length_ = after - (start - buf_.data());
      return without_mark(start);
    }
    scanned_ = end_ - pos_;
    if (eof_ || !fill()) {
      eof_ = true;
      if (pos_ == end_) return nullptr;
      char* last = buf_.data() + pos_;
      buf_[end_] = '\0';
      pos_ = end_;
      scanned_ = 0;
      quoted_ = quote_;
      quote_ = false;
      length_ = end_ - (last - buf_.data());
      return without_mark(last);
    }
  }
}

void LineReader::rewind() {
  put_back_held();
  if (source_.spooling()) {
    // A pass that stopped early still leaves the whole input in the copy.
    pos_ = end_;
    while (!eof_ && fill()) pos_ = end_;
  }
  source_.rewind();
  pos_ = end_ = scanned_ = 0;
  quote_ = false;
  at_start_ = true;
  number_ = 0;
  eof_ = false;
  again_.clear();
}

void LineReader::read_again(std::deque<std::string> lines) {
  lines.insert(lines.end(), std::make_move_iterator(again_.begin()),
               std::make_move_iterator(again_.end()));
  again_ = std::move(lines);
}

long long LineReader::regular_size() const {
  return source_.regular_size();
}

void LineReader::read_range(long long begin, long long end) {
  holding_ = false;
  // From the byte before the range: when it is a newline, the range begins
  // with a line; otherwise the first line is the rest of one begun earlier.
  source_.read_at(begin > 0 ? begin - 1 : 0);
  limit_ = end;
  skipping_ = begin > 0;
  at_start_ = begin == 0;
  pos_ = end_ = scanned_ = 0;
  quote_ = false;
  eof_ = false;
  give_back();
}

long long LineReader::next_line_offset() const {
  return offset_at(pos_);
}

// Passes over the text up to and including the first newline; false when the
// input ends first.
bool LineReader::skip_to_range() {
  for (;;) {
    char* start = buf_.data() + pos_;
    char* nl = static_cast<char*>(memchr(start, '\n', end_ - pos_));
    if (nl) {
      pos_ = nl + 1 - buf_.data();
      skipping_ = false;
      return true;
    }
    pos_ = end_;
    // A line found from here on would begin past the range: a part inside one
    // long line stops at its own end, not at the line's, or the parts of a
    // line of n bytes would read n * n / block bytes between them.
    if (source_.offset() >= limit_ || eof_ || !fill()) {
      eof_ = true;
      return false;
    }
  }
}
