#include <GLES2/gl2.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>

#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/shader_programs.h"
#include "avm/gl/shader_sources.h"
#include "avm/include/avm_track_drawer.h"
#include "avm/track/track_tessellation.h"

// The class is published as its member list: an app that declares it from
// that list and allocates it itself gets exactly this object, so the
// constructor must write nothing beyond it.
static_assert(sizeof(TrackDrawer) == 140, "TrackDrawer keeps its published size");
static_assert(offsetof(TrackDrawer, vertexCount) == 0 && offsetof(TrackDrawer, indexCount) == 4 &&
                  offsetof(TrackDrawer, segments) == 8 && offsetof(TrackDrawer, width) == 12 &&
                  offsetof(TrackDrawer, vertexBuffers) == 16 &&
                  offsetof(TrackDrawer, indexBuffer) == 64 &&
                  offsetof(TrackDrawer, texCoordBuffer) == 68 &&
                  offsetof(TrackDrawer, texture) == 72 && offsetof(TrackDrawer, program) == 76,
              "TrackDrawer keeps its published layout: counts, buffers, texture, program");
static_assert(offsetof(TrackDrawer, positionLoc) == 80 && offsetof(TrackDrawer, texCoordLoc) == 84 &&
                  offsetof(TrackDrawer, samplerLoc) == 88 && offsetof(TrackDrawer, viewLoc) == 92 &&
                  offsetof(TrackDrawer, projLoc) == 96 &&
                  offsetof(TrackDrawer, texCoordDirty) == 100 &&
                  offsetof(TrackDrawer, indexDirty) == 101 &&
                  offsetof(TrackDrawer, geometryDirty) == 102,
              "TrackDrawer keeps its published layout: locations and flags");
static_assert(offsetof(TrackDrawer, centerX) == 108 && offsetof(TrackDrawer, centerY) == 112 &&
                  offsetof(TrackDrawer, startAngle) == 116 &&
                  offsetof(TrackDrawer, direction) == 120 && offsetof(TrackDrawer, radius) == 124 &&
                  offsetof(TrackDrawer, length) == 128 && offsetof(TrackDrawer, slot) == 132 &&
                  offsetof(TrackDrawer, extraWidth) == 136,
              "TrackDrawer keeps its published layout: the current line");

namespace {

constexpr int kLineSlots = 12;
constexpr int kFirstExtraSlot = 6;

// Which slots of each drawer hold a line that can be drawn, one bit per
// slot, kept beside the drawers since the objects have no room of their
// own. A drawer without an entry has none. Never destroyed: an app may
// destroy a drawer from its own static objects after this library's are
// gone.
struct DrawableSlots {
  std::mutex mutex;
  std::unordered_map<const TrackDrawer*, uint16_t> bits;
};

DrawableSlots& Drawable() {
  static DrawableSlots* slots = new DrawableSlots();
  return *slots;
}

bool SlotDrawable(const TrackDrawer* drawer, int32_t slot) {
  DrawableSlots& table = Drawable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const auto found = table.bits.find(drawer);
  return found != table.bits.end() && (found->second & (1u << slot)) != 0;
}

// Marking a slot undrawable never allocates.
void MarkSlot(const TrackDrawer* drawer, int32_t slot, bool drawable) {
  DrawableSlots& table = Drawable();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (drawable) {
    table.bits[drawer] = static_cast<uint16_t>(table.bits[drawer] | (1u << slot));
    return;
  }
  const auto found = table.bits.find(drawer);
  if (found == table.bits.end()) {
    return;
  }
  found->second = static_cast<uint16_t>(found->second & ~(1u << slot));
  if (found->second == 0) {
    table.bits.erase(found);
  }
}

// Also run by the constructor: an object that an app freed without its
// destructor may have left its entry at this address.
void ForgetDrawer(const TrackDrawer* drawer) {
  DrawableSlots& table = Drawable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.bits.erase(drawer);
}

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
      extraWidth(0.0f) {
  GuardEntry("TrackDrawer", [this] { ForgetDrawer(this); });
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

TrackDrawer::~TrackDrawer() {
  GuardEntry("~TrackDrawer", [this] { ForgetDrawer(this); });
  GLuint buffers[kLineSlots + 2] = {};
  for (int i = 0; i < kLineSlots; ++i) {
    buffers[i] = vertexBuffers[i];
  }
  buffers[kLineSlots] = indexBuffer;
  buffers[kLineSlots + 1] = texCoordBuffer;
  glDeleteBuffers(kLineSlots + 2, buffers);
  // A program still in use goes when the next one is taken into use.
  if (program != 0) {
    glDeleteProgram(static_cast<GLuint>(program));
  }
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
  const bool drawable = vertices != nullptr && tessellate(line, ModesOf(scene), vertices);
  // Marked before the upload: when the mark cannot be kept the slot is not
  // drawn, rather than drawn from a buffer that was never filled.
  MarkSlot(this, slot, false);
  if (drawable) {
    MarkSlot(this, slot, true);
    updateVBO(vertexBuffers[slot], static_cast<int>(kTrackFloats * sizeof(float)), vertices);
  }
  delete[] vertices;
}

void TrackDrawer::buildVertex() {
  GuardEntry("TrackDrawer::buildVertex", [this] { buildSlot(TessellateArc); });
}

void TrackDrawer::buildVertexLine() {
  GuardEntry("TrackDrawer::buildVertexLine", [this] { buildSlot(TessellateBand); });
}

void TrackDrawer::markGeometryDirty() {
  for (bool& dirty : geometryDirty) {
    dirty = true;
  }
}

void TrackDrawer::markModeCurrent() {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr) {
    return;
  }
  if (scene->trackModeA != 0) {
    geometryDirty[1] = false;
  } else if (scene->trackModeB != 0) {
    geometryDirty[2] = false;
  } else {
    geometryDirty[0] = false;
  }
}

void TrackDrawer::draw(float* view, float* proj, int straight) {
  GuardEntry("TrackDrawer::draw", [this, view, proj, straight] {
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
    if (indexCount <= 0 || program == 0 || !SlotDrawable(this, slot)) {
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
  });
}
