#include <GLES2/gl2.h>

#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/scene_layers.h"
#include "avm/gl/sprite_quad.h"
#include "avm/sprites/whole_car_sprites.h"

namespace {

// load_textureIndex types of the car's extra pictures.
constexpr int kPictureLight2 = 0;
constexpr int kPictureWarning2 = 1;
constexpr int kPictureLight1 = 2;

}  // namespace

void DrawAiCar() {
  ViewParam* scene = pViewParam;
  float quad[12];
  // A damaged camera table gives no frame to draw into.
  if (!RenderCameraFrameQuad(scene, quad)) {
    return;
  }
  // Marked before the load: a picture that cannot be loaded is not tried
  // again every frame.
  if (scene->aiCarLoaded == 0) {
    scene->aiCarLoaded = 1;
    load_textureIndex(static_cast<int>(scene->aiCarTexture), kPictureWarning2);
  }
  DrawPicture(scene->aiCarTexture, GetIdentityMatrix4x4(), quad, kPlainTexCoords);
}

void DrawVoumeLight() {
  ViewParam* scene = pViewParam;
  // The beams seen from the front-left belong to the partial-view sprites.
  if (scene->spriteAngle == 72 && scene->partialWheelSpritesPresent == 0) {
    return;
  }
  float quad[12];
  if (!RenderCameraFrameQuad(scene, quad)) {
    return;
  }
  if (scene->volumeLightLoaded == 0) {
    scene->volumeLightLoaded = 1;
    if (scene->spriteAngle == 144) {
      load_textureIndex(static_cast<int>(scene->volumeLightTexture), kPictureLight2);
    } else if (scene->spriteAngle == 72) {
      load_textureIndex(static_cast<int>(scene->volumeLightTexture), kPictureLight1);
    }
  }
  DrawPicture(scene->volumeLightTexture, GetIdentityMatrix4x4(), quad, kPlainTexCoords);
}

void DrawLine() {
  const ViewParam* scene = pViewParam;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glUseProgram(scene->carProgram);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene->lineTexture);
  glUniform1i(scene->carTextureLoc, 0);
  glUniform1i(scene->carPkmFlagLoc, 0);
  glUniformMatrix4fv(scene->carMatrixLoc, 1, GL_FALSE, GetIdentityMatrix4x4());
  glUniform1i(scene->carAlphaFlagLoc, 0);
  DrawQuadStrip(scene->carPositionLoc, kFullScreenQuad, scene->carCoordLoc, kSpriteTexCoords);
}
