#include "avm/common/entry_boundary.h"

#include <exception>

void LogEscapedException(LogLatch* latch, const char* entry) noexcept {
  try {
    throw;
  } catch (const std::exception& failure) {
    LogOnChange(latch, "---------%s:failed,%s", entry, failure.what());
  } catch (...) {
    LogOnChange(latch, "---------%s:failed,unknown exception", entry);
  }
}

void LogEntryWorks(LogLatch* latch, const char* entry) noexcept {
  LogLatchEnd(latch, "---------%s:works again", entry);
}
