#include "input/byte_source.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/fatal.h"

namespace {

bool gzip_magic(const void* bytes) {
  return memcmp(bytes, "\x1f\x8b", 2) == 0;
}

}  // namespace

// The inflate state of a gzip input. Its compressed bytes are read into `in`
// and inflated straight into the caller's buffer, a read at a time, so memory
// stays flat however far the input inflates.
struct ByteSource::Inflater {
  z_stream z{};
  std::vector<unsigned char> in;
  bool member_ended = false;
  explicit Inflater(size_t size) : in(size) {
    // 16 + 15: gzip framing, the largest window.
    if (inflateInit2(&z, 16 + 15) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&z); }
};

ByteSource::ByteSource(const ByteSource& whole, size_t chunk)
    : ByteSource(whole.file_, whole.path_, chunk) {
  snapshot_ = whole.snapshot_;
}

ByteSource::ByteSource(FILE* file, const char* path, size_t chunk)
    : file_(file), path_(path), fd_(fileno(file)) {
  struct stat st;
  bool known = fstat(fd_, &st) == 0;
  // A small file is read in one read of its own size: a buffer for a read is
  // zeroed when made, and zeroing 1 MiB for a log of a few kilobytes cost a
  // small run more page faults than its whole image.
  if (known && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) < chunk) {
    chunk = static_cast<size_t>(st.st_size) + 1;
  }
  chunk_ = std::max<size_t>(chunk, 64);
  if (known && S_ISREG(st.st_mode)) snapshot_ = st.st_size;
  if (known && !S_ISREG(st.st_mode)) {
    spool_ = temporary_file();
    if (!spool_) fail();
    spooling_ = true;
  }
}

ByteSource::~ByteSource() {
  if (spool_) fclose(spool_);
}

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

void ByteSource::fail() const {
  gerr("%s - read failed", path_);
}

size_t ByteSource::read(char* dst, size_t room) {
  size_t n = !sniffed_ && !positioned_ ? sniff(dst, room)
             : gz_                     ? inflate_into(dst, room)
                                       : read_raw(dst, room);
  if (n == 0) ended_ = true;
  return n;
}

// Bytes as the input holds them, up to the snapshot, copied to the spool when
// spooling; 0 at its end.
size_t ByteSource::read_raw(char* dst, size_t room) {
  if (snapshot_ >= 0) room = std::min<size_t>(room, std::max(snapshot_ - offset_, 0LL));
  if (room == 0) return 0;
  ssize_t n;
  do {
    n = positioned_ ? pread(fd_, dst, room, offset_) : ::read(fd_, dst, room);
  } while (n < 0 && errno == EINTR);
  if (n < 0) fail();
  offset_ += n;
  if (spooling_ && fwrite(dst, 1, n, spool_) != static_cast<size_t>(n)) fail();
  return n;
}

// The first read of a pass. It takes at least two bytes unless the input is
// shorter (a pipe may give one at a time), so gzip's magic is told apart
// without losing a byte of any other input.
size_t ByteSource::sniff(char* dst, size_t room) {
  sniffed_ = true;
  size_t first = std::min(room, chunk_);
  size_t n = 0;
  while (n < 2) {
    size_t got = read_raw(dst + n, first - n);
    if (got == 0) break;
    n += got;
  }
  if (n < 2 || !gzip_magic(dst)) return n;
  gz_ = std::make_unique<Inflater>(chunk_);
  memcpy(gz_->in.data(), dst, n);
  gz_->z.next_in = gz_->in.data();
  gz_->z.avail_in = static_cast<uInt>(n);
  return inflate_into(dst, room);
}

// Inflates until some text comes out; 0 at the end of the last member. A
// member may follow another, as `cat a.gz b.gz` joins them; the input ending
// inside one, or bytes other than zeros that are no gzip member, fail the read.
size_t ByteSource::inflate_into(char* dst, size_t room) {
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

void ByteSource::rewind() {
  if (spooling_) {
    if (fflush(spool_) != 0) fail();
    fd_ = fileno(spool_);
    spooling_ = false;
  }
  if (lseek(fd_, 0, SEEK_SET) < 0) fail();
  // A file that shrank during a whole first pass: the next reads what it read.
  if (ended_ && snapshot_ > offset_) snapshot_ = offset_;
  offset_ = 0;
  ended_ = false;
  // A compressed input is inflated again from its first byte.
  gz_.reset();
  sniffed_ = false;
}

void ByteSource::read_at(long long offset) {
  positioned_ = true;
  offset_ = offset;
  ended_ = false;
}

long long ByteSource::regular_size() const {
  if (spool_ || snapshot_ < 0) return -1;
  // Byte ranges of a compressed file hold no whole lines to read apart.
  char magic[2];
  if (pread(fd_, magic, 2, 0) == 2 && gzip_magic(magic)) return -1;
  return snapshot_;
}
