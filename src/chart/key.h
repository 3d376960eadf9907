// The key along the top margin: a sample line and a label per series in use,
// in series order. The label is the series' name, else its number (its
// field's with -c); " (R)" marks a series on the right scale.
#ifndef TRENDLE_CHART_KEY_H_
#define TRENDLE_CHART_KEY_H_

#include "chart/run_state.h"

// Without names the entries share the width evenly, as they always have.
// With names each entry is as wide as that share or as its label needs,
// whichever is wider; where that does not fit, the shares shrink, and then
// the longest names are cut, a character at a time, so that no label runs
// into the next entry.
void draw_key(const RunState& st, int width);

// The column after the key's last label (the margin with no series).
int key_end(const RunState& st);

// --title: an image `rows` taller than st.im_out, with its pixels `rows`
// lower and the title (as a name is drawn, cut to the width) centred in the
// row above them, on the same palette.
gdImagePtr with_title(RunState& st, const char* title, int rows);

#endif  // TRENDLE_CHART_KEY_H_
