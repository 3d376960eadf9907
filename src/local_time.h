// Broken-down local time to seconds since the epoch, exactly as mktime gives
// it in the time zone of the environment (tm_isdst as the caller set it); the
// fields of `tm` may or may not be normalised afterwards.
#ifndef TRENDLE_LOCAL_TIME_H_
#define TRENDLE_LOCAL_TIME_H_

#include <ctime>

time_t local_seconds(struct tm* tm);

#endif  // TRENDLE_LOCAL_TIME_H_
