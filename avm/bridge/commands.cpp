#include <mutex>

#include "avm/bridge/avm_jni.h"
#include "avm/bridge/command_table.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/screen_layout.h"

namespace {

bool Initialised() { return gBridge.initialised.load(std::memory_order_acquire) == 1; }

// 0: screen mode. Leaving the 3D view stops its pacing until the frame loop
// sets it again.
int CmdScreenMode(int32_t arg) {
  ViewParam* scene = pViewParam;
  scene->carViewActive = 0;
  scene->screenMode = arg;
  if (scene->smoothRotation == 1) {
    scene->frameRate = (arg == 5 || arg == 15) ? 24 : 60;
  }
  return 1;
}

// 2: speed. Lock-free: the frame reads the value once per frame.
int CmdSpeed(int32_t arg) {
  pViewParam->vehicleSpeed.store(arg, std::memory_order_relaxed);
  return 1;
}

// 13: test picture, taken at initialisation.
int CmdTestPicture(int32_t arg) {
  gBridge.testPicture = arg == 1 ? 1 : 0;
  return 1;
}

// 17: bottom style 1..4, taken at initialisation.
int CmdBottomStyle(int32_t arg) {
  if (static_cast<uint32_t>(arg) - 1u < 4u) {
    gStartupBottomStyle = arg;
  }
  return 1;
}

// 19: screen size code, taken at initialisation. Codes outside the size
// table keep the code and give 1024 x 600.
int CmdScreenSizeCode(int32_t arg) {
  gBridge.layoutCode = arg;
  int32_t width = 1024;
  int32_t height = 600;
  ScreenSizeOfLayoutCode(arg, &width, &height);
  gStartupScreenWidth = width;
  gStartupScreenHeight = height;
  return 1;
}

// 84: version.
int CmdVersion(int32_t) { return kAvmVersionTimes100; }

// 89: screen size in pixels, width x 65536 + height. Before initialisation
// it sets the start-up size, after it the live layout.
int CmdScreenSizePixels(int32_t arg) {
  const int32_t width = static_cast<int32_t>(static_cast<uint32_t>(arg) >> 16);
  const int32_t height = arg & 0xFFFF;
  if (width <= 10 || height <= 10) {
    return 0;
  }
  if (Initialised()) {
    ViewParam* scene = pViewParam;
    scene->screenWidth = width;
    scene->screenHeight = height;
    scene->screenIndex = AvmGetScreenIndex(width, height);
    AvmSetScreen();
  } else {
    gStartupScreenWidth = width;
    gStartupScreenHeight = height;
    gBridge.layoutCode = AvmGetScreenIndex(width, height);
  }
  return 1;
}

// The commands of the renderer by code. The remaining codes of the command
// set slot in here, each with its handler.
constexpr CommandEntry kCommands[] = {
    {0, CmdScreenMode, false, false},
    {2, CmdSpeed, false, true},
    {13, CmdTestPicture, true, false},
    {17, CmdBottomStyle, true, false},
    {19, CmdScreenSizeCode, true, false},
    {84, CmdVersion, false, false},
    {89, CmdScreenSizePixels, true, false},
};

struct LayoutSize {
  int32_t code;
  int32_t width;
  int32_t height;
};

constexpr LayoutSize kLayoutSizes[] = {
    {0, 1024, 600},   {1, 1280, 720},   {2, 1280, 480},   {3, 1280, 800},   {4, 1920, 720},
    {5, 1920, 860},   {6, 1920, 1080},  {7, 2000, 1200},  {8, 1600, 720},   {9, 1920, 1200},
    {15, 1000, 600},  {16, 1024, 458},  {17, 960, 600},   {18, 1024, 576},  {19, 1024, 384},
    {20, 768, 1024},  {21, 800, 1280},  {22, 1080, 1920}, {23, 960, 1280},  {24, 768, 720},
    {25, 768, 880},   {26, 800, 1100},  {27, 1080, 1650}, {33, 436, 600},   {34, 375, 600},
    {35, 337, 600},   {36, 640, 600},   {37, 392, 600},   {38, 523, 600},   {39, 450, 600},
};

}  // namespace

bool ScreenSizeOfLayoutCode(int32_t code, int32_t* width, int32_t* height) {
  for (const LayoutSize& size : kLayoutSizes) {
    if (size.code == code) {
      *width = size.width;
      *height = size.height;
      return true;
    }
  }
  return false;
}

const CommandEntry* FindCommand(int32_t code) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.code == code) {
      return &entry;
    }
  }
  return nullptr;
}

int AvmSetCmd(int32_t cmd, int32_t arg) {
  const CommandEntry* entry = FindCommand(cmd);
  const bool startup = entry != nullptr && entry->startup;
  if (!Initialised() && !startup) {
    return kNotInitialised;
  }
  if (entry == nullptr) {
    return 1;
  }
  if (entry->lockFree) {
    return entry->handler(arg);
  }
  std::lock_guard<std::mutex> lock(gBridge.sceneMutex);
  return entry->handler(arg);
}

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCmd(JNIEnv*, jobject, jint cmd,
                                                                 jint arg) {
  return AvmSetCmd(cmd, arg);
}
