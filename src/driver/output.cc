#include "driver/output.h"

#include <gdfonts.h>

#include <cstdio>

void draw_banner(const RunState& st, const std::string& message) {
  gdFontPtr font = gdFontGetSmall();
  int y = st.height - st.margin / 2 - font->h / 2 - 2;
  gdImageString(st.im_out, font, st.margin, y,
                reinterpret_cast<unsigned char*>(const_cast<char*>(message.c_str())),
                st.colours[0]);
}

int write_outfile(const RunState& st, FILE* err) {
  // Encoding first, in memory, means a failed write is seen and reported.
  gdImageInterlace(st.im_out, 1);
  int size = 0;
  void* png = gdImagePngPtr(st.im_out, &size);
  FILE* out = fopen(st.outname, "wb");
  if (!out) {
    gdFree(png);
    fputs("Could not create output file.\n", err);
    return 1;
  }
  bool ok = png && fwrite(png, 1, size, out) == static_cast<size_t>(size);
  ok = (fclose(out) == 0) && ok;
  gdFree(png);
  if (!ok) {
    fputs("Could not write output file.\n", err);
    return 1;
  }
  return 0;
}
