#pragma once
// The objects around the car: copies of the one mesh of common/car.bin,
// placed and coloured by the object slots. 3D view only.

// Draws object slot 0..19 with the mesh in carObjModel.
void DrawObj(int slot);

// Exported with an empty body: nothing draws a track through it.
void DrawTrack();
