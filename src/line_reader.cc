#include "line_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fatal.h"

namespace {

constexpr size_t kChunk = 1 << 20;

}  // namespace

LineReader::LineReader(FILE* file, const char* path)
    : path_(path), fd_(fileno(file)), buf_(kChunk + 1) {
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

void LineReader::fail() const { gerr("%s - read failed", path_); }

// Reads more bytes behind end_, making room first; false at the end of input.
bool LineReader::fill() {
  if (pos_ > 0) {
    memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  // One byte always stays free for the NUL behind the last line.
  if (buf_.size() - end_ < kChunk / 2 + 1) buf_.resize(buf_.size() * 2);
  ssize_t n;
  do {
    n = read(fd_, buf_.data() + end_, buf_.size() - 1 - end_);
  } while (n < 0 && errno == EINTR);
  if (n < 0) fail();
  if (n == 0) return false;
  if (spooling_ && fwrite(buf_.data() + end_, 1, n, spool_) != static_cast<size_t>(n)) fail();
  end_ += n;
  return true;
}

char* LineReader::next() {
  if (holding_) {
    buf_[held_at_] = held_;
    holding_ = false;
  }
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
