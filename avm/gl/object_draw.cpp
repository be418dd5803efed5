#include "avm/gl/object_draw.h"

#include <GLES2/gl2.h>

#include <cstdint>

#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/matrix_math.h"
#include "avm/mesh/objmodel.h"

namespace {

// Slot elements read by the drawing.
constexpr int kLateralOffset = 2;
constexpr int kDistance = 3;
constexpr int kFirstColour = 4;
// Objects stand this far beyond the car's length along its axis.
constexpr int64_t kDistanceMargin = 30;
// The model is drawn at this size in every axis.
constexpr float kModelScale = 0.8f;

}  // namespace

void DrawObj(int slot) {
  ViewParam* scene = pViewParam;
  if (scene == nullptr || slot < 0 || slot >= kObjectSlots) {
    return;
  }
  const Objmodel* model = scene->carObjModel;
  if (model == nullptr || model->faceCount <= 0 || model->vertices == nullptr ||
      model->faces == nullptr) {
    return;
  }
  const int32_t* object = scene->objectSlots[slot];
  const float x = static_cast<float>(object[kLateralOffset]);
  // The slot comes from Java unchecked: the sum is formed in 64 bits so that
  // no value of the slot can overflow it.
  const float z = static_cast<float>(static_cast<int64_t>(object[kDistance]) +
                                     static_cast<int64_t>(scene->carLength) + kDistanceMargin);
  float colour[4];
  for (int k = 0; k < 4; ++k) {
    colour[k] = static_cast<float>(object[kFirstColour + k] / 255.0);
  }

  float m[16];
  ViewProjection(scene, m);
  // Model y points up, the scene's z does: the rotation about x turns the
  // model's frame into the scene's, after it is moved and scaled.
  RotateMatrix4x4(m, -90.0f, 0);
  ScaleMatrix4x4(m, kModelScale, kModelScale, kModelScale);
  TranslateMatrix4x4(m, x, 0.0f, -z);

  glEnable(GL_DEPTH_TEST);
  glUseProgram(scene->objProgram);
  glUniformMatrix4fv(scene->objMatrixLoc, 1, GL_FALSE, m);
  glUniform1fv(static_cast<GLint>(scene->objColorLoc), 4, colour);
  const GLint position = scene->objPositionLoc;
  if (position >= 0) {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexAttribPointer(static_cast<GLuint>(position), 3, GL_FLOAT, GL_FALSE, 0,
                          model->vertices);
    glEnableVertexAttribArray(static_cast<GLuint>(position));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDrawElements(GL_TRIANGLES, model->faceCount * 3, GL_UNSIGNED_INT, model->faces);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (position >= 0) {
    glDisableVertexAttribArray(static_cast<GLuint>(position));
  }
  glDisable(GL_DEPTH_TEST);
}

void DrawTrack() {}
