#pragma once
// The screen modes of command 0, named once. Only the modes the renderer
// itself tells apart are here; any other value is stored and passed on
// (the app's camera views), and the frame loop draws nothing of its own
// for it.
#include <cstdint>

// The 3D orbit view with the car.
constexpr int32_t kScreenMode3D = 5;
// The 3D view's sprite upkeep with nothing drawn, so that the car's images
// are current when mode 5 comes back.
constexpr int32_t kScreenModeUpkeepOnly = 15;
// The 2D top view.
constexpr int32_t kScreenModeTop = 12;
// The logo screen; the only mode drawn without a camera picture.
constexpr int32_t kScreenModeLogo = 20;

// Modes 5 and 15: the view turns towards its target angle and the car's
// sprites are kept current.
inline bool Is3DMode(int32_t mode) { return mode == kScreenMode3D || mode == kScreenModeUpkeepOnly; }

// Modes 6 and 7 show the cached state images with the steered wheels, so
// any change of steering makes them stale there.
inline bool ShowsSteeredStateImages(int32_t mode) { return mode == 6 || mode == 7; }

// Modes 6, 7, 12 and 13: a pending animation notification is answered at
// the next frame, since these modes run no animation of their own.
inline bool EndsAnimationAtOnce(int32_t mode) {
  return mode == 6 || mode == 7 || mode == kScreenModeTop || mode == 13;
}

// Modes 0, 1, 8 and 9 (0 and 1 with and without the variant bit 8): the
// demo steers the wheels to and fro; elsewhere it holds them straight.
inline bool DemoSteersIn(int32_t mode) { return mode == 0 || mode == 1 || mode == 8 || mode == 9; }

// Modes 4, 5 and 15, the 3D ones: the top-view zoom command changes nothing.
inline bool RefusesTopZoom(int32_t mode) { return mode == 4 || Is3DMode(mode); }
