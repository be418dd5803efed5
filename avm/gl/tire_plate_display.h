#pragma once
// The tyre-pressure panels beside the wheels and the number plate on the
// car, drawn by the car drawers of the 3D view in the same frame. GL thread,
// scene lock held.
#include <cstdint>

// tirePanelReady of a tyre: its panel is to be made, was made, or could not
// be made from the current readings. A panel that could not be made is not
// tried again every frame (the sheets stay missing, the values stay
// refused): the readings setter makes it stale again when anything it is
// made from changes.
constexpr int16_t kTirePanelStale = 0;
constexpr int16_t kTirePanelMade = 1;
constexpr int16_t kTirePanelFailed = 2;

// Draws the panel (or its icons) of tyre 0..3, or nothing. A panel whose
// picture is stale is composed and loaded first; when that fails nothing is
// drawn, and the panel is marked as failed.
void DrawTirePressure(int tyre);

// Draws plate quad 0 of carPlateCordCur when which is 1, quad 1 otherwise;
// nothing while the car has no plate geometry.
void DrawPlateNumber(int which);
