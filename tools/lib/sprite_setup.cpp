#include "tools/lib/sprite_setup.h"

#include <cmath>

#include "tools/lib/car_model.h"

namespace tools {

ViewCamera SpriteCamera(const SpriteSetup& setup, int angle) {
  const double azimuth = angle * kDegreesPerSpriteAngle * M_PI / 180.0;
  const Vec3 eye{setup.eyeDistance * std::cos(azimuth), setup.eyeDistance * std::sin(azimuth), setup.eyeHeight};
  return ViewCamera::Perspective(eye, {0.0, 0.0, setup.targetHeight}, {0.0, 0.0, 1.0}, setup.fovy, setup.aspect(),
                                 setup.width, setup.height);
}

ViewCamera TopCamera(const TopSetup& setup) {
  // Pixel edges: the image's left edge at x = -width / (2 scale), its top edge
  // margin pixels above the front bumper. Pixel centres sit half a pixel in.
  const double column0 = setup.width / 2.0 - 0.5;
  const double row0 = setup.margin + car_model::kLength / 2.0 * setup.scale - 0.5;
  return ViewCamera::TopDown(setup.scale, column0, row0, setup.width, setup.height);
}

}  // namespace tools
