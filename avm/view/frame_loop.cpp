#include "avm/view/frame_loop.h"

#include <GLES2/gl2.h>

#include <cmath>
#include <cstring>

#include "avm/bridge/scene_state.h"
#include "avm/gl/scene_layers.h"
#include "avm/sprites/whole_car_sprites.h"

namespace {

constexpr int kScreenModeLogo = 20;

void ViewportFrom(const float* rect) {
  glViewport(static_cast<GLint>(rect[0]), static_cast<GLint>(rect[1]),
             static_cast<GLsizei>(rect[2]), static_cast<GLsizei>(rect[3]));
}

// The whole-car image of the current angle: on demand per angle, or, in
// single-texture mode, one texture reloaded whenever the angle changes.
void KeepWholeCarImageCurrent(ViewParam* scene) {
  const int angle = scene->spriteAngle;
  if (scene->singleTextureMode != 0) {
    if (angle != scene->singleTextureAngle) {
      load_textureAll(static_cast<int>(scene->singleTexture[0]));
    }
    scene->singleTextureAngle = angle;
    return;
  }
  // The frame loop keeps spriteAngle inside 0..191; the check keeps a
  // damaged value from indexing past the tables.
  if (angle < 0 || angle >= kSpriteAngles) {
    return;
  }
  AngleMark& mark = scene->angleLoaded[angle];
  if (mark.loaded == 0) {
    load_textureAll(static_cast<int>(scene->angleTextures[angle].texture));
    mark.loaded = 1;
  }
}

// Sprite upkeep of the 3D view (screen modes 5 and 15): the car's images
// are kept current even when nothing is drawn (15).
void KeepSpritesCurrent(ViewParam* scene) {
  scene->carViewActive = 1;
  scene->carSpriteReady = 1;
  KeepWholeCarImageCurrent(scene);
}

bool AnyDoorOpen(const ViewParam* scene) {
  for (int door = 0; door < 4; ++door) {
    if (scene->doorOpen[door] == 1) {
      return true;
    }
  }
  return false;
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
  if (scene->screenMode == 5 || scene->screenMode == 15) {
    KeepSpritesCurrent(scene);
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (scene->screenMode == kScreenModeLogo) {
    ViewportFrom(scene->mainViewport);
    DrawLogo();
    return 1;
  }
  // The 2D top view (12) and the 3D view (5) draw their layers here once
  // the car drawing is in; every other mode leaves the cleared frame.
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
    if ((scene->screenMode == 6 || scene->screenMode == 7) &&
        (!AnyDoorOpen(scene) || scene->doorSpritesAvailable == 0)) {
      std::memset(scene->frameLoaded, 0, sizeof(scene->frameLoaded));
    }
    scene->steerAngle = clamped;
    scene->reverseGear = direction;
    // An attached guide track rebuilds its lines for the new steering; the
    // track classes bring that mark with them (nothing attaches one yet).
  }
  return 1;
}
