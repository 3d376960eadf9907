// One whole run of the tool, from the command line to the written PNG.
#ifndef TRENDLE_DRIVER_DRIVER_H_
#define TRENDLE_DRIVER_DRIVER_H_

#include <cstdio>

// Runs `trendle [OPTION]... in_csv out_png width height [tform]`, reporting
// on err (--help and --version on out), and returns the exit status: 0 when
// a PNG was written (a chart, or an image carrying an error banner) or help
// was asked for, 1 when no PNG was written, 2 after the usage text or a bad
// option.
int run_trendle(int argc, char** argv, FILE* out, FILE* err);

#endif  // TRENDLE_DRIVER_DRIVER_H_
