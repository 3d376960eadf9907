#include "input/line_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "driver/fatal.h"

LineReader::LineReader(const LineReader& whole, size_t chunk)
    : LineReader(whole.file_, whole.path_, chunk) {}

LineReader::LineReader(FILE* file, const char* path, size_t chunk)
    : file_(file),
      path_(path),
      fd_(fileno(file)),
      chunk_(std::max<size_t>(chunk, 64)),
      buf_(chunk_ + 1) {
  struct stat st;
  if (fstat(fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
    spool_ = tmpfile();
    if (!spool_) fail();
    spooling_ = true;
  }
}

LineReader::~LineReader() {
  if (spool_) fclose(spool_);
}

void LineReader::fail() const {
  gerr("%s - read failed", path_);
}

// Reads more bytes behind end_, making room first; false at the end of input.
bool LineReader::fill() {
  if (pos_ > 0) {
    memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  // One byte always stays free for the NUL behind the last line.
  if (buf_.size() - end_ < chunk_ / 2 + 1) buf_.resize(buf_.size() * 2);
  size_t room = buf_.size() - 1 - end_;
  // A part needs its own bytes and the end of its last line, seldom more.
  long long rest = std::max(limit_ - offset_, 0LL);
  if (ranged_ && rest < static_cast<long long>(room) - 4096) room = rest + 4096;
  ssize_t n;
  do {
    n = ranged_ ? pread(fd_, buf_.data() + end_, room, offset_)
                : read(fd_, buf_.data() + end_, room);
  } while (n < 0 && errno == EINTR);
  if (n < 0) fail();
  if (n == 0) return false;
  offset_ += n;
  if (spooling_ && fwrite(buf_.data() + end_, 1, n, spool_) != static_cast<size_t>(n)) fail();
  end_ += n;
  return true;
}

const char* LineReader::next() {
  if (holding_) {
    buf_[held_at_] = held_;
    holding_ = false;
  }
  if (skipping_ && !skip_to_range()) return nullptr;
  if (ranged_ && offset_ - static_cast<long long>(end_ - pos_) >= limit_) return nullptr;
  for (;;) {
    char* start = buf_.data() + pos_;
    char* nl = static_cast<char*>(memchr(start + scanned_, '\n', end_ - pos_ - scanned_));
    if (nl) {
      size_t after = nl + 1 - buf_.data();
      held_at_ = after;
      held_ = buf_[after];
      holding_ = true;
      buf_[after] = '\0';
      pos_ = after;
      scanned_ = 0;
      return start;
    }
    scanned_ = end_ - pos_;
    if (eof_ || !fill()) {
      eof_ = true;
      if (pos_ == end_) return nullptr;
      char* last = buf_.data() + pos_;
      buf_[end_] = '\0';
      pos_ = end_;
      scanned_ = 0;
      return last;
    }
  }
}

void LineReader::rewind() {
  if (holding_) {
    buf_[held_at_] = held_;
    holding_ = false;
  }
  if (spooling_) {
    // A pass that stopped early still leaves the whole input in the copy.
    pos_ = end_;
    while (!eof_ && fill()) pos_ = end_;
    if (fflush(spool_) != 0) fail();
    fd_ = fileno(spool_);
    spooling_ = false;
  }
  if (lseek(fd_, 0, SEEK_SET) < 0) fail();
  pos_ = end_ = scanned_ = 0;
  eof_ = false;
}

long long LineReader::regular_size() const {
  struct stat st;
  if (spool_ || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

void LineReader::read_range(long long begin, long long end) {
  holding_ = false;
  ranged_ = true;
  // From the byte before the range: when it is a newline, the range begins
  // with a line; otherwise the first line is the rest of one begun earlier.
  offset_ = begin > 0 ? begin - 1 : 0;
  limit_ = end;
  skipping_ = begin > 0;
  pos_ = end_ = scanned_ = 0;
  eof_ = false;
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
    if (offset_ >= limit_ || eof_ || !fill()) {
      eof_ = true;
      return false;
    }
  }
}
