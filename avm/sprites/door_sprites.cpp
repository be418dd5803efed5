// The views with open doors: the side views and the top view
// (load_texture_doors) and the end views (load_texture_doors2). The base
// keeps its own wheels; door images are pasted as spans so that the gaps a
// swung door leaves inside its outline are painted too.
#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
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
    FormatPath(path, sizeof(path), "%s%s//%s//color//top//top0000.kes", scene->assetRoot,
               kCarTreeDir, scene->carName);
    working = DecodeWorkingImage(path);
  } else if (view == 1) {
    FormatPath(path, sizeof(path), "%s%s//%s//color//a//130.kes", scene->assetRoot, kCarTreeDir,
               scene->carName);
    working = DecodeWorkingImageViaDestMat(path);
  } else {
    FormatPath(path, sizeof(path), "%s%s//%s//color//a//158.kes", scene->assetRoot, kCarTreeDir,
               scene->carName);
    working = DecodeWorkingImageViaDestMat(path);
  }

  // One image folder per view serves both pairs of doors: at 130 the far
  // side's doors, when open, come from door/left as well.
  const OpenDoorImages doors = DoorImagesForFlags(scene);
  for (int i = 0; i < doors.count; ++i) {
    const int k = doors.numbers[i];
    if (view == 0) {
      FormatPath(path, sizeof(path), "%s%s//%s//color//door//top//d%d.kes", scene->assetRoot,
                 kCarTreeDir, scene->carName, k);
      PasteAtEntry(working, path, carDoorsOffset[12 + k], OverlayKind::kDoor);
    } else if (view == 1) {
      FormatPath(path, sizeof(path), "%s%s//%s//color//door//left//d%d.kes", scene->assetRoot,
                 kCarTreeDir, scene->carName, k);
      PasteAtEntry(working, path, carDoorsOffset[k], OverlayKind::kDoor);
    } else {
      FormatPath(path, sizeof(path), "%s%s//%s//color//door//right//d%d.kes", scene->assetRoot,
                 kCarTreeDir, scene->carName, k);
      PasteAtEntry(working, path, carDoorsOffset[6 + k], OverlayKind::kDoor);
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
    FormatPath(path, sizeof(path), "%s%s//%s//color//a//54.kes", scene->assetRoot, kCarTreeDir,
               scene->carName);
  } else {
    FormatPath(path, sizeof(path), "%s%s//%s//color//a//144.kes", scene->assetRoot, kCarTreeDir,
               scene->carName);
  }
  cv::Mat working = DecodeWorkingImageViaDestMat(path);

  const OpenDoorImages doors = DoorImagesForFlags(scene);
  for (int i = 0; i < doors.count; ++i) {
    const int k = doors.numbers[i];
    if (front) {
      FormatPath(path, sizeof(path), "%s%s//%s//color//door//front//d%d.kes", scene->assetRoot,
                 kCarTreeDir, scene->carName, k);
      PasteAtEntry(working, path, carDoorsOffset2[18 + k], OverlayKind::kDoor);
    } else {
      FormatPath(path, sizeof(path), "%s%s//%s//color//door//back//d%d.kes", scene->assetRoot,
                 kCarTreeDir, scene->carName, k);
      PasteAtEntry(working, path, carDoorsOffset2[24 + k], OverlayKind::kDoor);
    }
  }

  if (blinkPhase == 1) {
    PasteEndLamps(working, front, scene->lampState);
  }
  return UploadSpriteImage(texture, working);
}
