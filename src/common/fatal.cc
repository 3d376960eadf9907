#include "common/fatal.h"

#include <cstdarg>
#include <cstdio>

void gerr(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string message(n > 0 ? n : 0, '\0');
  if (n > 0) vsnprintf(message.data(), message.size() + 1, format, args);
  va_end(args);
  throw Fatal(message);
}
