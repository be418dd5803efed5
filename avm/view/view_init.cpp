#include "avm/view/view_init.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/common/regular_file.h"
#include "avm/gl/shader_programs.h"
#include "avm/view/screen_layout.h"

namespace {

constexpr float kDefaultTopViewMargin = 220.0f;
constexpr float kDefaultViewFovy = 60.0f;
// viewFovy of a file too short to hold it.
constexpr float kFallbackViewFovy = 53.0f;
constexpr float kDefaultLayoutRects[4][4] = {
    {0.15f, 0.05f, 0.7f, 0.9f},
    {0.15f, 0.05f, 0.7f, 0.9f},
    {0.45f, 0.2f, 0.5f, 0.78f},
    {0.05f, 0.2f, 0.5f, 0.78f},
};
// The ranges the zoom commands keep these two in; a saved file never holds
// anything else unless it is damaged.
constexpr float kMinTopViewMargin = 150.0f;
constexpr float kMaxTopViewMargin = 350.0f;
constexpr float kMinViewFovy = 51.0f;
constexpr float kMaxViewFovy = 60.0f;

void SetVehicleStartValues(ViewParam* scene, int width, int height) {
  scene->carWidth = 190;
  scene->carLength = 523;
  scene->steerAngle = 0.0;
  scene->reverseGear = 0;
  scene->vehicleSpeed.store(0, std::memory_order_relaxed);
  std::memset(scene->doorOpen, 0, sizeof(scene->doorOpen));
  scene->topViewDirty = 1;
  std::memset(scene->radarGroup1, 0, sizeof(scene->radarGroup1));
  std::memset(scene->radarGroup2, 0, sizeof(scene->radarGroup2));
  scene->carNumber = 1;
  scene->colorNumber = 2;
  scene->lampState = -1;
  scene->trackModeA = 0;
  scene->trackModeB = 0;

  scene->camHeight = 230.0f;
  scene->camDistance = 510.0f;
  scene->camTargetHeight = 75.0f;
  scene->camFourthValue = 15.0f;
  scene->camAngle = 0.0f;
  scene->spriteAngle = 72;
  scene->spriteAngleTarget = 0;
  scene->singleTextureAngle = -1;
  scene->angleStep = 1;

  scene->backgroundOn = 1;
  scene->roadwayOn = 1;
  scene->laneOn = 1;
  scene->bottomShadowOn = 0;
  scene->backgroundIndex = 1;
  scene->roadwayIndex = 1;
  scene->laneIndex = 0;
  // Not loaded: the first frame loads the three layer pictures.
  scene->backgroundLoaded = 0;
  scene->roadwayLoaded = 0;
  scene->laneLoaded = 0;
  scene->aiCarMode = 1;
  scene->trackMirror = 1;
  scene->carBrightness = 1.0f;
  scene->frameRate = 50;
  scene->carBottomIndex = 1;
  scene->smoothRotation = 0;
  scene->rotationShow = 0;
  scene->rotationReverseSeen = 0;
  scene->animationNotify = 0;
  scene->demoMode = 0;
  scene->plateShown = 0;
  scene->numberedCarLayout = 0;
  scene->sideViewInset = 0;
  scene->radarInputMode = 0;
  scene->trackExtraLines = 0;
  scene->singleTextureMode = 0;
  scene->partialWheelSpritesPresent = 0;
  scene->carSpritesPresent = 0;
  scene->carResetPending = 0;
  scene->volumeLightOn = 0;
  scene->volumeLightLoaded = 0;
  scene->aiCarLoaded = 0;
  scene->backgroundMode = 0;
  scene->tirePanelMode = 0;
  for (int i = 0; i < 4; ++i) {
    scene->tirePressure[i] = -1;
    scene->tireTemperature[i] = 100;
    scene->tirePressureAlarm[i] = 0;
    scene->tireLeak[i] = 0;
    scene->tireTempAlarm[i] = 0;
    scene->tireBatteryLow[i] = 0;
  }
  scene->pressureUnit = 0;
  scene->temperatureUnit = 0;
  scene->tirePanelStyle = 0;
  std::memset(scene->objectSlots, 0, sizeof(scene->objectSlots));
  scene->carObjModel = nullptr;
  scene->guideTrack = nullptr;
  scene->screenWidth = width;
  scene->screenHeight = height;
}

void SetLayoutParameterDefaults(ViewParam* scene) {
  const int32_t* row = LayoutRow(scene->screenIndex);
  scene->lrOffset[0] = row[0];
  scene->lrOffset[1] = row[1];
  scene->lrParamCommon = 70.0f;
  scene->lrParamsLeft[0] = 87.0f;
  scene->lrParamsLeft[1] = 0.0f;
  scene->lrParamsLeft[2] = 20.0f;
  scene->lrParamsRight[0] = 87.0f;
  scene->lrParamsRight[1] = 0.0f;
  scene->lrParamsRight[2] = 30.0f;
}

// Reads consecutive 32-bit fields. Once one read fails (end of file or a
// stream error) every later one fails too, as the file format has no way to
// skip a field.
class ConfigReader {
 public:
  explicit ConfigReader(FILE* file) : file_(file) {}

