// The bytes of one snapshot of an input, read into a caller's buffer. A regular
// file is read up to the size it had when the source was made (or the bytes a
// whole pass found, if it shrank), so bytes a logger appends meanwhile are not
// read; an input that cannot be rewound (a pipe, a FIFO, a terminal) is copied
// to an unnamed temporary file in $TMPDIR (else /tmp) during the first pass. An
// input that begins with gzip's magic bytes is inflated as it is read, whatever
// its name. A regular file can also be read from any offset.
#ifndef TRENDLE_INPUT_BYTE_SOURCE_H_
#define TRENDLE_INPUT_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdio>
#include <memory>

class ByteSource {
 public:
  // Reads from `file` (not owned); `path` names it in the read-failed banner,
  // which a read error, or a copy that cannot be made, raises.
  ByteSource(FILE* file, const char* path, size_t chunk);
  // A source of the same input and snapshot as `whole`, for reading its parts.
  ByteSource(const ByteSource& whole, size_t chunk);
  ~ByteSource();
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // The size of a read: `chunk`, at least 64, or a smaller regular file's size + 1.
  size_t chunk() const { return chunk_; }

  // Up to `room` bytes of text into `dst`; 0 at the end of the snapshot.
  size_t read(char* dst, size_t room);

  // The input's bytes read in this pass; after read_at, the file offset of the
  // next byte.
  long long offset() const { return offset_; }

  // Starts the input again from its first byte. A copy being made must have
  // been read to its end first (while spooling()).
  void rewind();
  bool spooling() const { return spooling_; }

  // From here on, reads a regular file as it is from `offset`, by pread: the
  // file's offset does not move, so sources on one file do not disturb each
  // other.
  void read_at(long long offset);
  bool positioned() const { return positioned_; }

  // The size of the snapshot of a regular file, else -1; -1 too for a
  // compressed file, whose parts cannot be read alone.
  long long regular_size() const;

  // Raises the read-failed banner, naming the input.
  [[noreturn]] void fail() const;

 private:
  size_t read_raw(char* dst, size_t room);
  size_t sniff(char* dst, size_t room);
  size_t inflate_into(char* dst, size_t room);

  FILE* file_;
  const char* path_;
  int fd_;
  size_t chunk_;
  long long snapshot_ = -1;  // the bytes of a regular file read, else -1
  FILE* spool_ = nullptr;    // copy of a non-rewindable input, first pass only
  bool spooling_ = false;
  long long offset_ = 0;
  bool ended_ = false;       // a read of this pass found the end
  bool positioned_ = false;  // reading a regular file with pread
  bool sniffed_ = false;     // this pass's first bytes were checked for gzip's magic
  struct Inflater;
  std::unique_ptr<Inflater> gz_;  // set while reading a gzip input
};

// An unnamed temporary file in $TMPDIR, else /tmp, gone from the directory
// from the start; null when none can be made.
FILE* temporary_file();

#endif  // TRENDLE_INPUT_BYTE_SOURCE_H_
