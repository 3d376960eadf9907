// What the command line asks of a run: the files, the image size, and how the
// log's lines are read. Set once by the driver; the chart and the input read it.
#ifndef TRENDLE_COMMON_SETTINGS_H_
#define TRENDLE_COMMON_SETTINGS_H_

constexpr int kMaxSeries = 32;

struct Settings {
  const char* in_csv = nullptr;
  const char* outname = nullptr;
  int width = 0;
  int height = 0;
  const char* tform = "dmyHMS";
};

#endif  // TRENDLE_COMMON_SETTINGS_H_
