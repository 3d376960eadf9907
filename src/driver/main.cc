#include <cstdio>

#include "driver/driver.h"

int main(int argc, char** argv) {
  return run_trendle(argc, argv, stderr);
}
