# A log larger than a pipe's buffer and than a block the threads share out:
# 40000 records two seconds apart from 1 January 2001, three series, one
# with gaps.
BEGIN {
  print "# a log larger than a pipe's buffer and the reader's first read"
  for (i = 0; i < 40000; i++) {
    s = 2 * i
    printf "%02d/01/01 %02d:%02d:%02d,%d,%d.%02d,%s\n", 1 + int(s / 86400), int(s % 86400 / 3600),
           int(s % 3600 / 60), s % 60, i % 97, i % 13, i % 100, i % 10 ? "7" : ""
  }
}
