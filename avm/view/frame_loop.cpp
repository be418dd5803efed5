#include "avm/view/frame_loop.h"

#include <GLES2/gl2.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/object_draw.h"
#include "avm/gl/scene_layers.h"
#include "avm/include/avm_track.h"
#include "avm/mesh/objmodel.h"
#include "avm/sprites/state_sprites.h"
#include "avm/sprites/whole_car_sprites.h"
#include "avm/view/screen_modes.h"

uint32_t gWheelTickCounter = 0;
uint32_t gWheelPhase = 0;

namespace {

constexpr int kWheelFrames = 6;
// A lamp is lit for this many frames and dark for as many.
constexpr int32_t kBlinkHalfPeriod = 12;
// The blink counter runs for the life of the car; it wraps at the largest
// multiple of the half period that an int32 holds, so the cycle goes on
// unchanged across the wrap (and never overflows).
constexpr int32_t kBlinkCounterWrap = (INT32_MAX / kBlinkHalfPeriod) * kBlinkHalfPeriod;

void ViewportFrom(const float* rect) {
  glViewport(static_cast<GLint>(rect[0]), static_cast<GLint>(rect[1]),
             static_cast<GLsizei>(rect[2]), static_cast<GLsizei>(rect[3]));
}

bool DoorMode(const ViewParam* scene) {
  return AnyDoorOpen(scene) && scene->doorSpritesAvailable == 1;
}

// The whole-car image of the current angle: on demand per angle, or, in
// single-texture mode, one texture reloaded whenever the angle changes.
void KeepWholeCarImageCurrent(ViewParam* scene) {
  const int angle = scene->spriteAngle;
  // Every image is marked current before it is loaded: a load that fails,
  // however it fails, is not repeated on every frame.
  if (scene->singleTextureMode != 0) {
    if (angle != scene->singleTextureAngle) {
      scene->singleTextureAngle = angle;
      load_textureAll(static_cast<int>(scene->singleTexture[0]));
    }
    return;
  }
  // The frame loop keeps spriteAngle inside 0..191; the check keeps a
  // damaged value from indexing past the tables.
  if (angle < 0 || angle >= kSpriteAngles) {
    return;
  }
  AngleMark& mark = scene->angleLoaded[angle];
  if (mark.loaded == 0) {
    mark.loaded = 1;
    load_textureAll(static_cast<int>(scene->angleTextures[angle].texture));
  }
}

// Moves the wheel animation on by the speed: slow cars turn their wheels
// every third or second frame, fast ones one or two frames per frame.
void StepWheels(int32_t speed) {
  if (speed <= 1500) {
    return;  // standing or creeping: the wheels keep their frame
  }
  ++gWheelTickCounter;
  if (speed <= 5000) {
    if (gWheelTickCounter % 3 == 0) {
      ++gWheelPhase;
    }
  } else if (speed <= 10000) {
    if (gWheelTickCounter % 2 == 0) {
      ++gWheelPhase;
    }
  } else if (speed <= 30000) {
    ++gWheelPhase;
  } else {
    gWheelPhase += 2;
  }
}

// Whether the indicators of this angle blink: the lamps of the side or end
// that the camera sees, by lampState; -1 blinks everywhere. At the partial
// views the cycle always runs (only 72 shows indicators).
bool BlinkRuns(int angle, int32_t lampState) {
  if (lampState == -1) {
    return true;
  }
  switch (angle) {
    case 130:
      return lampState == 1;
    case 158:
      return lampState == 2;
    case 54:
    case 144:
      return lampState != 0;
    case 0:
    case 24:
    case 72:
    case 96:
      return true;
    default:
      return false;
  }
}

void StepBlink(ViewParam* scene, int angle) {
  if (!BlinkRuns(angle, scene->lampState)) {
    scene->blinkPhase = 0;
    return;
  }
  // Taken in 64 bits: a counter the record gives back damaged (negative,
  // or at the top of its range) still steps without overflowing.
  int64_t next = (static_cast<int64_t>(scene->blinkCounter) + 1) % kBlinkCounterWrap;
  if (next < 0) {
    next += kBlinkCounterWrap;
  }
  scene->blinkCounter = static_cast<int32_t>(next);
  if (scene->blinkCounter % kBlinkHalfPeriod == 0) {
    scene->blinkPhase = scene->blinkPhase == 1 ? 0 : 1;
  }
}

// Composes the state image of the angle for phase p and wheel frame w into
// texture, by the loader of the angle.
void ComposeStateImage(int angle, bool doorMode, int p, int w, int texture) {
  switch (angle) {
    case 0:
    case 24:
    case 96:
      // No indicators at these angles: phase 0 is composed for both slots.
      load_textureSome(angle, doorMode ? 0 : w, 0, 0, texture);
      break;
    case 54:
      doorMode ? load_texture_doors2(1, p, texture) : load_textureFB(1, w, p, texture);
      break;
    case 72:
      doorMode ? load_textureSome(72, 0, p, 1, texture) : load_textureSome(72, w, p, 0, texture);
      break;
    case 130:
      doorMode ? load_texture_doors(1, p, texture) : load_textureLR(0, w, p, texture);
      break;
    case 144:
      doorMode ? load_texture_doors2(2, p, texture) : load_textureFB(0, w, p, texture);
      break;
    case 158:
      doorMode ? load_texture_doors(2, p, texture) : load_textureLR(1, w, p, texture);
      break;
    default:
      break;
  }
}

// The state image of a resting view: wheel frame and blink phase move on,
// and the slot they pick is composed once until something clears the cache.
void KeepStateImageCurrent(ViewParam* scene) {
  const int angle = scene->spriteAngle;
  if (angle != scene->spriteAngleTarget || !IsStateAngle(angle)) {
    return;
  }
  StepWheels(scene->vehicleSpeed.load(std::memory_order_relaxed));
  const int phaseFrame = static_cast<int>(gWheelPhase % kWheelFrames);
  scene->wheelFrame = scene->reverseGear != 0 ? kWheelFrames - 1 - phaseFrame : phaseFrame;
  const bool doorMode = DoorMode(scene);
  if (doorMode) {
    scene->wheelFrame = 0;  // the doors' pictures show the base's own wheels
  }
  StepBlink(scene, angle);
  const int p = scene->blinkPhase == 1 ? 1 : 0;
  const int w = scene->wheelFrame;
  if (scene->frameLoaded[p][w] != 0) {
    return;
  }
  scene->frameLoaded[p][w] = 1;
  ComposeStateImage(angle, doorMode, p, w, static_cast<int>(scene->frameTextures[p][w]));
}

// Sprite upkeep of the 3D view (screen modes 5 and 15): the car's images
// are kept current even when nothing is drawn (15).
void KeepSpritesCurrent(ViewParam* scene) {
  scene->carViewActive = 1;
  scene->carSpriteReady = 1;
  KeepWholeCarImageCurrent(scene);
  KeepStateImageCurrent(scene);
}

// The mesh of the objects, read on the first frame that shows one. A file
// that cannot be read leaves it empty, and it is not read again.
void EnsureObjectModel(ViewParam* scene) {
  if (scene->carObjModel != nullptr) {
    return;
  }
  Objmodel* model = new (std::nothrow) Objmodel();
  if (model == nullptr) {
    return;
  }
  scene->carObjModel = model;
  char path[kPathBufferSize] = {};
  if (FormatPath(path, sizeof(path), "%s/common/car.bin", scene->assetRoot)) {
    model->readFile(path);
  }
}

void DrawObjects(ViewParam* scene) {
  for (int slot = 0; slot < kObjectSlots; ++slot) {
    if (scene->objectSlots[slot][0] == 0) {
      continue;
    }
    EnsureObjectModel(scene);
    if (scene->carObjModel != nullptr) {
      DrawObj(slot);
    }
  }
}

void DrawTopView(ViewParam* scene) {
  GetMatrix2D();
  ViewportFrom(scene->topViewport);
  DrawCarBottomShadow(1);
  DrawCar3D_Top();
}

void Draw3DView(ViewParam* scene) {
  GetMatrix3D();
  ViewportFrom(scene->mainViewport);
  if (scene->backgroundOn == 1) {
    DrawBackground(6);
  }
  if (scene->roadwayOn == 1) {
    DrawRoadway(0);
  }
  if (scene->laneOn != 0) {
    DrawLaneline(0);
  }
  const int angle = scene->spriteAngle;
  const bool resting = angle == scene->spriteAngleTarget;
  if (resting && angle == 144 && scene->aiCarMode == 2) {
    DrawAiCar();
  }
  DrawObjects(scene);
  if (scene->bottomShadowOn == 1) {
    DrawCarBottomShadow(0);
  }
  if (!resting) {
    DrawCar3D_All();
    return;
  }
  if ((angle == 72 || angle == 144) && scene->volumeLightOn == 1) {
    DrawVoumeLight();
  }
  if (IsStateAngle(angle)) {
    DrawCar3D_Some();
  } else {
    DrawCar3D_All();
  }
}

}  // namespace

