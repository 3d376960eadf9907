// Ends a run that has an image: the error banner and the PNG file.
#ifndef TRENDLE_DRIVER_OUTPUT_H_
#define TRENDLE_DRIVER_OUTPUT_H_

#include <cstdio>
#include <string>

#include "chart/run_state.h"

// Draws one line of text in the bottom margin, in the text colour.
void draw_banner(const RunState& st, const std::string& message);

// Writes st.im_out to st.settings.outname as an interlaced palette PNG: a file is
// replaced only by a whole chart, a device or a file with other links is written
// in place. Returns the exit status: 0 when the file was written, 1 (with a
// message on err) when not, leaving a replaceable file as it was.
int write_outfile(const RunState& st, FILE* err);

#endif  // TRENDLE_DRIVER_OUTPUT_H_
