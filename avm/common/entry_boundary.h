#pragma once
// No exception leaves the library. The decoder library throws (on damaged
// input, on memory running out), and so do the standard containers; an
// exception that reached the Java VM or a C caller would end the app. Every
// JNI method and every exported function therefore runs its body through
// GuardEntry: whatever is thrown below is caught there, logged (one line
// when it starts or changes, one when the entry works again, however often
// it repeats), and answered with the entry's failure value. Locks taken
// inside the body are released on the way out, as their guards unwind.
#include <utility>

#include "avm/common/log_latch.h"

// Logs the exception being handled (call it only inside a catch block).
void LogEscapedException(LogLatch* latch, const char* entry) noexcept;
// The entry returned normally: ends a reported failure.
void LogEntryWorks(LogLatch* latch, const char* entry) noexcept;

// Runs body and returns its result, or failure when it throws. entry names
// the method in the log line. Each call site gets a latch of its own (the
// body's lambda type makes each instantiation unique).
template <typename Result, typename Body>
Result GuardEntry(const char* entry, Result failure, Body&& body) noexcept {
  static LogLatch latch;
  try {
    Result result = std::forward<Body>(body)();
    LogEntryWorks(&latch, entry);
    return result;
  } catch (...) {
    LogEscapedException(&latch, entry);
  }
  return failure;
}

// The same for entries without a result.
template <typename Body>
void GuardEntry(const char* entry, Body&& body) noexcept {
  static LogLatch latch;
  try {
    std::forward<Body>(body)();
    LogEntryWorks(&latch, entry);
  } catch (...) {
    LogEscapedException(&latch, entry);
  }
}
