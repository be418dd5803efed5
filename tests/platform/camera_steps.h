#pragma once
// Driving the camera stand-ins one frame at a time: a test that steps a
// camera knows exactly which frames were delivered, and waits for each
// delivery instead of for a time.
#include <cstdint>

constexpr int kWait = 10000;  // ms; generous for the sanitizer trees

// Puts camera `id` in step mode, playing `sourceFile` (raw NV21) when given
// and the moving test pattern otherwise.
void ConfigureStepping(const char* id, const char* sourceFile = nullptr);
// Queues `frames` frames of the camera into its reader.
void Capture(const char* id, int frames = 1);
// Captures and waits until the readers' listeners have taken the frames.
void Step(const char* id, int frames = 1);

// Brings the stand-ins back to their defaults with the journal off and
// empty, and sets *baselineWindows to the windows alive now (the baseline
// for the end).
void StartWithFreshStandIns(int32_t* baselineWindows);
// Checks that nothing a test made outlives it: no camera object, reader or
// image, and no window beyond the baseline. Camera threads still running
// may hold objects: stop them first (HostCamera_reset, or closeCamera).
void ExpectEveryStandInObjectGivenBack(int32_t baselineWindows);
