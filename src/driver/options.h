// The options before in_csv, read with getopt_long in POSIX order, into the
// run's settings; field lists and names are resolved once the header is known.
#ifndef TRENDLE_DRIVER_OPTIONS_H_
#define TRENDLE_DRIVER_OPTIONS_H_

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/settings.h"

// An option that cannot work: its one-line message, without "trendle: ".
struct BadOption : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads the options of argv into s and sets *first to the first positional
// argument. Returns -1 when the run goes on; else its exit status: 0 after
// --help or --version (printed on out), 2 after a bad option (told on err).
int read_options(int argc, char** argv, Settings& s, int* first, FILE* out, FILE* err);

// The settings with -t, -c and -r turned into field numbers, a name through
// the header's `names` (null without a header), and what depends on tform
// checked. Throws BadOption.
Settings resolve_fields(Settings s, const std::vector<std::string>* names);

// Reads --from and --to with the tform (and -u), as the log's times are
// read. Throws BadOption.
void resolve_window(Settings& s);

// Prints a BadOption's message and the pointer to --help; returns 2.
int bad_option(FILE* err, const std::string& message);

// Prints the version line, the usage line and the tform help for a command
// line without its four arguments; returns 2.
int usage(FILE* err);

#endif  // TRENDLE_DRIVER_OPTIONS_H_
