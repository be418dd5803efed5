#include "avm/gl/radar_geometry.h"

#include <cmath>

#include "avm/bridge/scene_state.h"

namespace {

constexpr int kSensorsPerEnd = 4;
constexpr int kLevels = 3;
constexpr int kMiddleImages = 3;
constexpr int kWallImages = 6;
constexpr int32_t kNearestDistance = 34;  // below: zone 2
constexpr int32_t kMiddleDistance = 100;
constexpr int32_t kFarthestDistance = 150;
// The segments reach this far beyond the car's sides and ends.
constexpr float kOverhang = 10.0f;
constexpr float kGap = 5.0f;
constexpr double kHalfPi = 1.5707963705062866;

// Car width and length as the top view shows them.
void DisplayedCar(const ViewParam* scene, float* cw, float* cl) {
  *cw = static_cast<float>(scene->carWidth) * scene->topScale[0];
  *cl = static_cast<float>(scene->carLength) * scene->topScale[1];
}

// The sensor value of index 0..7: group 1 holds the +y end, group 2 the -y end.
int32_t SensorValue(const ViewParam* scene, int sensor) {
  return sensor < kSensorsPerEnd ? scene->radarGroup1[sensor]
                                 : scene->radarGroup2[sensor - kSensorsPerEnd];
}

// A flat quad starting at the outer edge (xStart, y0), reaching width along
// x and depth along y (both signed, pointing inwards).
void FlatQuad(float xStart, float y0, float width, float depth, float* p) {
  const float corners[4][2] = {
      {xStart, y0}, {xStart, y0 + depth}, {xStart + width, y0}, {xStart + width, y0 + depth}};
  for (int v = 0; v < 4; ++v) {
    p[3 * v] = corners[v][0];
    p[3 * v + 1] = corners[v][1];
    p[3 * v + 2] = 0.0f;
  }
}

}  // namespace

bool RadarBlinkStep(RadarBlink* blink) {
  ++blink->counter;
  if (blink->counter % kRadarPeriod == 0) {
    const bool wasShown = blink->sign == 1;
    blink->sign = -blink->sign;
    return !wasShown;
  }
  return blink->sign == 1;
}

int RadarDistanceZone(int32_t centimetres) {
  if (centimetres < 1 || centimetres > kFarthestDistance) {
    return -1;
  }
  if (centimetres < kNearestDistance) {
    return 2;
  }
  return centimetres <= kMiddleDistance ? 1 : 0;
}

int RadarLevelImage(int32_t level, bool middle) {
  if (level <= 0) {
    return -1;
  }
  // Command 5 carries 4-bit levels: anything beyond the nearest level is
  // shown as the nearest.
  const int shown = level > kLevels ? kLevels : static_cast<int>(level);
  return (middle ? kMiddleImages : 0) + shown - 1;
}

int BuildRadarLevelQuads(const ViewParam* scene, RadarQuad* quads) {
  float cw = 0.0f;
  float cl = 0.0f;
  DisplayedCar(scene, &cw, &cl);
  const float side = ((cw + 20.0f) - 15.0f) * 0.25f;
  const float middleDepth = side * 43.0f / 168.0f;
  const float left = -cw * 0.5f - kOverhang;
  const float right = cw * 0.5f + kOverhang;
  const float firstMiddle = left + side + kGap;
  const float secondMiddle = side + firstMiddle + kGap;
  int count = 0;
  for (int end = 0; end < 2; ++end) {
    // The +y end runs from its outer edge towards the car in -y, the -y end in +y.
    const float y0 = end == 0 ? cl * 0.5f + kOverhang : -cl * 0.5f - kOverhang;
    const float inwards = end == 0 ? -1.0f : 1.0f;
    for (int position = 0; position < kSensorsPerEnd; ++position) {
      const int sensor = end * kSensorsPerEnd + position;
      const bool middle = position == 1 || position == 2;
      const int image = RadarLevelImage(SensorValue(scene, sensor), middle);
      if (image < 0) {
        continue;
      }
      RadarQuad& quad = quads[count++];
      quad.texture = scene->radarTextures[image];
      quad.sensor = sensor;
      switch (position) {
        case 0:
          FlatQuad(left, y0, side, inwards * side, quad.positions);
          break;
        case 1:
          FlatQuad(firstMiddle, y0, side, inwards * middleDepth, quad.positions);
          break;
        case 2:
          FlatQuad(secondMiddle, y0, side, inwards * middleDepth, quad.positions);
          break;
        default:
          FlatQuad(right, y0, -side, inwards * side, quad.positions);
          break;
      }
    }
  }
  return count;
}

int BuildRadarWallQuads(const ViewParam* scene, RadarQuad* quads) {
  float cw = 0.0f;
  float cl = 0.0f;
  DisplayedCar(scene, &cw, &cl);
  // The angle the car's end subtends from its centre, split into four
  // sectors, one per sensor, with a small margin between walls.
  const float spread = 2.0f * std::atan(cw / cl);
  const float step = spread * 0.25f;
  const float base = static_cast<float>(kHalfPi - spread * 0.5);
  const float margin = step / 20.0f;
  int count = 0;
  for (int i = 0; i < kSensorsPerEnd; ++i) {
    for (int end = 0; end < 2; ++end) {
      const int sensor = end * kSensorsPerEnd + i;
      const int32_t distance = SensorValue(scene, sensor);
      const int zone = RadarDistanceZone(distance);
      if (zone < 0) {
        continue;
      }
      const float radius = static_cast<float>(cl * 0.5 + distance);
      const float theta = static_cast<float>(i) * step + base;
      const double a0 = theta + margin;
      const double a1 = theta + step - margin;
      const float ySign = end == 0 ? 1.0f : -1.0f;
      const float x0 = static_cast<float>(radius * std::cos(a0));
      const float y0 = ySign * static_cast<float>(radius * std::sin(a0));
      const float x1 = static_cast<float>(radius * std::cos(a1));
      const float y1 = ySign * static_cast<float>(radius * std::sin(a1));
      const float height = std::hypot(x1 - x0, y1 - y0);
      RadarQuad& quad = quads[count++];
      quad.texture = scene->radarTextures[kWallImages + zone];
      quad.sensor = sensor;
      const float corners[4][3] = {{x0, y0, 0.0f}, {x1, y1, 0.0f}, {x0, y0, height}, {x1, y1, height}};
      for (int v = 0; v < 4; ++v) {
        for (int c = 0; c < 3; ++c) {
          quad.positions[3 * v + c] = corners[v][c];
        }
      }
    }
  }
  return count;
}
