#include "local_time.h"

time_t local_seconds(struct tm* tm) { return mktime(tm); }
