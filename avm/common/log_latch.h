#pragma once
// Log lines for states that last: a failure met again on every frame (a
// missing picture, a refused value, an exception) writes one line when it
// starts or changes, and one when it is over, never one per frame.
#include <atomic>
#include <cstdint>

// What one place of the code last reported; zero-initialised, one per
// place (a static or a member that lives as long as the state it tracks).
struct LogLatch {
  // A digest of the last line reported; 0 while nothing is reported.
  std::atomic<uint32_t> reported{0};
};

// Logs the line (printf format, info priority, the renderer's tag) unless
// it is the very line this latch reported last.
void LogOnChange(LogLatch* latch, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The state is over: logs the line when the latch had reported something,
// and forgets it, so the next failure is reported again.
void LogLatchEnd(LogLatch* latch, const char* format, ...) __attribute__((format(printf, 2, 3)));
