#include "local_time.h"

#include "time_cache.h"

namespace {

TimeCache cache;

}  // namespace

time_t local_seconds(struct tm* tm) {
  return cache.seconds(tm);
}
