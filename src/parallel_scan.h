// The range scan of a big regular file, shared out between threads by blocks
// of lines: each block is scanned alone and the results are merged in file
// order, to exactly what one reading from the start finds.
#ifndef TRENDLE_PARALLEL_SCAN_H_
#define TRENDLE_PARALLEL_SCAN_H_

#include "run_state.h"

class LineReader;

// Does scan_file's work on `in`'s file without reading `in` itself; false
// (and nothing done) when the input is not worth sharing out.
bool scan_in_blocks(RunState& st, LineReader& in);

#endif  // TRENDLE_PARALLEL_SCAN_H_
