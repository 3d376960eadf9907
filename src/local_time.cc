#include "local_time.h"

#include "time_cache.h"

namespace {

// One per thread: passes over big files convert times on worker threads.
thread_local TimeCache cache;

}  // namespace

time_t local_seconds(struct tm* tm) {
  return cache.seconds(tm);
}
