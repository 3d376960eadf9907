#include "input/line_reader.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "common/fatal.h"

namespace {

bool gzip_magic(const void* bytes) {
  return memcmp(bytes, "\x1f\x8b", 2) == 0;
}

// Lets one reader of a part at a time grow its buffer past its usual size.
std::mutex grow_one_at_a_time;

// An unnamed temporary file in $TMPDIR, else /tmp; null when none can be made.
FILE* temporary_file() {
  const char* dir = getenv("TMPDIR");
  std::string name = std::string(dir && *dir ? dir : "/tmp") + "/trendle-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  unlink(name.c_str());
  FILE* f = fdopen(fd, "w+b");
  if (!f) close(fd);
  return f;
}

}  // namespace

// The inflate state of a gzip input. Its compressed bytes are read into `in`
// and inflated straight into the line buffer, a chunk at a time, so memory
// stays flat however far the input inflates.
struct LineReader::Inflater {
  z_stream z{};
  std::vector<unsigned char> in;
  bool member_ended = false;
  explicit Inflater(size_t size) : in(size) {
    // 16 + 15: gzip framing, the largest window.
    if (inflateInit2(&z, 16 + 15) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&z); }
};

LineReader::LineReader(const LineReader& whole, size_t chunk)
    : LineReader(whole.file_, whole.path_, chunk) {
  snapshot_ = whole.snapshot_;
  skip_ = whole.skip_;
  header_line_ = whole.header_line_;
  drop_until_ = whole.drop_until_;
  header_at_ = whole.header_at_;
}

LineReader::LineReader(FILE* file, const char* path, size_t chunk)
    : file_(file), path_(path), fd_(fileno(file)) {
  struct stat st;
  bool known = fstat(fd_, &st) == 0;
  // A small file is read in one read of its own size: the buffer is zeroed
  // when made, and zeroing 1 MiB for a log of a few kilobytes cost a small
  // run more page faults than its whole image.
  if (known && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) < chunk) {
    chunk = static_cast<size_t>(st.st_size) + 1;
  }
  chunk_ = std::max<size_t>(chunk, 64);
  base_ = chunk_ + 1;
  buf_.resize(base_);
  if (known && S_ISREG(st.st_mode)) snapshot_ = st.st_size;
  if (known && !S_ISREG(st.st_mode)) {
    spool_ = temporary_file();
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
  if (buf_.size() - end_ < chunk_ / 2 + 1) grow();
  size_t room = buf_.size() - 1 - end_;
  // A part needs its own bytes and the end of its last line, seldom more.
  long long rest = std::max(limit_ - offset_, 0LL);
  if (ranged_ && rest < static_cast<long long>(room) - 4096) room = rest + 4096;
  char* dst = buf_.data() + end_;
  size_t n = !sniffed_ && !ranged_ ? sniff() : gz_ ? inflate_into(dst, room) : read_raw(dst, room);
  end_ += n;
  return n > 0;
}

void LineReader::grow() {
  if (ranged_ && !grown_.owns_lock()) grown_ = std::unique_lock(grow_one_at_a_time);
  buf_.resize(buf_.size() * 2);
}

