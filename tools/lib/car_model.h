#pragma once
// The sample car as a triangle model, in scene units (centimetres): the
// ground is z = 0, the car's centre stands at the origin, its front points to
// +y and its left side to -x. Doors 0 and 2 are the front and rear doors of
// the left side, doors 1 and 3 those of the right side.
#include <cstdint>

#include "tools/lib/raster.h"

namespace tools {
namespace car_model {

constexpr double kLength = 460.0;       // bumper to bumper, y from -230 to 230
constexpr double kWidth = 180.0;        // outer faces of the wheels and doors, x from -90 to 90
constexpr double kBodyHalfWidth = 87.0;
constexpr double kWheelRadius = 34.0;
constexpr double kWheelWidth = 22.0;
constexpr double kWheelCentreX = 79.0;  // the wheels' outer faces are at +-90
constexpr double kAxleY = 140.0;        // front axle +140, rear axle -140
// Open doors swing out this far. Wider, the front left door would become
// the leftmost thing of the picture at angle 130, and its overlay would start
// at column 0 or 1, where the renderer takes the door table for missing.
constexpr double kDoorOpenDegrees = 22.0;
constexpr int kWheelSpokes = 5;
// Six animation frames make one turn of the spoke pattern (72 degrees, the
// angle between spokes), so frame 5 runs on into frame 0 without a jump.
constexpr double kDegreesPerWheelFrame = 12.0;

// Number plate holders (where the renderer draws the plate picture).
constexpr double kPlateHalfWidth = 24.0;
constexpr double kPlateBottom = 42.0;
constexpr double kPlateTop = 57.0;
constexpr double kPlateOut = 0.5;        // the plate quad stands this far in front of the face

// Parts of the model, as bits of the rendered part masks.
enum Part : std::uint8_t {
  kPartBody = 0,
  kPartGlass = 1,
  kPartWheelFrontLeft = 2,
  kPartWheelFrontRight = 3,
  kPartWheelRearLeft = 4,
  kPartWheelRearRight = 5,
  kPartDoor0 = 6,  // doors 0..3 take the ids 6..9
  kPartIndicatorLeft = 10,
  kPartIndicatorRight = 11,
  kPartHeadlampLeft = 12,
  kPartHeadlampRight = 13,
};

inline std::uint32_t Bit(int part) { return 1u << part; }

enum Wheel : int { kFrontLeft = 0, kFrontRight = 1, kRearLeft = 2, kRearRight = 3 };

// Each wheel has its own frame and each front wheel its own steering: the
// renderer animates only the wheels nearest the viewer, one overlay each, so
// a state shows exactly one wheel changed.
struct Pose {
  int wheelFrame[4] = {0, 0, 0, 0};     // by Wheel; 0..5, the spokes turned by frame x 12 degrees
  double steerDegrees[2] = {0.0, 0.0};  // kFrontLeft, kFrontRight; positive turns left
  bool indicatorLeft = false;
  bool indicatorRight = false;
  bool headlampLeft = false;
  bool headlampRight = false;
  bool doorOpen[4] = {false, false, false, false};
  Vec3 offset;                  // moves the whole car (the other car of the sample)
  Colour paint{45, 50, 185};
};

Mesh BuildCar(const Pose& pose);

}  // namespace car_model
}  // namespace tools
