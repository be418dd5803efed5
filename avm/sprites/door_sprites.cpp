// The views with open doors: the side views and the top view
// (load_texture_doors) and the end views (load_texture_doors2). The base
// keeps its own wheels; door images are pasted as spans so that the gaps a
// swung door leaves inside its outline are painted too.
#include "avm/bridge/avm_log.h"
#include "avm/bridge/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/sprite_image.h"
#include "avm/sprites/state_sprite_parts.h"
#include "avm/sprites/state_sprites.h"
#include "avm/view/car_params.h"

int load_texture_doors(int view, int blinkPhase, int texture) {
  if (view < 0 || view > 2) {
    AVM_LOGI("---------load_texture_doors,view %d unknown", view);
    return texture;
  }
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  cv::Mat working;
  if (view == 0) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//top//top0000.kes");
    working = DecodeWorkingImage(path);
  } else if (view == 1) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//a//130.kes");
    working = DecodeWorkingImageViaDestMat(path);
  } else {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//a//158.kes");
    working = DecodeWorkingImageViaDestMat(path);
  }

  // One image folder per view serves both pairs of doors: at 130 the far
  // side's doors, when open, come from door/left as well.
  const OpenDoorImages doors = DoorImagesForFlags(scene);
  for (int i = 0; i < doors.count; ++i) {
    const int k = doors.numbers[i];
    if (view == 0) {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//door//top//d%d.kes", k);
      PasteAtEntry(working, path, carDoorsOffset[kDoorTopViewEntries + k], OverlayKind::kDoor);
    } else if (view == 1) {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//door//left//d%d.kes", k);
      PasteAtEntry(working, path, carDoorsOffset[kDoorLeftViewEntries + k], OverlayKind::kDoor);
    } else {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//door//right//d%d.kes", k);
      PasteAtEntry(working, path, carDoorsOffset[kDoorRightViewEntries + k], OverlayKind::kDoor);
    }
  }

  // The top view has no indicator images.
  if (blinkPhase == 1 && view != 0) {
    PasteSideLamp(working, view == 1);
  }
  return UploadSpriteImage(texture, working);
}

int load_texture_doors2(int view, int blinkPhase, int texture) {
  if (view != 1 && view != 2) {
    AVM_LOGI("---------load_texture_doors2,view %d unknown", view);
    return texture;
  }
  const ViewParam* scene = pViewParam;
  const bool front = view == 1;
  char path[kPathBufferSize];
  if (front) {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//a//54.kes");
  } else {
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//a//144.kes");
  }
  cv::Mat working = DecodeWorkingImageViaDestMat(path);

  const OpenDoorImages doors = DoorImagesForFlags(scene);
  for (int i = 0; i < doors.count; ++i) {
    const int k = doors.numbers[i];
    if (front) {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//door//front//d%d.kes", k);
      PasteAtEntry(working, path, carDoorsOffset2[kDoorFrontViewEntries + k], OverlayKind::kDoor);
    } else {
      CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName,
                  "//color//door//back//d%d.kes", k);
      PasteAtEntry(working, path, carDoorsOffset2[kDoorBackViewEntries + k], OverlayKind::kDoor);
    }
  }

  if (blinkPhase == 1) {
    PasteEndLamps(working, front, scene->lampState);
  }
  return UploadSpriteImage(texture, working);
}
