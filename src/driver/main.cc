#include <malloc.h>
#include <pthread.h>

#include <cstdio>
#include <cstdlib>

#include "driver/driver.h"

int main(int argc, char** argv) {
  // With TZ unset the C library looks at /etc/localtime again on every
  // mktime, a system call each; naming the same file reads it once.
  setenv("TZ", ":/etc/localtime", 0);
  // Address space as a limit on it (ulimit -v) counts it: threads share one
  // heap (one of their own reserves 64 MB) and a small stack (they read
  // lines, they do not recurse), so that a file read by threads needs about
  // what a pipe read by one thread needs (9.7 MB against 9.6 MB for the
  // 1M x 4 benchmark log). A thread that cannot be made leaves its blocks
  // to this one; memory that runs out anywhere gives the "Out of memory"
  // banner. The 256 KiB buffers of the parts' readers come from the heap,
  // where the next pass finds them again (mapped afresh each pass, their
  // page faults cost 2% of the CPU time of the 1M x 4 log); a buffer grown
  // for a long line goes straight back to the system when given back,
  // rather than raising the threshold and leaving the next line's smaller
  // steps behind in the heap.
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 512 << 10);
  pthread_attr_t threads;
  if (pthread_attr_init(&threads) == 0) {
    if (pthread_attr_setstacksize(&threads, 1 << 20) == 0) pthread_setattr_default_np(&threads);
    pthread_attr_destroy(&threads);
  }
  return run_trendle(argc, argv, stdout, stderr);
}
