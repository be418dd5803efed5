// The command dispatch: one table of the codes the renderer understands,
// the initialisation check and the scene lock around every handler.
#include "avm/bridge/avm_jni.h"
#include "avm/bridge/command_handlers.h"
#include "avm/bridge/command_table.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"

namespace {

// The commands of the renderer by code. Codes not listed change nothing and
// return 1.
constexpr CommandEntry kCommands[] = {
    {0, CmdScreenMode, false, false},
    {1, CmdGear, false, false},
    {2, CmdSpeed, false, true},
    {3, CmdSteering, false, false},
    {4, CmdDoors, false, false},
    {5, CmdRadarPacked, false, false},
    {6, CmdLamps, false, false},
    {7, CmdViewAngle, false, false},
    {13, CmdTestPicture, true, false},
    {15, CmdPlateShown, false, false},
    {16, CmdDemo, false, false},
    {17, CmdBottomStyle, true, false},
    {18, CmdSideInset, false, false},
    {19, CmdScreenSizeCode, true, false},
    {20, CmdTopViewZoom, false, false},
    {21, CmdDisplaySwitch21, false, false},
    {22, CmdDisplaySwitch22, false, false},
    {23, CmdDisplaySwitch23, false, false},
    {24, CmdDisplaySwitch24, false, false},
    {60, CmdSaveConfiguration, false, false},
    {61, CmdFrameRate, false, false},
    {63, CmdCarBottom, false, false},
    {64, CmdLogoBrightness, false, false},
    {65, CmdRadarBytes1, false, false},
    {66, CmdRadarBytes2, false, false},
    {67, CmdTrackExtraLines, false, false},
    {68, CmdRadarInputMode, false, false},
    {69, CmdViewReset, false, false},
    {70, CmdZoom3D, false, false},
    {71, CmdAnimationQuery, false, false},
    {73, CmdSmoothRotation, false, false},
    {74, CmdAnimationNotification, false, false},
    {75, CmdTirePanelMode, false, false},
    {76, CmdDisplaySwitch76, false, false},
    {77, CmdDisplaySwitch77, false, false},
    {84, CmdVersion, false, false},
    {85, CmdFieldOfView3D, false, false},
    {88, CmdScreenSizeCodeLive, false, false},
    {89, CmdScreenSizePixels, true, false},
    {90, CmdDisplaySwitch90, false, false},
    {100, CmdOtherCarMode, false, false},
    {101, CmdLanePicture, false, false},
    {102, CmdHeadlightBeams, false, false},
    {103, CmdRoadwayPicture, false, false},
    {104, CmdBackgroundPicture, false, false},
    {105, CmdBackgroundMode, false, false},
    {106, CmdGroundShadow, false, false},
    {107, CmdBackgroundLayer, false, false},
    {108, CmdRoadwayLayer, false, false},
    {109, CmdLaneLayer, false, false},
    {110, CmdCarBrightness, false, false},
    {111, CmdSingleTextureMode, false, false},
    {112, CmdPartialWheelQuery, false, false},
};

}  // namespace

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
  // A command sent from a Java callback of a frame or of another command
  // runs inside that call's hold of the lock (the handlers only set fields
  // and flags; the frame acts on them at its next step).
  SceneLock lock;
  return entry->handler(arg);
}

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCmd(JNIEnv*, jobject, jint cmd,
                                                                 jint arg) {
  return GuardEntry("SetCmd", kEntryFailed, [cmd, arg] { return AvmSetCmd(cmd, arg); });
}
