#pragma once
// The cameras that render the sample car's pictures, shared by the generator
// and its tests.
//
// The sprite camera is the renderer's 3D camera: the eye at height
// eyeHeight, eyeDistance from the car's centre at azimuth angle x 1.875
// degrees (eye at distance x (cos, sin) of the azimuth), looking at the
// point targetHeight above the centre, z up; a perspective of fovy degrees
// and aspect (width - 1) / (height - 1), so that pixels are square under the
// renderer's mapping of pixel column 0 to -1 and width - 1 to +1.
#include "tools/lib/raster.h"

namespace tools {

struct SpriteSetup {
  int width = 1018;            // the full rendered frame
  int height = 595;
  double eyeHeight = 230.0;
  double eyeDistance = 510.0;
  double targetHeight = 75.0;
  double fourthValue = 15.0;   // stored for the renderer, not used in rendering
  double fovy = 60.0;
  int supersample = 3;         // samples per pixel along each axis

  double aspect() const { return static_cast<double>(width - 1) / static_cast<double>(height - 1); }
};

// The top view: straight down, front up, scale pixels per centimetre, the
// car's front `margin` pixels below the image's top edge, the car's centre
// line in the middle of the image.
struct TopSetup {
  int width = 340;
  int height = 480;
  double scale = 1.0;
  int margin = 10;
  int supersample = 3;
};

constexpr double kDegreesPerSpriteAngle = 1.875;

ViewCamera SpriteCamera(const SpriteSetup& setup, int angle);
ViewCamera TopCamera(const TopSetup& setup);

}  // namespace tools
