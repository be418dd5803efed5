#include "avm/gl/car_sprite_draw.h"

#include <GLES2/gl2.h>

#include <cmath>

#include "avm/bridge/scene_state.h"
#include "avm/common/numbers.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/sprite_quad.h"
#include "avm/gl/tire_plate_display.h"
#include "avm/sprites/state_sprites.h"
#include "avm/view/car_params.h"

namespace {

void UseCarProgram(const ViewParam* scene) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glUseProgram(scene->carProgram);
}

// A sprite quad in device coordinates with the car program in use. The
// texture is bound by the caller (or deliberately left as it stands).
void DrawCarQuad(const ViewParam* scene, const float* quad, int alphaFlag) {
  glUniformMatrix4fv(scene->carMatrixLoc, 1, GL_FALSE, GetIdentityMatrix4x4());
  glUniform1i(scene->carAlphaFlagLoc, alphaFlag);
  if (alphaFlag == 1) {
    glUniform1f(scene->carAlphaValueLoc, scene->carBrightness);
  }
  DrawQuadStrip(scene->carPositionLoc, quad, scene->carCoordLoc, kSpriteTexCoords);
}

void BindCarTexture(const ViewParam* scene, GLuint texture) {
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glUniform1i(scene->carTextureLoc, 0);
  glUniform1i(scene->carPkmFlagLoc, 0);
}

void DrawPlateForAngle(const ViewParam* scene, int angle) {
  if (scene->plateShown == 0) {
    return;
  }
  const int which = PlateForAngle(angle);
  if (which >= 0) {
    DrawPlateNumber(which);
  }
}

void DrawTirePanels() {
  for (int tyre = 0; tyre < 4; ++tyre) {
    DrawTirePressure(tyre);
  }
}

// The angle the 3D car drawers show; the frame loop keeps it inside the
// tables, a damaged value draws nothing.
bool CurrentAngle(const ViewParam* scene, int* angle) {
  *angle = scene->spriteAngle;
  return *angle >= 0 && *angle < kSpriteAngles;
}

}  // namespace

bool AnyDoorOpen(const ViewParam* scene) {
  for (int door = 0; door < 4; ++door) {
    if (scene->doorOpen[door] == 1) {
      return true;
    }
  }
  return false;
}

void ViewProjection(const ViewParam* scene, float* mvp) {
  MultMatrix4x4(mvp, scene->viewMatrix, scene->projMatrix);
}

int PlateForAngle(int angle) {
  if (angle >= 24 && angle <= 72) {
    return 1;
  }
  if (angle >= 120 && angle <= 168) {
    return 0;
  }
  return -1;
}

void GetMatrix2D() {
  ViewParam* scene = pViewParam;
  const float d = static_cast<float>(scene->carLength * 0.5 + scene->topViewMargin);
  LookAt(scene->viewMatrix, 0.0f, 0.0f, d, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  PerspectiveMatrix4x4(scene->projMatrix, 90.0f, scene->topViewport[2] / scene->topViewport[3],
                       0.1f, 8000.0f);
}

void GetMatrix3D() {
  ViewParam* scene = pViewParam;
  const float a = scene->camAngle * static_cast<float>(kPi) / 180.0f;
  const float c = std::cos(a);
  const float s = std::sin(a);
  LookAt(scene->viewMatrix, scene->camDistance * c, scene->camDistance * s, scene->camHeight, 0.0f,
         0.0f, scene->camTargetHeight, 0.0f, 0.0f, 1.0f);
  PerspectiveMatrix4x4(scene->projMatrix, scene->mainFovy, scene->mainAspect, 0.1f, 40000.0f);
}

void DrawCar3D_Top() {
  ViewParam* scene = pViewParam;
  if (scene->topViewDirty != 0) {
    // Cleared before the load, which then runs once for the doors as they
    // are, whatever becomes of it.
    scene->topViewDirty = 0;
    const int texture = static_cast<int>(scene->topViewTexture);
    const int result = scene->doorSpritesAvailable == 1 && AnyDoorOpen(scene)
                           ? load_texture_doors(0, 0, texture)
                           : load_texture_top(texture);
    if (result != -1) {
      scene->topViewTexture = static_cast<uint32_t>(result);
    }
  }
  // Without the top image's geometry there is no place for the car.
  if (scene->topGeometryValid != 1) {
    return;
  }
  float quad[12];
  if (!TopSpriteQuad(scene, quad)) {
    return;
  }
  UseCarProgram(scene);
  BindCarTexture(scene, scene->topViewTexture);
  DrawCarQuad(scene, quad, 0);
}

void DrawCar3D_All() {
  const ViewParam* scene = pViewParam;
  int angle = 0;
  const bool angleValid = CurrentAngle(scene, &angle);
  DrawTirePanels();
  if (scene->carSpriteReady == 0 || !angleValid) {
    return;
  }
  float quad[12];
  if (WholeCarSpriteQuad(scene, carCordCur[angle], SpriteEdges::kWhole, quad)) {
    UseCarProgram(scene);
    // Without car sprites the binding is left as it stands: nothing of the
    // car's own is there to bind.
    if (scene->carSpritesPresent == 1) {
      BindCarTexture(scene, scene->singleTextureMode != 0 ? scene->singleTexture[0]
                                                          : scene->angleTextures[angle].texture);
    }
    DrawCarQuad(scene, quad, 1);
  }
  DrawPlateForAngle(scene, angle);
}

void DrawCar3D_Some() {
  const ViewParam* scene = pViewParam;
  int angle = 0;
  const bool angleValid = CurrentAngle(scene, &angle);
  DrawTirePanels();
  if (!angleValid) {
    return;
  }
  float quad[12];
  const int phase = scene->blinkPhase == 1 ? 1 : 0;
  const int frame = scene->wheelFrame >= 0 && scene->wheelFrame < 6 ? scene->wheelFrame : 0;
  if (WholeCarSpriteQuad(scene, carCordCur[angle], SpriteEdges::kHalfPixelFurther, quad)) {
    UseCarProgram(scene);
    BindCarTexture(scene, scene->frameTextures[phase][frame]);
    DrawCarQuad(scene, quad, 1);
  }
  DrawPlateForAngle(scene, angle);
}
