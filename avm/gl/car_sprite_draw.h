#pragma once
// The car itself: a pre-rendered sprite on one screen-aligned quad, placed
// for the current view, and the matrices of the two car views.

struct ViewParam;

// Matrices of the 2D top view (screen mode 12) and of the 3D orbit view
// (screen mode 5), written into viewMatrix and projMatrix for every layer of
// the same frame.
void GetMatrix2D();
void GetMatrix3D();

// The product of the frame's view and projection matrices, as the layers
// drawn in scene coordinates multiply it; mvp takes 16 floats.
void ViewProjection(const ViewParam* scene, float* mvp);

// True when any of the four doorOpen flags is 1.
bool AnyDoorOpen(const ViewParam* scene);

// The top-view sprite, rebuilt first when the door state changed.
void DrawCar3D_Top();

// The whole-car sprite of the current angle, with the tyre panels first and
// the plate after it.
void DrawCar3D_All();

// The composed state sprite of the current state angle, blink phase and
// wheel frame; the same placement reaching half a pixel further right and
// down.
void DrawCar3D_Some();

// The plate drawn over the 3D car at a sprite angle: 1 (45 to 135 degrees)
// or 0 (225 to 315 degrees), where one end of the car faces the camera, -1
// for none.
int PlateForAngle(int angle);
