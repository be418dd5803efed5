#pragma once
// Mesh files the object tests draw: a flat square on the model's ground
// plane (model x and z, y = 0), two triangles around the model's origin.
#include <string>

// halfX and halfZ are half the square's size along model x and z.
std::string SquareMeshBytes(float halfX, float halfZ);

// Where a scene point lands on screen through projection * view, in
// pixels of the read-back frame (x from the left, y from the top) for the
// viewport x, y, w, h (GL window coordinates) and a screen height.
struct ScreenPoint {
  int x;
  int y;
};
ScreenPoint ProjectToScreen(const float* view, const float* proj, const float* viewport,
                            int screenHeight, float sx, float sy, float sz);
