#include "avm/bridge/java_callbacks.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/scene_layers.h"

void DrawLogo() {
  ViewParam* scene = pViewParam;
  if (scene->logoLoaded == 0) {
    LoadTextureFunc("common/logo.png", static_cast<int>(scene->logoTexture), 2);
    // Marked even when the load failed: a missing logo is not retried
    // every frame.
    scene->logoLoaded = 1;
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene->logoTexture);
  glUseProgram(scene->pictureProgram);
  glUniform1i(scene->picturePictureFlagLoc, scene->testPictureMode);
  glUniform1f(scene->pictureLumaAllLoc, scene->logoLuma);
  glUniform1i(scene->pictureSamplerLoc, 0);
  glUniformMatrix4fv(scene->pictureMatProjLoc, 1, GL_FALSE, GetIdentityMatrix4x4());
  // The blend state is left as the previous layer set it.
  DrawQuadStrip(scene->picturePositionLoc, kFullScreenQuad, scene->pictureTexCoordLoc,
                kSpriteTexCoords);
  glUseProgram(0);
}
