// Fuzz target: one whole run of the tool on arbitrary file contents.
// Input: width (2 bytes), height (2 bytes), a mode byte, a tform length byte
// (255: no tform argument), the tform, then the file contents. Besides
// sanitizer reports, it aborts when the exit status, the standard error text
// or the written PNG's header is wrong, when the input file was changed, or
// when the same contents give another PNG read through a pipe (mode bit 0) or
// scanned in blocks (mode bits 1 to 6: 1 to 62 bytes, or 63 for two blocks,
// which hold records enough to fill pixel columns).
#include <gd.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "block_pool.h"
#include "driver.h"

namespace {

// The input and output files, private to the process and removed after each
// input: libFuzzer may end the process without running exit handlers.
std::string in_path, out_path;

void check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "run_fuzz: %s\n", what);
  abort();
}

// gd warns on standard error about the sizes it refuses; that is expected here.
void quiet(int, const char*, va_list) {}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void write_file(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

struct Run {
  int status;
  std::string err;
  std::string png;  // empty when no file was written
};

Run run(const std::string& in, const std::string& size_w, const std::string& size_h,
        const std::string* tform) {
  unlink(out_path.c_str());
  std::vector<std::string> args = {"trendle", in, out_path, size_w, size_h};
  if (tform) args.push_back(*tform);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  char* err_text = nullptr;
  size_t err_size = 0;
  FILE* err = open_memstream(&err_text, &err_size);
  int status = run_trendle(static_cast<int>(args.size()), argv.data(), err);
  fclose(err);
  Run r{status, std::string(err_text, err_size), read_file(out_path)};
  free(err_text);
  return r;
}

uint32_t be32(const std::string& s, size_t at) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void check_run(const Run& r, int width, int height) {
  if (width <= 0 || height <= 0) {
    check(r.status == 1, "an empty size must fail");
    check(r.err == "Failed to create image.\n", "wrong message for an empty size");
    check(r.png.empty(), "a file was written for an empty size");
    return;
  }
  check(r.status == 0, "a run with an image must write it");
  check(r.err.empty(), "a run that wrote its image printed a message");
  check(r.png.size() > 29 && r.png.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
            r.png.compare(12, 4, "IHDR") == 0,
        "the output is no PNG");
  check(be32(r.png, 16) == static_cast<uint32_t>(width), "PNG width");
  check(be32(r.png, 20) == static_cast<uint32_t>(height), "PNG height");
  check(r.png[28] == 1, "PNG not interlaced");
}

// The same contents read through a pipe, which cannot be rewound.
Run run_through_pipe(const std::string& contents, const std::string& size_w,
                     const std::string& size_h, const std::string* tform) {
  int fds[2];
  check(pipe(fds) == 0, "pipe");
  // The whole contents fit in the pipe's buffer, so no writer process is needed.
  check(write(fds[1], contents.data(), contents.size()) == static_cast<ssize_t>(contents.size()),
        "write to pipe");
  close(fds[1]);
  Run r = run("/dev/fd/" + std::to_string(fds[0]), size_w, size_h, tform);
  close(fds[0]);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A zone with daylight saving, fixed so that every input means one thing.
  setenv("TZ", "Europe/London", 1);
  tzset();
  gdSetErrorMethod(quiet);
  std::string stem = "/tmp/trendle-run-fuzz-" + std::to_string(getpid());
  in_path = stem + ".csv";
  out_path = stem + ".png";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  // Sizes from -1 to 800: an empty image, then every size worth drawing.
  int width = (data[0] | data[1] << 8) % 802 - 1;
  int height = (data[2] | data[3] << 8) % 802 - 1;
  bool through_pipe = data[4] & 1;
  size_t block = data[4] >> 1 & 63;  // 0: the default block size
  size_t tform_size = data[5];
  bool has_tform = tform_size != 255;
  if (!has_tform) tform_size = 0;
  if (tform_size > size - 6) tform_size = size - 6;
  const char* rest = reinterpret_cast<const char*>(data) + 6;
  std::string tform(rest, strnlen(rest, tform_size));
  std::string contents(rest + tform_size, size - 6 - tform_size);

  write_file(in_path, contents);
  std::string w = std::to_string(width), h = std::to_string(height);
  const std::string* tform_arg = has_tform ? &tform : nullptr;
  Run r = run(in_path, w, h, tform_arg);
  check_run(r, width, height);
  check(read_file(in_path) == contents, "the input file was changed");
  if (block == 63) block = contents.size() / 2 + 1;
  if (block != 0 && contents.size() > block) {
    long long usual = block_bytes();
    set_block_bytes(static_cast<long long>(block));
    Run b = run(in_path, w, h, tform_arg);
    set_block_bytes(usual);
    check(b.status == r.status && b.err == r.err, "a scan in blocks ended differently");
    check(b.png == r.png, "a scan in blocks gave another image");
  }
  if (through_pipe && contents.size() <= 65536) {
    Run p = run_through_pipe(contents, w, h, tform_arg);
    check(p.status == r.status && p.err == r.err, "a pipe ended differently from a file");
    check(p.png == r.png, "a pipe gave another image than a file");
  }
  unlink(in_path.c_str());
  unlink(out_path.c_str());
  return 0;
}
