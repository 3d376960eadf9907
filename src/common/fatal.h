// A fatal condition found after the image exists: its message becomes the
// error banner. Raised with gerr, caught by the driver, which writes the image.
#ifndef TRENDLE_COMMON_FATAL_H_
#define TRENDLE_COMMON_FATAL_H_

#include <stdexcept>
#include <string>

struct Fatal : std::runtime_error {
  explicit Fatal(const std::string& message) : std::runtime_error(message) {}
};

// Formats the message (printf conventions, no length limit) and throws Fatal.
[[noreturn]] void gerr(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif  // TRENDLE_COMMON_FATAL_H_
