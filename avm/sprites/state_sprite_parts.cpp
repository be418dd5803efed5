#include "avm/sprites/state_sprite_parts.h"

#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/view/car_params.h"

bool DoorFlagOpen(const ViewParam* scene, int flag) {
  return flag >= 0 && flag < 4 && scene->doorOpen[flag] == 1;
}

namespace {

// One pair of door flags: the image of the lower flag alone, of the higher
// alone, and of both.
int PairImage(const ViewParam* scene, int lowFlag, int highFlag, int lowOnly, int highOnly,
              int both) {
  const bool low = DoorFlagOpen(scene, lowFlag);
  const bool high = DoorFlagOpen(scene, highFlag);
  if (low && high) {
    return both;
  }
  if (low) {
    return lowOnly;
  }
  return high ? highOnly : -1;
}

}  // namespace

OpenDoorImages DoorImagesForFlags(const ViewParam* scene) {
  OpenDoorImages images{0, {-1, -1}};
  const int first = PairImage(scene, 0, 2, 0, 1, 4);
  const int second = PairImage(scene, 1, 3, 2, 3, 5);
  for (int number : {first, second}) {
    if (number >= 0) {
      images.numbers[images.count++] = number;
    }
  }
  return images;
}

bool PasteAtEntry(cv::Mat& working, const char* path, const CarPosition& entry, OverlayKind kind) {
  return PasteOverlayFile(working, path, entry.x, entry.y, kind);
}

cv::Mat DecodeAngleBase(int angle) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//a//%d.kes", angle);
  return DecodeWorkingImageViaDestMat(path);
}

void PasteOpenDoors(cv::Mat& working, const char* folder, const CarPosition* entries) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  const OpenDoorImages doors = DoorImagesForFlags(scene);
  for (int i = 0; i < doors.count; ++i) {
    const int k = doors.numbers[i];
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                "//color//door//%s//d%d.kes", folder, k);
    PasteAtEntry(working, path, entries[k], OverlayKind::kDoor);
  }
}

void PasteSideLamp(cv::Mat& working, bool leftSide) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  if (leftSide) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                "//color//light//left//4.kes");
    PasteAtEntry(working, path, carLampsOffset2[kLampLeftViewEntry], OverlayKind::kWheelOrLamp);
  } else {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                "//color//light//right//5.kes");
    PasteAtEntry(working, path, carLampsOffset2[kLampRightViewEntry], OverlayKind::kWheelOrLamp);
  }
}

void PasteEndLamps(cv::Mat& working, bool front, int32_t lampState) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  if (lampState == 2 || lampState == 3) {
    if (front) {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//light//front//0.kes");
      PasteAtEntry(working, path, carLampsOffset2[kLampFrontRightEntry], OverlayKind::kWheelOrLamp);
    } else {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//light//back//5.kes");
      PasteAtEntry(working, path, carLampsOffset2[kLampBackRightEntry], OverlayKind::kWheelOrLamp);
    }
  }
  if (lampState == 1 || lampState == 3) {
    if (front) {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//light//front//1.kes");
      PasteAtEntry(working, path, carLampsOffset2[kLampFrontLeftEntry], OverlayKind::kWheelOrLamp);
    } else {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//light//back//4.kes");
      PasteAtEntry(working, path, carLampsOffset2[kLampBackLeftEntry], OverlayKind::kWheelOrLamp);
    }
  }
}
