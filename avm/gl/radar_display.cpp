#include "avm/gl/radar_display.h"

#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/radar_geometry.h"

namespace {

constexpr int kRadarTextureCount = 9;
// Image row 0 at the inner end of every quad of the strip order.
const float kRadarTexCoords[8] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};

RadarBlink gStaticBlink;
RadarBlink gDistanceBlink;

void DrawQuads(const ViewParam* scene, const RadarQuad* quads, int count) {
  float mvp[16];
  ViewProjection(scene, mvp);
  for (int q = 0; q < count; ++q) {
    DrawPicture(quads[q].texture, mvp, quads[q].positions, kRadarTexCoords);
  }
}

void DrawLevels(const ViewParam* scene) {
  RadarQuad quads[kRadarSensors];
  DrawQuads(scene, quads, BuildRadarLevelQuads(scene, quads));
}

void DrawWalls(const ViewParam* scene) {
  RadarQuad quads[kRadarSensors];
  DrawQuads(scene, quads, BuildRadarWallQuads(scene, quads));
}

}  // namespace

void DrawRadarStaticLocked() {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr || !RadarBlinkStep(&gStaticBlink)) {
    return;
  }
  // In distance mode the values are centimetres (255: nothing near), not
  // levels: none of them is a level segment.
  if (scene->radarInputMode == 1) {
    return;
  }
  DrawLevels(scene);
}

void DrawRadarLocked() {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr || !RadarBlinkStep(&gDistanceBlink)) {
    return;
  }
  if (scene->radarInputMode == 0) {
    DrawLevels(scene);
  } else if (scene->radarInputMode == 1) {
    DrawWalls(scene);
  }
}

extern "C" void DrawRadarStatic(void) {
  if (!Initialised()) {
    return;
  }
  GuardEntry("DrawRadarStatic", [] {
    SceneLock lock;
    DrawRadarStaticLocked();
  });
}

extern "C" void DrawRadar(void) {
  if (!Initialised()) {
    return;
  }
  GuardEntry("DrawRadar", [] {
    SceneLock lock;
    DrawRadarLocked();
  });
}

extern "C" int AvmSetRadarTextures(const uint32_t* names, int count) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  if (names == nullptr || count != kRadarTextureCount) {
    AVM_LOGI("---------SetRadarTextures:%d textures refused,%d expected", count,
             kRadarTextureCount);
    return 0;
  }
  return GuardEntry("AvmSetRadarTextures", kEntryFailed, [names] {
    SceneLock lock;
    for (int i = 0; i < kRadarTextureCount; ++i) {
      pViewParam->radarTextures[i] = names[i];
    }
    return 1;
  });
}
