#pragma once
// The parking-sensor display of the renderer, for the app to draw around
// the car after the renderer's frame, on the GL thread with the renderer's
// context current. Eight sensors, four at each end of the car, are shown as
// flat level segments on the ground or as walls at the measured distance
// (commands 5, 65, 66 and 68 set the values and their kind). The display
// blinks: shown for 12 calls, hidden for 13, shown for 13, and so on.
//
// The renderer loads no radar pictures: hand it nine textures first.
// Each routine takes the renderer's scene lock while it draws. Called from
// inside one of the renderer's calls into Java (a picture load or a
// notification, on the thread that draws the frame), it draws right there,
// within that frame.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Level display in input mode 0; in input mode 1 the values are distances,
// no levels, and it draws nothing.
void DrawRadarStatic(void);
// Level display in input mode 0, distance display in input mode 1.
void DrawRadar(void);

// The nine radar pictures: [0..2] corner segments of levels 1 to 3, [3..5]
// middle segments of levels 1 to 3, [6..8] walls of the far, middle and
// near distance zones. count must be 9. Returns 1, 0 for a null array or
// another count, -9 before the renderer is initialised.
int AvmSetRadarTextures(const uint32_t* names, int count);

#ifdef __cplusplus
}  // extern "C"
#endif
