// The start-up commands: given before initialisation they set what
// initialisation takes over; 89 given afterwards changes the live layout.
#include "avm/bridge/command_handlers.h"
#include "avm/bridge/command_table.h"
#include "avm/bridge/layout_sizes.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/screen_layout.h"

// 13: test picture, taken at initialisation.
int CmdTestPicture(int32_t arg) {
  gBridge.testPicture = arg == 1 ? 1 : 0;
  return 1;
}

// 17: bottom style 1..4, taken at initialisation.
int CmdBottomStyle(int32_t arg) {
  if (ArgInRange(arg, 1, 4)) {
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
