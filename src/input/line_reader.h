// Reads an input line by line, each line whole whatever its length, through
// large reads of a ByteSource: every pass reads one snapshot of the input, a
// pipe copied for the passes after the first, gzip inflated. A reader can also
// be set to the lines of one part of a regular file, so that threads share out
// a file.
#ifndef TRENDLE_INPUT_LINE_READER_H_
#define TRENDLE_INPUT_LINE_READER_H_

#include <cstddef>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "input/byte_source.h"

class LineReader {
 public:
  // Reads from `file` (not owned); `path` names it in the read-failed banner.
  // Reads take up to `chunk` bytes (at least 64) at a time.
  LineReader(FILE* file, const char* path, size_t chunk = 1 << 20);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, NUL-terminated, with its newline when it has one; nullptr at
  // the end of the input. The text stays valid until the next
  // call. A read error raises the "%s - read failed" banner.
  const char* next();

  // Whether the line next() returned last holds a '"', and its length.
  bool quoted() const { return quoted_; }
  size_t length() const { return length_; }

  // Starts the input again from its first byte.
  void rewind();

  // Lines to be read again, in order, before the input's next line: lines
  // read ahead for a record that turned out not to go on in them.
  void read_again(std::deque<std::string> lines);

  // From now on the input is read by one thread: its records span lines.
  void read_alone() { alone_ = true; }
  bool alone() const { return alone_; }

  // From now on, in every pass and every part, leaves out the first `skip`
  // lines and line `header` (0: none), whose text header() then holds. Reads
  // those lines at once, and the input again from its start: a pipe is
  // copied whole before its first record. Nothing is read when both are 0.
  void drop_lines(long long skip, long long header);
  const std::string& header() const { return header_; }

  // The size of the input when it is a regular file, else -1; -1 too for a
  // compressed file, whose parts cannot be read alone.
  long long regular_size() const;

  // A reader of the same input and snapshot, for its parts (read_range).
  LineReader(const LineReader& whole, size_t chunk);

  // From here on, reads only the lines of a regular file that begin at a byte
  // in [begin, end), each whole even where it runs past `end`. These reads do
  // not move the file's offset, so readers on one file do not disturb each
  // other.
  void read_range(long long begin, long long end);

  // The file offset of the next line of a part: where reading it again
  // would start.
  long long next_line_offset() const;

  // Frees a buffer grown for a long line, keeping the unread bytes. Readers
  // of parts grow one at a time, each until it gives its buffer back, so
  // threads hold one long line's worth at a time, as a single reader does.
  void give_back();

 private:
  const char* next_line();
  const char* without_mark(const char* line);
  bool dropped(const char* line);
  // The file offset of buf_[index], for a file read from its start or a part.
  long long offset_at(size_t index) const {
    return source_.offset() - static_cast<long long>(end_ - index);
  }
  void make_buffer();
  bool fill();
  void grow();
  bool skip_to_range();
  void put_back_held();

  ByteSource source_;
  size_t base_;  // the buffer's size when not grown
  std::vector<char> buf_;
  size_t pos_ = 0;      // start of the unread text
  size_t end_ = 0;      // end of the bytes read
  size_t scanned_ = 0;  // bytes from pos_ known to hold no newline
  bool eof_ = false;
  size_t held_at_ = 0;  // where a NUL stands in for a byte of the next line
  char held_ = 0;
  bool holding_ = false;
  long long limit_ = 0;                 // lines beginning here or later are not in the range
  bool skipping_ = false;               // the line through the range's first byte is not in it
  std::unique_lock<std::mutex> grown_;  // held by a part's reader while grown
  // Lines left out: by number in a whole pass, by where they begin in a part.
  long long skip_ = 0;
  long long header_line_ = 0;
  long long number_ = 0;      // lines read in this pass
  long long drop_until_ = 0;  // where line skip + 1 begins
  long long header_at_ = -1;  // where the header line begins
  std::string header_;
  std::deque<std::string> again_;  // lines to be read again
  std::string line_again_;         // the one read again last
  bool alone_ = false;
  bool quote_ = false;    // a '"' in the bytes of the next line searched so far
  bool quoted_ = false;   // a '"' in the last line returned
  size_t length_ = 0;     // of the last line returned
  bool at_start_ = true;  // the next line is the input's first
};

#endif  // TRENDLE_INPUT_LINE_READER_H_
