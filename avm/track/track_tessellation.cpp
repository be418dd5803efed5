#include "avm/track/track_tessellation.h"

#include <cmath>
#include <cstdlib>

#include "avm/common/numbers.h"

namespace {

// Screen modes whose bit 3 differs show the same end of the car.
constexpr int32_t kModeVariantBit = 8;

bool CutAtCarEnd(const TrackSceneModes& modes) {
  return modes.trackModeA != 0 || modes.trackModeB != 0;
}

int32_t BaseMode(const TrackSceneModes& modes) { return modes.screenMode & ~kModeVariantBit; }

void Put(float* out, int vertex, float x, float y) {
  out[3 * vertex] = x;
  out[3 * vertex + 1] = y;
  out[3 * vertex + 2] = 0.0f;
}

}  // namespace

bool TessellateArc(const TrackLineShape& line, const TrackSceneModes& modes, float* out) {
  float inner = line.radius - line.halfWidth;
  float outer = line.radius + line.halfWidth;
  const double start = line.startAngle * kPi / 180.0;
  const float stepAngle = (line.length / line.radius / kTrackSegments) * line.direction;
  float swept = 0.0f;
  for (int k = 0; k < kTrackPairs; ++k) {
    const double theta = swept + start;
    Put(out, 2 * k, static_cast<float>(std::cos(theta) * inner + line.centerX),
        static_cast<float>(std::sin(theta) * inner + line.centerY));
    Put(out, 2 * k + 1, static_cast<float>(std::cos(theta) * outer + line.centerX),
        static_cast<float>(std::sin(theta) * outer + line.centerY));
    swept += stepAngle;
  }
  if (CutAtCarEnd(modes)) {
    // The part of the arc beside the car is folded onto the line of the
    // car's end, where the arc crosses it, so that the lines start at the
    // bumper in the camera picture.
    const int32_t base = BaseMode(modes);
    const float endY = (base == 0 ? 1.0f : -1.0f) * static_cast<float>(modes.carLength * 0.5);
    const float e = endY - line.centerY;
    if (std::fabs(e) > std::fabs(inner)) {
      inner = e;
    }
    if (std::fabs(e) > std::fabs(outer)) {
      outer = e;
    }
    const float xi = std::sqrt(std::fabs(inner * inner - e * e));
    const float xo = std::sqrt(std::fabs(outer * outer - e * e));
    const bool rightOfCentre = line.centerX > 0.0f;
    const float innerX = rightOfCentre ? line.centerX - xi : line.centerX + xi;
    const float outerX = rightOfCentre ? line.centerX - xo : line.centerX + xo;
    const int32_t half = modes.carLength / 2;
    const float cutY = static_cast<float>(base != 0 ? -half : half);
    const bool mirror = base == 1 && modes.trackMirror == 1;
    for (int v = 0; v < kTrackVertices; ++v) {
      if (std::fabs(out[3 * v + 1]) < static_cast<float>(half)) {
        const float x = (v % 2 == 0) ? innerX : outerX;
        Put(out, v, mirror ? -x : x, cutY);
      }
    }
  }
  return AllFinite(out, kTrackFloats);
}

bool TessellateBand(const TrackLineShape& line, const TrackSceneModes& modes, float* out) {
  float step = line.length / kTrackSegments;
  if (modes.reverseGear != 0 || (modes.screenMode == 1 && modes.trackModeA != 0)) {
    step = -step;
  }
  float y = line.centerY;
  for (int k = 0; k < kTrackPairs; ++k) {
    Put(out, 2 * k, line.centerX + line.halfWidth, y);
    Put(out, 2 * k + 1, line.centerX - line.halfWidth, y);
    y += step;
  }
  if (CutAtCarEnd(modes)) {
    const int32_t base = BaseMode(modes);
    const int32_t half = modes.carLength / 2;
    const float cutY = static_cast<float>(base == 0 ? half : -half);
    const bool mirror = base == 1 && modes.trackMirror == 1;
    for (int v = 0; v < kTrackVertices; ++v) {
      if (std::fabs(out[3 * v + 1]) < static_cast<float>(half)) {
        out[3 * v + 1] = cutY;
      }
      if (mirror) {
        out[3 * v] = -out[3 * v];
      }
    }
  }
  return AllFinite(out, kTrackFloats);
}

void TrackTexCoords(float* out) {
  const float f = static_cast<float>(1.0 / (kTrackVertices / 2 - 1));
  for (int k = 0; k < kTrackPairs; ++k) {
    const float t = static_cast<float>(k) * f;
    out[4 * k] = 0.0f;
    out[4 * k + 1] = t;
    out[4 * k + 2] = 1.0f;
    out[4 * k + 3] = t;
  }
}
