// The side (130, 158) and end (54, 144) state images with the doors shut:
// the angle's whole-car image with the wheels of one animation frame, the
// front wheel turned by the steering, and the indicator lamps of one blink
// phase pasted over it.
#include <cmath>

#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/sprite_image.h"
#include "avm/sprites/state_sprite_parts.h"
#include "avm/sprites/state_sprites.h"
#include "avm/view/car_params.h"

namespace {

// steerAngle truncated towards zero. The command clamps it to -32..32, but
// the record is shared: a value that is not a number, or far out of range,
// must not reach an integer conversion (undefined for it), and any value
// beyond 30 degrees shows the straight wheel anyway.
int TruncatedSteering(double steerAngle) {
  if (!std::isfinite(steerAngle)) {
    return 0;
  }
  if (steerAngle > 1000.0) {
    return 1000;
  }
  if (steerAngle < -1000.0) {
    return -1000;
  }
  return static_cast<int>(std::trunc(steerAngle));
}

// The steer set (10, 20, 30) of the front wheel for a truncated steering
// angle turning towards the viewer's side (positive: left side), 0 for the
// straight wheel. Past 30 degrees the kit has no image, and the straight
// wheel is shown rather than a wrong turn.
int SteerSet(int towardsSide) {
  if (towardsSide < 5 || towardsSide > 30) {
    return 0;
  }
  if (towardsSide <= 9) {
    return 10;
  }
  return towardsSide <= 14 ? 20 : 30;
}

}  // namespace

int FrontWheelSteerSet(int side, double steerAngle) {
  // The left side shows the wheel turning left (positive steering), the
  // right side the wheel turning right (negative steering).
  const int steering = TruncatedSteering(steerAngle);
  return SteerSet(side == 0 ? steering : -steering);
}

int load_textureLR(int side, int wheelFrame, int blinkPhase, int texture) {
  if (side != 0 && side != 1) {
    AVM_LOGI("---------load_textureLR,side %d unknown", side);
    return texture;
  }
  const ViewParam* scene = pViewParam;
  const bool left = side == 0;
  cv::Mat working = DecodeAngleBase(left ? 130 : 158);
  char path[kPathBufferSize];

  const int steerSet = FrontWheelSteerSet(side, scene->steerAngle);
  if (steerSet == 0) {
    if (left) {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//left//f%d.kes",
                  wheelFrame);
    } else {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//right//f%d.kes",
                  wheelFrame);
    }
  } else if (left) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//left_%d//f%d.kes",
                steerSet, wheelFrame);
  } else {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//right_%d//f%d.kes",
                steerSet, wheelFrame);
  }
  PasteAtEntry(working, path, carTiresOffsetCur[left ? 0 : 2], OverlayKind::kWheelOrLamp);

  if (left) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//left//b%d.kes",
                wheelFrame);
  } else {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//right//b%d.kes",
                wheelFrame);
  }
  PasteAtEntry(working, path, carTiresOffsetCur[left ? 1 : 3], OverlayKind::kWheelOrLamp);

  // The frame loop lets the phase reach 1 at a side only while that side's
  // indicator blinks, so lampState is not looked at again here.
  if (blinkPhase == 1) {
    PasteSideLamp(working, left);
  }
  return UploadSpriteImage(texture, working);
}

int load_textureFB(int side, int /*wheelFrame: the end views show no wheel turning*/,
                   int blinkPhase, int texture) {
  if (side != 0 && side != 1) {
    AVM_LOGI("---------load_textureFB,side %d unknown", side);
    return texture;
  }
  const ViewParam* scene = pViewParam;
  const bool front = side == 1;
  cv::Mat working = DecodeAngleBase(front ? 54 : 144);
  if (blinkPhase == 1) {
    PasteEndLamps(working, front, scene->lampState);
  }
  return UploadSpriteImage(texture, working);
}
