#include "avm/common/log_latch.h"

#include <cstdarg>
#include <cstdio>

#include "avm/common/avm_log.h"

namespace {

// Lines longer than this are logged cut; the digest covers what is logged.
constexpr int kLineBytes = 512;

// FNV-1a over the line; never 0, which stands for "nothing reported".
uint32_t Digest(const char* line) {
  uint32_t hash = 2166136261u;
  for (const char* c = line; *c != '\0'; ++c) {
    hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  }
  return hash == 0 ? 1 : hash;
}

}  // namespace

void LogOnChange(LogLatch* latch, const char* format, ...) {
  char line[kLineBytes];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof(line), format, arguments);
  va_end(arguments);
  const uint32_t digest = Digest(line);
  if (latch->reported.exchange(digest, std::memory_order_relaxed) != digest) {
    AVM_LOGI("%s", line);
  }
}

void LogLatchEnd(LogLatch* latch, const char* format, ...) {
  if (latch->reported.exchange(0, std::memory_order_relaxed) == 0) {
    return;
  }
  char line[kLineBytes];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof(line), format, arguments);
  va_end(arguments);
  AVM_LOGI("%s", line);
}
