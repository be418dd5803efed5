#include "avm/bridge/scene_state.h"

#include <new>
#include <vector>

ViewParam* pViewParam = nullptr;
std::atomic<ViewParam*> gPublishedScene{nullptr};

BridgeRecord gBridge{};

JavaVM* gVmHandle = nullptr;
uint32_t nowTime = 0;
uint32_t preTime = 0;
uint32_t nowTime2 = 0;

int32_t gStartupCarBottom = 1;
int32_t gStartupBottomStyle = 1;
int32_t gStartupScreenWidth = 1024;
int32_t gStartupScreenHeight = 600;
float gDemoSteerStep = 1.0f;
int32_t gDemoDirection = 1;

namespace {

// Records replaced by a later initialisation. They are never freed (a
// command or frame on another thread may still hold one) and stay listed
// here so that they remain reachable for the life of the process.
std::vector<ViewParam*>& RetiredScenes() {
  static std::vector<ViewParam*>* retired = new std::vector<ViewParam*>();
  return *retired;
}

}  // namespace

ViewParam* AllocateSceneState() {
  // Value-initialised: every field starts at zero, so fields that the
  // start-up steps never set (the logo brightness, the demo switch, ...)
  // read as zero rather than as whatever the heap held.
  ViewParam* scene = new (std::nothrow) ViewParam();
  if (scene != nullptr) {
    if (pViewParam != nullptr) {
      RetiredScenes().push_back(pViewParam);
    }
    pViewParam = scene;
  }
  return scene;
}
