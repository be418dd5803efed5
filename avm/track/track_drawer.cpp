#include <GLES2/gl2.h>

#include <cstdint>
#include <new>

#include "avm/bridge/avm_log.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/shader_programs.h"
#include "avm/gl/shader_sources.h"
#include "avm/include/avm_track_drawer.h"
#include "avm/track/track_tessellation.h"

namespace {

constexpr int kLineSlots = 12;
constexpr int kFirstExtraSlot = 6;

TrackSceneModes ModesOf(const ViewParam* scene) {
  TrackSceneModes modes{};
  modes.trackModeA = scene->trackModeA;
  modes.trackModeB = scene->trackModeB;
  modes.screenMode = scene->screenMode;
  modes.trackMirror = scene->trackMirror;
  modes.carLength = scene->carLength;
  modes.reverseGear = scene->reverseGear;
  return modes;
}

bool SlotInRange(int32_t slot) { return slot >= 0 && slot < kLineSlots; }

}  // namespace

TrackDrawer::TrackDrawer(float lineWidth)
    : vertexCount(kTrackVertices),
      indexCount(0),
      segments(kTrackSegments),
      width(lineWidth),
      vertexBuffers{},
      indexBuffer(0),
      texCoordBuffer(0),
      texture(0),
      program(0),
      positionLoc(-1),
      texCoordLoc(0),
      samplerLoc(0),
      viewLoc(-1),
      projLoc(-1),
      texCoordDirty(true),
      indexDirty(true),
      geometryDirty{true, true, true},
      centerX(0.0f),
      centerY(0.0f),
      startAngle(0.0f),
      direction(1.0f),
      radius(0.0f),
      length(0.0f),
      slot(0),
      extraWidth(0.0f),
      slotDrawable_{} {
  if (pViewParam != nullptr) {
    texture = static_cast<int32_t>(pViewParam->trackTexture);
  }
  // One name first, then the other thirteen in one go, as the buffers are
  // laid out: the twelve slots, the indices, the texture coordinates.
  GLuint names[kLineSlots + 2] = {};
  glGenBuffers(1, &names[0]);
  glGenBuffers(kLineSlots + 1, &names[1]);
  for (int i = 0; i < kLineSlots; ++i) {
    vertexBuffers[i] = names[i];
  }
  indexBuffer = names[kLineSlots];
  texCoordBuffer = names[kLineSlots + 1];
  initShader();
}

int TrackDrawer::initShader() {
  GLuint built = 0;
  LoadShaders2(shader_track_vert, shader_track_frag, &built);
  program = static_cast<int32_t>(built);
  if (program == 0) {
    AVM_LOGI("---------TrackDrawer:no track program, guide lines are not drawn");
    return 0;
  }
  positionLoc = glGetAttribLocation(built, "a_vPosition");
  viewLoc = glGetUniformLocation(built, "u_matView");
  projLoc = glGetUniformLocation(built, "u_matProj");
  texCoordLoc = glGetAttribLocation(built, "a_vTexCoord");
  samplerLoc = glGetUniformLocation(built, "u_sTexture");
  return 1;
}

void TrackDrawer::updateVBO(uint32_t buffer, int size, const void* data) {
  if (data == nullptr || size < 0) {
    return;
  }
  const GLenum target = buffer == indexBuffer ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
  glBindBuffer(target, buffer);
  glBufferData(target, size, data, GL_STATIC_DRAW);
  glBindBuffer(target, 0);
}

void TrackDrawer::buildIndex() {
  GLushort indices[kTrackVertices];
  for (int i = 0; i < kTrackVertices; ++i) {
    indices[i] = static_cast<GLushort>(i);
  }
  indexCount = kTrackVertices;
  updateVBO(indexBuffer, static_cast<int>(sizeof(indices)), indices);
}

void TrackDrawer::buildTextueCoord() {
  float coords[2 * kTrackVertices];
  TrackTexCoords(coords);
  updateVBO(texCoordBuffer, static_cast<int>(sizeof(coords)), coords);
}

