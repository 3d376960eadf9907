// The text of a value label: as printf's %g writes it, or with --si as a
// number from 1 to 999.9 and an SI prefix.
#ifndef TRENDLE_CHART_VALUE_TEXT_H_
#define TRENDLE_CHART_VALUE_TEXT_H_

#include <cstddef>

// v to `digits` significant digits, trailing zeros dropped: "%.*g", or with
// `si` v over 1000^k for the k (-6 to 6) that puts it in [1, 1000), then the
// prefix (a f p n u m, none, k M G T P E): "57.08M", "-12.3m", "1k". Zero,
// and values that are not finite, are written as %g writes them.
void value_text(char* buf, size_t size, double v, int digits, bool si);

#endif  // TRENDLE_CHART_VALUE_TEXT_H_
