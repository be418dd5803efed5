#pragma once
// The tyre-pressure panels beside the wheels and the number plate on the
// car, drawn by the car drawers of the 3D view in the same frame.

// Draws the panel (or its icons) of tyre 0..3, or nothing.
void DrawTirePressure(int tyre);

// Draws plate quad 0 of carPlateCordCur when which is 1, quad 1 otherwise.
void DrawPlateNumber(int which);
