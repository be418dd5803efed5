// The partial views 0, 24, 72 and 96: each has a wheel folder of its own
// (tires/{angle + 1}/), and 72, the front quarter view, also shows the
// headlight beams, the front indicators and the doors.
#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/sprite_image.h"
#include "avm/sprites/state_sprite_parts.h"
#include "avm/sprites/state_sprites.h"
#include "avm/view/car_params.h"

namespace {

// The pair of carTiresOffset2 entries of a partial view, or -1 for an angle
// that is not one.
int WheelGroup(int angle) {
  switch (angle) {
    case 0:
      return 2;
    case 24:
      return 3;
    case 72:
      return 4;
    case 96:
      return 5;
    default:
      return -1;
  }
}

void PasteBeams(cv::Mat& working) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
              "//color//light//front2//0.kes");
  PasteAtEntry(working, path, carLampsOffset2[kBeamsFront2Entries], OverlayKind::kWheelOrLamp);
  CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
              "//color//light//front2//1.kes");
  PasteAtEntry(working, path, carLampsOffset2[kBeamsFront2Entries + 1], OverlayKind::kWheelOrLamp);
}

// Right indicator (front2/2) first, then the left one (front2/3).
void PasteIndicators(cv::Mat& working, int32_t lampState) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  if (lampState == 2 || lampState == 3) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                "//color//light//front2//2.kes");
    PasteAtEntry(working, path, carLampsOffset2[kLampFront2RightEntry], OverlayKind::kWheelOrLamp);
  }
  if (lampState == 1 || lampState == 3) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                "//color//light//front2//3.kes");
    PasteAtEntry(working, path, carLampsOffset2[kLampFront2LeftEntry], OverlayKind::kWheelOrLamp);
  }
}

}  // namespace

int load_textureSome(int angle, int wheelFrame, int blinkPhase, int doorMode, int texture) {
  const int group = WheelGroup(angle);
  if (group < 0) {
    AVM_LOGI("---------load_textureSome,angle %d unknown", angle);
    return texture;
  }
  const ViewParam* scene = pViewParam;
  cv::Mat working = DecodeAngleBase(angle);

  // A car without the partial-view wheel sets is shown plain at these
  // angles: its lamp and door images would not match a kit that lacks them.
  if (scene->partialWheelSpritesPresent != 1) {
    return UploadSpriteImage(texture, working);
  }

  const bool beams = angle == 72 && scene->volumeLightOn == 1;
  if (doorMode != 1) {
    char path[kPathBufferSize];
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//%d//f%d.kes",
                angle + 1, wheelFrame);
    PasteAtEntry(working, path, carTiresOffset2[2 * group], OverlayKind::kWheelOrLamp);
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//tires//%d//b%d.kes",
                angle + 1, wheelFrame);
    PasteAtEntry(working, path, carTiresOffset2[2 * group + 1], OverlayKind::kWheelOrLamp);
    if (beams) {
      PasteBeams(working);
    }
    if (blinkPhase == 1) {
      PasteIndicators(working, scene->lampState);
    }
  } else {
    // With doors open the car stands: the base's own wheels show, and the
    // indicators stay dark so that the cache slot of either blink phase
    // holds the same picture.
    if (beams) {
      PasteBeams(working);
    }
    PasteOpenDoors(working, "front2", carDoorsOffset2 + kDoorFront2ViewEntries);
  }
  return UploadSpriteImage(texture, working);
}
