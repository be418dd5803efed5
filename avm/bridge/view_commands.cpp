// View control: screen mode, view angle and its rotation show, zooms, the
// animation query and the screen layout.
#include "avm/bridge/command_handlers.h"
#include "avm/bridge/command_table.h"
#include "avm/bridge/layout_sizes.h"
#include "avm/bridge/java_callbacks.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/frame_loop.h"
#include "avm/view/screen_layout.h"
#include "avm/view/screen_modes.h"

namespace {

constexpr int kRearAngle = 0;
// A rotation show starts only from the rear view towards these targets.
bool RotationShowTarget(int32_t target) { return target == 96 || target == 144; }

}  // namespace

// 0: screen mode. Leaving the 3D view stops its pacing until the frame loop
// sets it again.
int CmdScreenMode(int32_t arg) {
  ViewParam* scene = pViewParam;
  scene->carViewActive = 0;
  scene->screenMode = arg;
  if (scene->smoothRotation == 1) {
    scene->frameRate = Is3DMode(arg) ? 24 : 60;
  }
  return 1;
}

// 7: view angle in degrees. Snaps to 45 degrees unless smooth rotation is
// on; refused while a rotation show runs with smooth rotation.
int CmdViewAngle(int32_t arg) {
  ViewParam* scene = pViewParam;
  int32_t degrees = arg % 360;
  if (degrees < 0) {
    degrees += 360;
  }
  int result = 1;
  if (scene->smoothRotation == 0) {
    scene->spriteAngleTarget = degrees / 45 * 24;
    if (scene->spriteAngle == kRearAngle && RotationShowTarget(scene->spriteAngleTarget)) {
      scene->rotationShow = 1;
    }
  } else if (scene->rotationShow == 1) {
    result = -1;
  } else {
    scene->spriteAngleTarget = static_cast<int32_t>(degrees / 1.875);
    if (scene->spriteAngle == kRearAngle && RotationShowTarget(scene->spriteAngleTarget)) {
      scene->rotationShow = 1;
      scene->animationNotify = 1;
      NotifySigFunc(kNotifyAnimationStarted);
    }
  }
  // Even a refused angle restarts the state images and the fast pacing.
  DropStateImages(scene);
  scene->volumeLightLoaded = 0;
  scene->frameRate = 60;
  return result;
}

// 18: vertical inset of the side viewport, used by the next layout.
int CmdSideInset(int32_t arg) {
  pViewParam->sideViewInset = arg;
  return 1;
}

// 20: top-view zoom by one step of 10 in or out; the margin stays inside
// (150, 350). Not in the 3D modes (4, 5, 15).
int CmdTopViewZoom(int32_t arg) {
  ViewParam* scene = pViewParam;
  if (RefusesTopZoom(scene->screenMode) || (arg != 1 && arg != -1)) {
    return 1;
  }
  const float margin = scene->topViewMargin + static_cast<float>(arg * 10);
  if (!(margin > 150.0f && margin < 350.0f)) {
    return 0;
  }
  scene->topViewMargin = margin;
  scene->topViewSideMargin = static_cast<float>(
      (scene->carLength * 0.5 + margin) * (scene->topViewport[2] / scene->topViewport[3]) -
      scene->carWidth * 0.5);
  return 1;
}

// 69: back to the rear view at once. The view rests there at once, on the
// state images of the angle it left unless they are dropped.
int CmdViewReset(int32_t) {
  ViewParam* scene = pViewParam;
  DropStateImages(scene);
  scene->camAngle = 0.0f;
  scene->singleTextureAngle = -1;
  scene->spriteAngle = 0;
  scene->spriteAngleTarget = 0;
  scene->rotationReverseSeen = 0;
  scene->rotationShow = 0;
  return 1;
}

// 70: 3D zoom, +1 narrows the field of view by one degree; it stays within
// 51..60.
int CmdZoom3D(int32_t arg) {
  if (arg != 1 && arg != -1) {
    return 1;
  }
  ViewParam* scene = pViewParam;
  const float fovy = scene->viewFovy - static_cast<float>(arg);
  if (fovy < 51.0f || fovy > 60.0f) {
    return 0;
  }
  scene->viewFovy = fovy;
  scene->viewFovyCurrent = fovy;
  return 1;
}

// 71: 1 while a view animation runs.
int CmdAnimationQuery(int32_t) {
  const ViewParam* scene = pViewParam;
  if (scene->smoothRotation == 0) {
    return scene->carViewActive == 1 ? 1 : 0;
  }
  if (scene->screenMode != kScreenMode3D) {
    return 0;
  }
  if (scene->rotationShow == 1) {
    return 1;
  }
  return scene->frameRate == 60 ? 1 : 0;
}

// 73: smooth rotation on (any angle) or off (45-degree steps).
int CmdSmoothRotation(int32_t arg) {
  if (ArgInRange(arg, 0, 1)) {
    pViewParam->smoothRotation = arg;
  }
  return 1;
}

// 74: Java asks to be told (1) or no longer told (0) when the running 3D
// animation ends.
int CmdAnimationNotification(int32_t arg) {
  ViewParam* scene = pViewParam;
  if (!ArgInRange(arg, 0, 1) || scene->smoothRotation != 1 || scene->rotationShow == 1 ||
      !Is3DMode(scene->screenMode)) {
    return 1;
  }
  if (arg == 1) {
    scene->animationNotify = 1;
    NotifySigFunc(kNotifyAnimationStarted);
  } else {
    scene->animationNotify = 0;
    NotifySigFunc(kNotifyAnimationEnded);
  }
  return 1;
}

// 85: field of view of screen mode 5 in tenths of a degree, 55.0..80.0.
int CmdFieldOfView3D(int32_t arg) {
  ViewParam* scene = pViewParam;
  if (ArgInRange(arg, 550, 800) && scene->screenMode == kScreenMode3D) {
    scene->mainFovy = static_cast<float>(arg) / 10.0f;
  }
  return 1;
}

// 88: live screen size by layout code 0..39; codes outside the size table
// become 0 (1024 x 600).
int CmdScreenSizeCodeLive(int32_t arg) {
  if (!ArgInRange(arg, 0, kLayoutRows - 1)) {
    return 1;
  }
  int32_t width = 1024;
  int32_t height = 600;
  const int32_t code = ScreenSizeOfLayoutCode(arg, &width, &height) ? arg : 0;
  gBridge.layoutCode = code;
  ViewParam* scene = pViewParam;
  scene->screenWidth = width;
  scene->screenHeight = height;
  scene->screenIndex = code;
  AvmSetScreen();
  return 1;
}
