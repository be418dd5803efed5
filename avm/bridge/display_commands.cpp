// Display settings: layer pictures and switches, brightness, frame rate and
// the stored switches that nothing draws with.
#include "avm/bridge/command_handlers.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/frame_loop.h"

namespace {

// A plain 0-or-1 setting.
int StoreSwitch(int32_t ViewParam::*field, int32_t arg) {
  if (ArgInRange(arg, 0, 1)) {
    pViewParam->*field = arg;
  }
  return 1;
}

// A picture number in low..high; the layer picture reloads at the next frame.
int StorePicture(int32_t ViewParam::*index, int32_t ViewParam::*loaded, int32_t arg,
                 uint32_t high) {
  if (ArgInRange(arg, 0, high)) {
    pViewParam->*index = arg;
    pViewParam->*loaded = 0;
  }
  return 1;
}

// A value taken as it comes.
int StoreAny(int32_t ViewParam::*field, int32_t arg) {
  pViewParam->*field = arg;
  return 1;
}

}  // namespace

// 15: number plate shown (non-zero), regenerated picture reloaded.
int CmdPlateShown(int32_t arg) {
  ViewParam* scene = pViewParam;
  scene->plateShown = arg;
  if (arg != 0) {
    scene->plateReload = 1;
  }
  return 1;
}

int CmdDemo(int32_t arg) { return StoreAny(&ViewParam::demoMode, arg); }

int CmdDisplaySwitch21(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch21, arg); }
int CmdDisplaySwitch22(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch22, arg); }
int CmdDisplaySwitch23(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch23, arg); }
int CmdDisplaySwitch24(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch24, arg); }
int CmdDisplaySwitch76(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch76, arg); }
int CmdDisplaySwitch77(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch77, arg); }
int CmdDisplaySwitch90(int32_t arg) { return StoreSwitch(&ViewParam::displaySwitch90, arg); }

// 61: frame rate of the paced 3D view; the draw method copes with rates
// that give no period.
int CmdFrameRate(int32_t arg) { return StoreAny(&ViewParam::frameRate, arg); }

// 63: car bottom picture common/car_bottom<N>.png, N = 1..3; 1 and 2 are
// reloaded at the next frame.
int CmdCarBottom(int32_t arg) {
  if (!ArgInRange(arg, 1, 3)) {
    return 1;
  }
  ViewParam* scene = pViewParam;
  gStartupCarBottom = arg;
  scene->carBottomIndex = arg;
  if (arg == 1 || arg == 2) {
    scene->carBottomReload = 1;
  }
  return 1;
}

// 64: logo brightness 1..99, 50 = unchanged.
int CmdLogoBrightness(int32_t arg) {
  if (ArgInRange(arg, 1, 99)) {
    pViewParam->logoLuma = static_cast<float>(((arg - 50) * 0.5) / 100.0);
  }
  return 1;
}

int CmdTrackExtraLines(int32_t arg) {
  if (ArgInRange(arg, 0, 2)) {
    pViewParam->trackExtraLines = arg;
  }
  return 1;
}

int CmdTirePanelMode(int32_t arg) { return StoreSwitch(&ViewParam::tirePanelMode, arg); }

int CmdOtherCarMode(int32_t arg) {
  if (ArgInRange(arg, 0, 5)) {
    pViewParam->aiCarMode = arg;
  }
  return 1;
}

int CmdLanePicture(int32_t arg) {
  return StorePicture(&ViewParam::laneIndex, &ViewParam::laneLoaded, arg, 7);
}

// 102: headlight beams; the state images show them.
int CmdHeadlightBeams(int32_t arg) {
  if (ArgInRange(arg, 0, 1)) {
    ViewParam* scene = pViewParam;
    scene->volumeLightOn = arg;
    DropStateImages(scene);
  }
  return 1;
}

int CmdRoadwayPicture(int32_t arg) {
  return StorePicture(&ViewParam::roadwayIndex, &ViewParam::roadwayLoaded, arg, 2);
}

int CmdBackgroundPicture(int32_t arg) {
  return StorePicture(&ViewParam::backgroundIndex, &ViewParam::backgroundLoaded, arg, 4);
}

int CmdBackgroundMode(int32_t arg) { return StoreAny(&ViewParam::backgroundMode, arg); }
int CmdGroundShadow(int32_t arg) { return StoreAny(&ViewParam::bottomShadowOn, arg); }
int CmdBackgroundLayer(int32_t arg) { return StoreAny(&ViewParam::backgroundOn, arg); }
int CmdRoadwayLayer(int32_t arg) { return StoreAny(&ViewParam::roadwayOn, arg); }
int CmdLaneLayer(int32_t arg) { return StoreAny(&ViewParam::laneOn, arg); }

// 110: car brightness in percent.
int CmdCarBrightness(int32_t arg) {
  if (ArgInRange(arg, 0, 100)) {
    pViewParam->carBrightness = static_cast<float>(arg) / 100.0f;
  }
  return 1;
}

int CmdSingleTextureMode(int32_t arg) { return StoreSwitch(&ViewParam::singleTextureMode, arg); }

// 112: whether the car has the wheel images of the partial views.
int CmdPartialWheelQuery(int32_t) { return pViewParam->partialWheelSpritesPresent; }