void LineReader::give_back() {
  if (buf_.size() == base_) return;
  if (holding_) {
    buf_[held_at_] = held_;
    holding_ = false;
  }
  size_t left = end_ - pos_;
  size_t size = std::max(base_, left + chunk_ / 2 + 1);
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

// Bytes as the input holds them, up to the snapshot, copied to the spool when
// spooling; 0 at its end.
size_t LineReader::read_raw(char* dst, size_t room) {
  if (snapshot_ >= 0) room = std::min<size_t>(room, std::max(snapshot_ - offset_, 0LL));
  if (room == 0) return 0;
  ssize_t n;
  do {
    n = ranged_ ? pread(fd_, dst, room, offset_) : read(fd_, dst, room);
  } while (n < 0 && errno == EINTR);
  if (n < 0) fail();
  offset_ += n;
  if (spooling_ && fwrite(dst, 1, n, spool_) != static_cast<size_t>(n)) fail();
  return n;
}

// The first read of a pass, into the empty buffer. It takes at least two
// bytes unless the input is shorter (a pipe may give one at a time), so
// gzip's magic is told apart without losing a byte of any other input.
size_t LineReader::sniff() {
  sniffed_ = true;
  char* dst = buf_.data();
  size_t n = 0;
  while (n < 2) {
    size_t got = read_raw(dst + n, chunk_ - n);
    if (got == 0) break;
    n += got;
  }
  if (n < 2 || !gzip_magic(dst)) return n;
  gz_ = std::make_unique<Inflater>(chunk_);
  memcpy(gz_->in.data(), dst, n);
  gz_->z.next_in = gz_->in.data();
  gz_->z.avail_in = static_cast<uInt>(n);
  return inflate_into(dst, buf_.size() - 1);
}

// Inflates until some text comes out; 0 at the end of the last member. A
// member may follow another, as `cat a.gz b.gz` joins them; the input ending
// inside one, or bytes other than zeros that are no gzip member, fail the read.
size_t LineReader::inflate_into(char* dst, size_t room) {
  z_stream& z = gz_->z;
  room = std::min<size_t>(room, 1 << 30);  // what avail_out can hold
  z.next_out = reinterpret_cast<Bytef*>(dst);
  z.avail_out = static_cast<uInt>(room);
  while (z.avail_out == room) {
    if (z.avail_in == 0) {
      size_t n = read_raw(reinterpret_cast<char*>(gz_->in.data()), gz_->in.size());
      if (n == 0 && !gz_->member_ended) fail();
      if (n == 0) return 0;
      z.next_in = gz_->in.data();
      z.avail_in = static_cast<uInt>(n);
    }
    if (gz_->member_ended) {
      // Zero bytes after a member are padding, as block devices and some
      // archivers leave it; anything else must be another member.
      while (z.avail_in > 0 && *z.next_in == 0) {
        ++z.next_in;
        --z.avail_in;
      }
      if (z.avail_in == 0) continue;
      inflateReset(&z);
      gz_->member_ended = false;
    }
    int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) {
      gz_->member_ended = true;
    } else if (r != Z_OK) {
      fail();
    }
  }
  return room - z.avail_out;
}

const char* LineReader::next() {
  const char* line = next_line();
  if (skip_ == 0 && header_line_ == 0) return line;
  while (line && dropped(line)) line = next_line();
  return line;
}

bool LineReader::dropped(const char* line) {
  if (!ranged_) {
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

const char* LineReader::next_line() {
  if (holding_) {
    buf_[held_at_] = held_;
    holding_ = false;
  }
  // A part's reader gives back a long line's buffer for another part's.
  if (ranged_ && buf_.size() > base_ && end_ - pos_ <= chunk_ / 2) give_back();
  if (skipping_ && !skip_to_range()) return nullptr;
  if (ranged_ && offset_at(pos_) >= limit_) return nullptr;
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
  // A file that shrank during a whole first pass: the next reads what it read.
  if (eof_ && snapshot_ > offset_) snapshot_ = offset_;
  pos_ = end_ = scanned_ = 0;
  offset_ = 0;
  number_ = 0;
  eof_ = false;
  // A compressed input is decompressed again from its first byte.
  gz_.reset();
  sniffed_ = false;
}

long long LineReader::regular_size() const {
  if (spool_ || snapshot_ < 0) return -1;
  // Byte ranges of a compressed file hold no whole lines to read apart.
  char magic[2];
  if (pread(fd_, magic, 2, 0) == 2 && gzip_magic(magic)) return -1;
  return snapshot_;
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
    if (offset_ >= limit_ || eof_ || !fill()) {
      eof_ = true;
      return false;
    }
  }
}
