#include "avm/gl/tire_plate_display.h"

#include <cstdint>

#include "avm/bridge/java_callbacks.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/include/avm_image_tools.h"
#include "avm/view/car_params.h"

namespace {

constexpr int kTires = 4;
constexpr uint32_t kNoReading = 1000;  // pressures from here up are no reading

// Billboard sizes for one tyre, by the side the camera looks from.
struct BillboardSizes {
  float panelWidth;
  float panelHeight;
  float reducedPanelHeight;  // the pressure line only
  float iconSide;
};

constexpr BillboardSizes kNearSide = {88.0f, 56.0f, 28.0f, 44.0f};
constexpr BillboardSizes kFarSide = {66.0f, 42.0f, 21.0f, 33.0f};

// Seen from angles 1..95 the images would read backwards: their texture
// coordinates run right to left there.
const float kUprightTexCoords[8] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};
const float kMirroredTexCoords[8] = {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

bool LooksFromAnglesOneToNinetyFive(int32_t spriteAngle) {
  return spriteAngle >= 1 && spriteAngle <= 95;
}

// Tyres 0 and 2 (the axle at carTiresParamsCur[1]) get the large
// billboards at angle 0 and 96..191, tyres 1 and 3 at 1..95.
const BillboardSizes& SizesFor(int tyre, int32_t spriteAngle) {
  const bool firstAxle = tyre == 0 || tyre == 2;
  return firstAxle != LooksFromAnglesOneToNinetyFive(spriteAngle) ? kNearSide : kFarSide;
}

// An upright rectangle standing on the ground 5 units out from the tyre's
// outer face, parallel to the car's side; slot 1 lies further out than 0.
void BillboardQuad(int tyre, int slot, float width, float height, float quad[12]) {
  const double lateral = carTiresParamsCur[0];
  const double tyreWidth = carTiresParamsCur[3];
  double outer = 0.0;
  if (tyre == 0 || tyre == 1) {
    outer = (-lateral - static_cast<double>(width) * (slot + 1)) - tyreWidth * 0.5 - 5.0;
  } else {
    outer = lateral + tyreWidth * 0.5 + 5.0 + static_cast<double>(width) * slot;
  }
  const float xa = static_cast<float>(outer);
  const float xb = static_cast<float>(static_cast<double>(xa) + width);
  const float y = (tyre == 0 || tyre == 2) ? carTiresParamsCur[1] : carTiresParamsCur[2];
  const float vertices[12] = {xa, y, height, xa, y, 0.0f, xb, y, height, xb, y, 0.0f};
  for (int i = 0; i < 12; ++i) {
    quad[i] = vertices[i];
  }
}

// Composes the tyre's panel into pressure.png and loads it into the tyre's
// texture, or marks it as failed.
void RefreshPanel(ViewParam* scene, int tyre) {
  scene->tirePanelReady[tyre] = kTirePanelFailed;
  const int32_t status = scene->tireLeak[tyre] == 1 ? 3 : scene->tirePressureAlarm[tyre];
  const int32_t made = genTirePressure(
      scene->tirePressure[tyre], scene->tirePressureAlarm[tyre], scene->tireTemperature[tyre],
      scene->tireTempAlarm[tyre], status, scene->pressureUnit, scene->temperatureUnit,
      scene->tirePanelStyle);
  if (made == -1) {
    return;
  }
  char path[kPathBufferSize];
  if (!FormatPath(path, sizeof(path), "%s/common/pressure/pressure.png", scene->assetRoot)) {
    return;
  }
  // Marked before the call into Java: readings that arrive from inside it
  // make the panel stale again, and must stay so.
  scene->tirePanelReady[tyre] = kTirePanelMade;
  LoadTextureFunc(path, static_cast<int>(scene->tirePanelTextures[tyre]), 2);
}

void DrawPanel(ViewParam* scene, int tyre, const BillboardSizes& sizes, const float* texcoords,
               const float* mvp) {
  const int32_t temperature = scene->tireTemperature[tyre];
  const bool temperatureShown = temperature >= -99 && temperature <= 99;
  float coords[8];
  for (int i = 0; i < 8; ++i) {
    coords[i] = texcoords[i];
  }
  if (!temperatureShown) {
    // Only the upper half of the picture, the pressure line.
    coords[3] = 0.5f;
    coords[7] = 0.5f;
  }
  float quad[12];
  BillboardQuad(tyre, 0, sizes.panelWidth,
                temperatureShown ? sizes.panelHeight : sizes.reducedPanelHeight, quad);
  if (scene->tirePanelReady[tyre] == kTirePanelStale) {
    RefreshPanel(scene, tyre);
  }
  if (scene->tirePanelReady[tyre] != kTirePanelMade) {
    return;
  }
  DrawPicture(scene->tirePanelTextures[tyre], mvp, quad, coords);
}

// The most urgent warning of the tyre; false when it has none.
bool FirstIcon(const ViewParam* scene, int tyre, uint32_t* texture) {
  if (scene->tireLeak[tyre] == 1) {
    *texture = scene->leakTexture;
  } else if (scene->tirePressureAlarm[tyre] == 1) {
    *texture = scene->pressureLowTexture;
  } else if (scene->tirePressureAlarm[tyre] == 2) {
    *texture = scene->pressureHighTexture;
  } else if (scene->tireTempAlarm[tyre] == 1) {
    *texture = scene->temperatureHighTexture;
  } else {
    return false;
  }
  return true;
}

void DrawIcon(uint32_t texture, int tyre, int slot, const BillboardSizes& sizes,
              const float* texcoords, const float* mvp) {
  float quad[12];
  BillboardQuad(tyre, slot, sizes.iconSide, sizes.iconSide, quad);
  DrawPicture(texture, mvp, quad, texcoords);
}

void DrawIcons(const ViewParam* scene, int tyre, const BillboardSizes& sizes,
               const float* texcoords, const float* mvp) {
  uint32_t first = 0;
  int slot = 0;
  if (FirstIcon(scene, tyre, &first)) {
    DrawIcon(first, tyre, slot++, sizes, texcoords, mvp);
  }
  // The battery warning goes beside the first icon, or alone in its place.
  if (scene->tireBatteryLow[tyre] == 1) {
    DrawIcon(scene->powerLowTexture, tyre, slot, sizes, texcoords, mvp);
  }
}

}  // namespace

void DrawTirePressure(int tyre) {
  ViewParam* scene = pViewParam;
  if (scene == nullptr || tyre < 0 || tyre >= kTires) {
    return;
  }
  const BillboardSizes& sizes = SizesFor(tyre, scene->spriteAngle);
  const float* texcoords =
      LooksFromAnglesOneToNinetyFive(scene->spriteAngle) ? kMirroredTexCoords : kUprightTexCoords;
  float mvp[16];
  ViewProjection(scene, mvp);
  if (scene->tirePanelMode == 1 &&
      static_cast<uint32_t>(scene->tirePressure[tyre]) < kNoReading) {
    DrawPanel(scene, tyre, sizes, texcoords, mvp);
    return;
  }
  DrawIcons(scene, tyre, sizes, texcoords, mvp);
}

void DrawPlateNumber(int which) {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr || scene->plateGeometryValid != 1) {
    return;
  }
  float mvp[16];
  ViewProjection(scene, mvp);
  const float* quad = which == 1 ? &carPlateCordCur[0] : &carPlateCordCur[12];
  DrawPicture(scene->plateTexture, mvp, quad, kUprightTexCoords);
}