void TrackDrawer::buildSlot(bool (*tessellate)(const TrackLineShape&, const TrackSceneModes&,
                                               float*)) {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr || !SlotInRange(slot)) {
    return;
  }
  const float bandWidth = slot >= kFirstExtraSlot ? extraWidth : width;
  const TrackLineShape line{centerX, centerY, startAngle, direction, radius, length,
                            bandWidth * 0.5f};
  // The temporary is sized for one line and given back after the upload.
  float* vertices = new (std::nothrow) float[kTrackFloats];
  if (vertices == nullptr) {
    slotDrawable_[slot] = false;
    return;
  }
  slotDrawable_[slot] = tessellate(line, ModesOf(scene), vertices);
  if (slotDrawable_[slot]) {
    updateVBO(vertexBuffers[slot], static_cast<int>(kTrackFloats * sizeof(float)), vertices);
  }
  delete[] vertices;
}

void TrackDrawer::buildVertex() { buildSlot(TessellateArc); }

void TrackDrawer::buildVertexLine() { buildSlot(TessellateBand); }

void TrackDrawer::markGeometryDirty() {
  for (bool& dirty : geometryDirty) {
    dirty = true;
  }
}

void TrackDrawer::draw(float* view, float* proj, int straight) {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr || !SlotInRange(slot)) {
    return;
  }
  if (indexDirty) {
    buildIndex();
    indexDirty = false;
  }
  const bool modeA = scene->trackModeA != 0;
  const bool modeB = scene->trackModeB != 0;
  // Every line of one operation is rebuilt: the operation clears its
  // mode's flag after its last line.
  const bool rebuild = (geometryDirty[0] && (!modeA || geometryDirty[1])) ||
                       (geometryDirty[1] && modeA) || (geometryDirty[2] && modeB);
  if (rebuild) {
    if (straight != 0) {
      buildVertexLine();
    } else {
      buildVertex();
    }
  }
  if (texCoordDirty) {
    buildTextueCoord();
    texCoordDirty = false;
  }
  if (indexCount <= 0 || !slotDrawable_[slot] || program == 0) {
    return;
  }
  // Outside mode A the caller's matrices are read: none, nothing to draw.
  if (!modeA && (view == nullptr || proj == nullptr)) {
    return;
  }
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glUseProgram(static_cast<GLuint>(program));
  // In mode A the lines are laid out in clip coordinates already.
  const float* viewMatrix = modeA ? GetIdentityMatrix4x4() : view;
  const float* projMatrix = modeA ? GetIdentityMatrix4x4() : proj;
  glUniformMatrix4fv(viewLoc, 1, GL_FALSE, viewMatrix);
  glUniformMatrix4fv(projLoc, 1, GL_FALSE, projMatrix);
  if (positionLoc >= 0) {
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffers[slot]);
    glVertexAttribPointer(static_cast<GLuint>(positionLoc), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(static_cast<GLuint>(positionLoc));
  }
  if (texCoordLoc >= 0) {
    glBindBuffer(GL_ARRAY_BUFFER, texCoordBuffer);
    glVertexAttribPointer(static_cast<GLuint>(texCoordLoc), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(static_cast<GLuint>(texCoordLoc));
  }
  GLuint lineTexture = static_cast<GLuint>(texture);
  if (slot >= kFirstExtraSlot) {
    lineTexture = scene->trackExtraLines == 1 ? scene->trackExtraTextureA : scene->trackExtraTextureB;
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, lineTexture);
  glUniform1i(samplerLoc, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  // The index buffer holds one line's indices: never ask for more.
  const GLsizei drawn = indexCount > kTrackVertices ? kTrackVertices : indexCount;
  glDrawElements(GL_TRIANGLE_STRIP, drawn, GL_UNSIGNED_SHORT, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (positionLoc >= 0) {
    glDisableVertexAttribArray(static_cast<GLuint>(positionLoc));
  }
  if (texCoordLoc >= 0) {
    glDisableVertexAttribArray(static_cast<GLuint>(texCoordLoc));
  }
}
