#pragma once
// The radar display: the exported routines of avm/include/avm_radar.h take
// the scene lock; these draw with the lock already held (from inside a
// frame). Each keeps its own blink cycle, shared with its exported twin.
#include "avm/include/avm_radar.h"

void DrawRadarStaticLocked();
void DrawRadarLocked();