bool IsStateAngle(int angle) {
  switch (angle) {
    case 0:
    case 24:
    case 54:
    case 72:
    case 96:
    case 130:
    case 144:
    case 158:
      return true;
    default:
      return false;
  }
}

int AvmDraw() {
  ViewParam* scene = pViewParam;
  const int mode = scene->screenMode;
  if (Is3DMode(mode)) {
    KeepSpritesCurrent(scene);
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (mode == kScreenModeTop) {
    DrawTopView(scene);
  } else if (mode == kScreenModeLogo) {
    ViewportFrom(scene->mainViewport);
    DrawLogo();
  } else if (mode == kScreenMode3D) {
    Draw3DView(scene);
  }
  return 1;
}

int resetCarModle() {
  ViewParam* scene = pViewParam;
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    AngleMark& mark = scene->angleLoaded[angle];
    if (mark.loaded == 1) {
      mark.loaded = 0;
    }
    if (mark.second == 1) {
      if (scene->carSpritesPresent == 1) {
        // Gives the memory of the spare image back; its content is irrelevant.
        static const unsigned char kBlank[2 * 2 * 4] = {};
        glBindTexture(GL_TEXTURE_2D, scene->angleTextures[angle].second);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, kBlank);
      }
      mark.second = 0;
    }
  }
  return 0;
}

