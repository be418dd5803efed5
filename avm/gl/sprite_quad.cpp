#include "avm/gl/sprite_quad.h"

#include <cmath>

#include "avm/bridge/scene_state.h"
#include "avm/common/numbers.h"
#include "avm/view/car_params.h"

namespace {

// pi / 180 as a float, used in double: the sprites were placed with this
// value.
constexpr double kDegreesToRadians = 0.01745329238474369;

// The ratios that rescale positions measured in the frame of the camera that
// rendered the sprites into the frame of the current camera.
bool RenderCameraRatios(const ViewParam* scene, float* xr, float* yr) {
  const double tA = std::tan(carLookatAllCur[4] * 0.5 * kDegreesToRadians);
  const double tF = std::tan(scene->mainFovy * 0.5 * kDegreesToRadians);
  *yr = static_cast<float>(tA / tF);
  *xr = static_cast<float>(tA * carLookatAllCur[5] / (scene->mainAspect * tF));
  return std::isfinite(*xr) && std::isfinite(*yr);
}

}  // namespace

bool WholeCarSpriteQuad(const ViewParam* scene, const float* cord, SpriteEdges edges,
                        float* quad) {
  const double W = carPicSizeCur[2];
  const double H = carPicSizeCur[3];
  const float l = cord[0];
  const float t = cord[1];
  const float w = cord[2];
  const float h = cord[3];
  // A frame of one pixel or less has no span to map (the scale divides by
  // W - 1), and a sprite without size has nothing to show.
  if (!(W > 1.0) || !(H > 1.0) || !std::isfinite(W) || !std::isfinite(H) || !(w > 0.0f) ||
      !(h > 0.0f)) {
    return false;
  }
  float xr = 0.0f;
  float yr = 0.0f;
  if (!RenderCameraRatios(scene, &xr, &yr)) {
    return false;
  }
  const double sx = 2.0 / (W - 1.0);
  const double sy = 2.0 / (H - 1.0);
  // The pixel sums are taken in float, as the sprites were placed.
  const float right = l + w - 1.0f;
  const float bottom = t + h - 1.0f;
  const double half = edges == SpriteEdges::kHalfPixelFurther ? 0.5 : 0.0;
  const float x0 = static_cast<float>(l * sx - 1.0) * xr;
  const float x1 = static_cast<float>((right + half) * sx - 1.0) * xr;
  const float yTop = static_cast<float>(((H - 1.0) - t) * sy - 1.0) * yr;
  const float yBot = static_cast<float>(((H - 1.0) - (bottom + half)) * sy - 1.0) * yr;
  const float vertices[12] = {
      x0, yBot, 0.0f,  //
      x0, yTop, 0.0f,  //
      x1, yBot, 0.0f,  //
      x1, yTop, 0.0f,
  };
  if (!AllFinite(vertices, 12)) {
    return false;
  }
  for (int i = 0; i < 12; ++i) {
    quad[i] = vertices[i];
  }
  return true;
}

bool TopSpriteQuad(const ViewParam* scene, float* quad) {
  const float d = static_cast<float>(scene->carLength * 0.5 + scene->topViewMargin);
  const float ad = (scene->topViewport[2] / scene->topViewport[3]) * d;
  // A viewport without height (or a margin that cancels the car) has no
  // ground to place the car on.
  if (!(ad > 0.0f) || !std::isfinite(ad) || !(d > 0.0f)) {
    return false;
  }
  const double e = (carTop2Cur[3] * 0.5) / (carTop2Cur[0] * 0.5);
  const float X = static_cast<float>(
      e * static_cast<float>(scene->carWidth * 0.5 * scene->topCarScaleX / ad));
  const float ys = static_cast<float>(scene->carLength * 0.5 * scene->topCarScaleY / d);
  const double hl = carTop2Cur[1] * 0.5;
  const float below = carTop2Cur[4] - carTop2Cur[2];  // taken in float
  const float yTop = static_cast<float>(ys * (hl + carTop2Cur[2]) / hl);
  const float yBot = static_cast<float>(ys * (below - hl) / hl);
  const float vertices[12] = {
      -X, -yBot, 0.0f,  //
      -X, yTop,  0.0f,  //
      X,  -yBot, 0.0f,  //
      X,  yTop,  0.0f,
  };
  if (!AllFinite(vertices, 12)) {
    return false;
  }
  for (int i = 0; i < 12; ++i) {
    quad[i] = vertices[i];
  }
  return true;
}

bool RenderCameraFrameQuad(const ViewParam* scene, float* quad) {
  float xr = 0.0f;
  float yr = 0.0f;
  if (!RenderCameraRatios(scene, &xr, &yr)) {
    return false;
  }
  const float vertices[12] = {
      -xr, yr,  0.0f,  //
      -xr, -yr, 0.0f,  //
      xr,  yr,  0.0f,  //
      xr,  -yr, 0.0f,
  };
  for (int i = 0; i < 12; ++i) {
    quad[i] = vertices[i];
  }
  return true;
}