  bool Read(void* field) {
    if (failed_ || std::fread(field, 4, 1, file_) != 1) {
      failed_ = true;
      return false;
    }
    return true;
  }

 private:
  FILE* file_;
  bool failed_ = false;
};

// A float field: the value read when it is a finite number inside
// [low, high], else the fallback. Reports a damaged value.
void ReadFloat(ConfigReader& reader, float* field, float fallback, float low, float high,
               const char* name) {
  float value = 0.0f;
  if (!reader.Read(&value)) {
    *field = fallback;
    return;
  }
  if (!std::isfinite(value) || value < low || value > high) {
    AVM_LOGI("---------config.bin,%s damaged:%f", name, static_cast<double>(value));
    *field = fallback;
    return;
  }
  *field = value;
}

void UseConfigDefaults(ViewParam* scene) {
  scene->topViewMargin = kDefaultTopViewMargin;
  scene->viewFovy = kDefaultViewFovy;
  std::memcpy(scene->layoutRects, kDefaultLayoutRects, sizeof(scene->layoutRects));
}

}  // namespace

void AvmReadConfig() {
  ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  FILE* file = nullptr;
  if (FormatPath(path, sizeof(path), "%s%s", scene->assetRoot, kConfigFileName)) {
    file = OpenRegularFile(path);
  }
  // A missing file is normal; one that exists but cannot be opened, or is
  // not a plain file (a directory, or a pipe that would block the start-up),
  // is treated the same way. A plain file too short for a field gives that
  // field its fallback, from the first byte on.
  if (file == nullptr) {
    UseConfigDefaults(scene);
    return;
  }
  constexpr float kAnyFloat = 3.0e38f;
  ConfigReader reader(file);
  for (int rect = 0; rect < 4; ++rect) {
    for (int value = 0; value < 4; ++value) {
      ReadFloat(reader, &scene->layoutRects[rect][value], kDefaultLayoutRects[rect][value],
                -kAnyFloat, kAnyFloat, "layoutRects");
    }
  }
  ReadFloat(reader, &scene->topViewMargin, kDefaultTopViewMargin, kMinTopViewMargin,
            kMaxTopViewMargin, "topViewMargin");
  ReadFloat(reader, &scene->viewFovy, kFallbackViewFovy, kMinViewFovy, kMaxViewFovy, "viewFovy");
  const int32_t* row = LayoutRow(scene->screenIndex);
  for (int i = 0; i < 2; ++i) {
    int32_t offset = 0;
    scene->lrOffset[i] = reader.Read(&offset) ? offset : row[i];
  }
  ReadFloat(reader, &scene->lrParamCommon, 70.0f, -kAnyFloat, kAnyFloat, "lrParamCommon");
  const float leftFallback[3] = {87.0f, 0.0f, 20.0f};
  const float rightFallback[3] = {87.0f, 0.0f, 30.0f};
  for (int i = 0; i < 3; ++i) {
    ReadFloat(reader, &scene->lrParamsLeft[i], leftFallback[i], -kAnyFloat, kAnyFloat,
              "lrParamsLeft");
  }
  for (int i = 0; i < 3; ++i) {
    ReadFloat(reader, &scene->lrParamsRight[i], rightFallback[i], -kAnyFloat, kAnyFloat,
              "lrParamsRight");
  }
  std::fclose(file);
}

void AvmInit(int width, int height, int, int) {
  ViewParam* scene = pViewParam;
  SetVehicleStartValues(scene, width, height);
  SetLayoutParameterDefaults(scene);
  AvmInitialScreenLayout();
  AvmReadConfig();

  const double distance = scene->carLength * 0.5 + scene->topViewMargin;
  scene->topViewSideMargin = static_cast<float>(
      distance * (scene->topViewport[2] / scene->topViewport[3]) - scene->carWidth * 0.5);
  scene->topScale[0] = 1.0f;
  scene->topScale[1] = 1.0f;
  scene->topScale[2] = 1.0f;
  scene->topCarScaleX = 1.0f;
  scene->topCarScaleY = 1.0f;

  scene->viewFovyCurrent = scene->viewFovy;
  scene->mainFovy = 60.0f;
  scene->shadowLuma = 0.5f;
  scene->screenMode = 0;
  scene->sideAspect = scene->sideViewport[2] / scene->sideViewport[3];
  scene->mainAspect = scene->mainViewport[2] / scene->mainViewport[3];

  BuildScenePrograms();
}
