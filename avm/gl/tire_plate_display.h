#pragma once
// The tyre-pressure panels beside the wheels and the number plate on the
// car, drawn by the car drawers of the 3D view in the same frame. GL thread,
// scene lock held.

// Draws the panel (or its icons) of tyre 0..3, or nothing. A panel whose
// picture is stale is composed and loaded first; when that fails nothing is
// drawn and the next frame tries again.
void DrawTirePressure(int tyre);

// Draws plate quad 0 of carPlateCordCur when which is 1, quad 1 otherwise;
// nothing while the car has no plate geometry.
void DrawPlateNumber(int which);
