#include "avm/gl/quad_draw.h"

#include "avm/bridge/scene_state.h"

const GLushort kQuadIndices[4] = {0, 1, 2, 3};

const float kFullScreenQuad[12] = {
    -1.0f, -1.0f, 0.0f,  //
    -1.0f, 1.0f,  0.0f,  //
    1.0f,  -1.0f, 0.0f,  //
    1.0f,  1.0f,  0.0f,
};

const float kSpriteTexCoords[8] = {0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f};

const float kPlainTexCoords[8] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};

namespace {

void EnableSourceAlphaBlending() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace

void DrawQuadStrip(GLint positionLoc, const float* positions, GLint texcoordLoc,
                   const float* texcoords) {
  // Vertex data comes from client memory: no buffer object may be bound.
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (positionLoc >= 0) {
    glVertexAttribPointer(static_cast<GLuint>(positionLoc), 3, GL_FLOAT, GL_FALSE, 0, positions);
    glEnableVertexAttribArray(static_cast<GLuint>(positionLoc));
  }
  if (texcoordLoc >= 0 && texcoords != nullptr) {
    glVertexAttribPointer(static_cast<GLuint>(texcoordLoc), 2, GL_FLOAT, GL_FALSE, 0, texcoords);
    glEnableVertexAttribArray(static_cast<GLuint>(texcoordLoc));
  }
  glDrawElements(GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_SHORT, kQuadIndices);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (positionLoc >= 0) {
    glDisableVertexAttribArray(static_cast<GLuint>(positionLoc));
  }
  if (texcoordLoc >= 0 && texcoords != nullptr) {
    glDisableVertexAttribArray(static_cast<GLuint>(texcoordLoc));
  }
}

void DrawPicture(GLuint texture, const float* mvp, const float* positions, const float* texcoords) {
  const ViewParam* scene = pViewParam;
  EnableSourceAlphaBlending();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glUseProgram(scene->pictureProgram);
  glUniform1i(scene->picturePictureFlagLoc, 1);
  glUniform1f(scene->pictureLumaAllLoc, 0.0f);
  glUniform1i(scene->pictureSamplerLoc, 0);
  glUniformMatrix4fv(scene->pictureMatProjLoc, 1, GL_FALSE, mvp);
  DrawQuadStrip(scene->picturePositionLoc, positions, scene->pictureTexCoordLoc, texcoords);
}

void DrawColor(float luma, const float* mvp, const float* positions) {
  const ViewParam* scene = pViewParam;
  EnableSourceAlphaBlending();
  glUseProgram(scene->colorProgram);
  glUniform1f(scene->colorLumaLoc, luma);
  glUniformMatrix4fv(scene->colorMatProjLoc, 1, GL_FALSE, mvp);
  DrawQuadStrip(scene->colorPositionLoc, positions, -1, nullptr);
}
