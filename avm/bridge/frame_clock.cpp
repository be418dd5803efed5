#include "avm/bridge/frame_clock.h"

#include <unistd.h>

#include "avm/gl/matrix_math.h"

void SleepMilliseconds(uint32_t ms) { usleep(static_cast<useconds_t>(ms) * 1000u); }

FrameClock gFrameClock = {GetTickCount, SleepMilliseconds};