void DropStateImages(ViewParam* scene) {
  std::memset(scene->frameLoaded, 0, sizeof(scene->frameLoaded));
}

int AvmSetTireAngle(float angle, int direction) {
  ViewParam* scene = pViewParam;
  double clamped = angle;
  if (clamped > 32.0) {
    clamped = 32.0;
  } else if (clamped < -32.0) {
    clamped = -32.0;
  }
  if (std::fabs(clamped - scene->steerAngle) > 1e-6 || scene->reverseGear != direction) {
    // Modes 6 and 7 show the steered wheels in the cached state images,
    // unless those show open doors.
    if (ShowsSteeredStateImages(scene->screenMode) &&
        (!AnyDoorOpen(scene) || scene->doorSpritesAvailable == 0)) {
      DropStateImages(scene);
    }
    // The side views of the 3D view show the front wheel of a steer set.
    // Only a change of set makes their images stale, so a stream of small
    // steering changes does not recompose every frame; a change made in
    // another screen mode counts as well, since the images are shown again
    // when the 3D view comes back.
    if (FrontWheelSteerSet(0, clamped) != FrontWheelSteerSet(0, scene->steerAngle) ||
        FrontWheelSteerSet(1, clamped) != FrontWheelSteerSet(1, scene->steerAngle)) {
      DropStateImages(scene);
    }
    scene->steerAngle = clamped;
    scene->reverseGear = direction;
    // An attached guide track rebuilds its lines for the new steering.
    // Nothing inside the renderer attaches one; while none is, there is
    // nothing to mark.
    AvmTrack* track = scene->guideTrack;
    if (track != nullptr && track->drawer != nullptr) {
      track->drawer->markGeometryDirty();
    }
  }
  return 1;
}
