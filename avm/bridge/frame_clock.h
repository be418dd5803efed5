#pragma once
// The clock and the sleep that pace the frames. They are routed through one
// record so that tests and benchmarks can drive the pacing with a clock of
// their own and see each sleep it asks for, without waiting in real time.
#include <cstdint>

struct FrameClock {
  uint32_t (*now)();               // milliseconds, wrapping
  void (*sleepMs)(uint32_t ms);
};

// GetTickCount and a real sleep unless replaced; replace it only while no
// frame is being drawn.
extern FrameClock gFrameClock;

void SleepMilliseconds(uint32_t ms);
