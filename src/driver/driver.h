// One whole run of the tool, from the command line to the written PNG.
#ifndef TRENDLE_DRIVER_DRIVER_H_
#define TRENDLE_DRIVER_DRIVER_H_

#include <cstdio>

// Runs `trendle in_csv out_png width height [tform]`, reporting on err, and
// returns the exit status: 0 when a PNG was written (a chart, or an image
// carrying an error banner), 1 when none was, 2 after the usage text.
int run_trendle(int argc, char** argv, FILE* err);

#endif  // TRENDLE_DRIVER_DRIVER_H_
