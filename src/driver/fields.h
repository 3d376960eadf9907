// --fields: what a log's fields are, for choosing -t, -c and the names: a
// line each with its number, its name (with -H) and the first record's text.
#ifndef TRENDLE_DRIVER_FIELDS_H_
#define TRENDLE_DRIVER_FIELDS_H_

#include <cstdio>

#include "common/settings.h"

// Prints "N<tab>name<tab>text" on `out` for each field of the header line
// or the first record (the first line after --skip and the header that is
// no comment or blank), read as a run reads them; returns 0, or 1 after
// telling `err` why the log could not be read.
int print_fields(const Settings& s, FILE* out, FILE* err);

#endif  // TRENDLE_DRIVER_FIELDS_H_
