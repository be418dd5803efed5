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
  cv::Mat working;
  // One image folder per view serves both pairs of doors: at 130 the far
  // side's doors, when open, come from door/left as well.
  if (view == 0) {
    const ViewParam* scene = pViewParam;
    char path[kPathBufferSize];
    CarFilePath(path, sizeof(path), scene->assetRoot, scene->carName, "//color//top//top0000.kes");
    working = DecodeWorkingImage(path);
    PasteOpenDoors(working, "top", carDoorsOffset + kDoorTopViewEntries);
  } else if (view == 1) {
    working = DecodeAngleBase(130);
    PasteOpenDoors(working, "left", carDoorsOffset + kDoorLeftViewEntries);
  } else {
    working = DecodeAngleBase(158);
    PasteOpenDoors(working, "right", carDoorsOffset + kDoorRightViewEntries);
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
  cv::Mat working = DecodeAngleBase(front ? 54 : 144);
  if (front) {
    PasteOpenDoors(working, "front", carDoorsOffset2 + kDoorFrontViewEntries);
  } else {
    PasteOpenDoors(working, "back", carDoorsOffset2 + kDoorBackViewEntries);
  }

  if (blinkPhase == 1) {
    PasteEndLamps(working, front, scene->lampState);
  }
  return UploadSpriteImage(texture, working);
}
