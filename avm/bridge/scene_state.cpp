#include "avm/bridge/scene_state.h"

#include <new>

ViewParam* pViewParam = nullptr;

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

ViewParam* AllocateSceneState() {
  // Value-initialised: every field starts at zero, so fields that the
  // start-up steps never set (the logo brightness, the demo switch, ...)
  // read as zero rather than as whatever the heap held.
  ViewParam* scene = new (std::nothrow) ViewParam();
  if (scene != nullptr) {
    pViewParam = scene;
  }
  return scene;
}
