#include "chart/palette.h"

namespace {

// The series colours cycle through these eight.
constexpr int kCycle[8][3] = {
    {0, 0, 0},   {119, 119, 119}, {0, 68, 153},  {0, 204, 0},
    {221, 0, 0}, {85, 136, 0},    {255, 187, 0}, {0, 187, 255},
};

}  // namespace

void allocate_colours(RunState& st) {
  gdImageColorAllocate(st.im_out, 255, 255, 255);  // background
  st.grid = gdImageColorAllocate(st.im_out, 187, 187, 187);
  for (int n = 0; n < kMaxSeries; ++n) {
    const int* c = kCycle[n % 8];
    st.colours[n] = static_cast<signed char>(gdImageColorAllocate(st.im_out, c[0], c[1], c[2]));
  }
}
