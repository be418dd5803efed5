// How the app hands its guide track and the pictures of the lines to the
// renderer, and takes the matrices of the frame to draw them with. All run
// on any thread, under the scene lock.
#include <cstring>

#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/include/avm_track.h"

extern "C" int AvmAttachGuideTrack(AvmTrack* track) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  return GuardEntry("AvmAttachGuideTrack", kEntryFailed, [track] {
    SceneLock lock;
    pViewParam->guideTrack = track;
    if (track != nullptr && track->drawer != nullptr) {
      // Whatever it drew before was laid out without the renderer's word on
      // the steering since.
      track->drawer->markGeometryDirty();
    }
    return 1;
  });
}

extern "C" int AvmSetTrackTextures(uint32_t main, uint32_t extraA, uint32_t extraB) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  return GuardEntry("AvmSetTrackTextures", kEntryFailed, [main, extraA, extraB] {
    SceneLock lock;
    ViewParam* scene = pViewParam;
    scene->trackTexture = main;
    scene->trackExtraTextureA = extraA;
    scene->trackExtraTextureB = extraB;
    AvmTrack* attached = scene->guideTrack;
    if (attached != nullptr && attached->drawer != nullptr) {
      attached->drawer->texture = static_cast<int32_t>(main);
    }
    return 1;
  });
}

extern "C" int AvmGetFrameMatrices(float* view, float* proj) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  if (view == nullptr || proj == nullptr) {
    return 0;
  }
  return GuardEntry("AvmGetFrameMatrices", kEntryFailed, [view, proj] {
    SceneLock lock;
    std::memcpy(view, pViewParam->viewMatrix, sizeof(pViewParam->viewMatrix));
    std::memcpy(proj, pViewParam->projMatrix, sizeof(pViewParam->projMatrix));
    return 1;
  });
}
