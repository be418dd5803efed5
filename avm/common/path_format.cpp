#include "avm/common/path_format.h"

#include <cstdarg>
#include <cstdio>

#include "avm/common/avm_log.h"

bool FormatPath(char* buffer, std::size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool fits = FormatPathV(buffer, capacity, format, args);
  va_end(args);
  return fits;
}

bool FormatPathV(char* buffer, std::size_t capacity, const char* format, va_list args) {
  if (buffer == nullptr || capacity == 0) {
    return false;
  }
  const int written = std::vsnprintf(buffer, capacity, format, args);
  if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
    buffer[0] = '\0';
    AVM_LOGI("---------path too long for %zu bytes: %s", capacity, format);
    return false;
  }
  return true;
}
