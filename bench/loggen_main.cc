// trendle-loggen ROWS SERIES [OUT] [--start=UTC_SECONDS] [--seed=N]
// Writes a deterministic benchmark log to OUT, or to standard output.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log_gen.h"

namespace {

int usage() {
  fputs("usage: trendle-loggen ROWS SERIES [OUT] [--start=UTC_SECONDS] [--seed=N]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  LogShape shape;
  const char* positional[3] = {};
  int npos = 0;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "--start=", 8) == 0) {
      shape.start = atoll(argv[i] + 8);
    } else if (strncmp(argv[i], "--seed=", 7) == 0) {
      shape.seed = strtoull(argv[i] + 7, nullptr, 10);
    } else if (npos < 3) {
      positional[npos++] = argv[i];
    } else {
      return usage();
    }
  }
  if (npos < 2) return usage();
  shape.rows = atoll(positional[0]);
  shape.series = atoi(positional[1]);
  if (shape.rows < 0 || shape.series < 1 || shape.series > 32) return usage();
  FILE* out = npos == 3 ? fopen(positional[2], "wb") : stdout;
  if (!out) {
    perror(positional[2]);
    return 1;
  }
  bool ok = write_log(shape, out);
  if (out != stdout && fclose(out) != 0) ok = false;
  if (!ok) {
    fputs("trendle-loggen: write failed\n", stderr);
    return 1;
  }
  return 0;
}
