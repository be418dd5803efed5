#include "avm/view/car_params.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/common/numbers.h"
#include "avm/common/regular_file.h"

extern "C" {

int32_t carSizeCur[3];
CarPosition carTiresOffsetCur[4];
float carCordCur[192][4];
float carTop2Cur[5];
float carPlateCordCur[24];
float carTiresParamsCur[6];
float carLookatAllCur[6];
float carPicSizeCur[4];
CarPosition carLampsOffset[12];
CarPosition carDoorsOffset[18];
CarPosition carLampsOffset2[104];
CarPosition carDoorsOffset2[78];
CarPosition carTiresOffset2[26];

}  // extern "C"

static_assert(sizeof(CarPosition) == 16, "position entries are 16 bytes in params.bin");
static_assert(sizeof(carSizeCur) + sizeof(carTiresOffsetCur) + sizeof(carCordCur) +
                      sizeof(carTop2Cur) + sizeof(carPlateCordCur) + sizeof(carTiresParamsCur) +
                      sizeof(carLookatAllCur) + sizeof(carPicSizeCur) + sizeof(carLampsOffset) +
                      sizeof(carDoorsOffset) + sizeof(carLampsOffset2) + sizeof(carDoorsOffset2) +
                      sizeof(carTiresOffset2) ==
                  kParamsFileSize,
              "the car tables are params.bin, table by table");

namespace {

// Reads one table straight into its array. Once a read has failed (end of
// file or stream error) the stream stays failed, so every later read fails
// as well.
bool ReadTable(FILE* file, void* table, std::size_t size) {
  if (file == nullptr || std::ferror(file) != 0 || std::feof(file) != 0) {
    return false;
  }
  return std::fread(table, 1, size, file) == size;
}

// A float table goes straight into matrices and quads: one NaN or infinity
// from a damaged file would blank the whole view. Such a table counts as not
// read, and is cleared so that its fallback starts from zeros.
bool ReadFloatTable(FILE* file, float* table, std::size_t count, const char* name) {
  // A short read still leaves its first values in the table.
  const bool read = ReadTable(file, table, count * sizeof(float));
  if (!AllFinite(table, count)) {
    AVM_LOGI("------%s not finite!", name);
    std::memset(table, 0, count * sizeof(float));
    return false;
  }
  return read;
}

// The sprite rectangles have no fallback of their own: a rectangle holding
// a NaN or infinity becomes an empty one at the origin, which draws nothing.
void ClearNonFiniteRectangles() {
  int cleared = 0;
  for (auto& rectangle : carCordCur) {
    if (!AllFinite(rectangle, 4)) {
      std::memset(rectangle, 0, sizeof(rectangle));
      ++cleared;
    }
  }
  if (cleared > 0) {
    AVM_LOGI("------carCordCur:%d angles not finite!", cleared);
  }
}

// A position table is valid when it was read and the checked x is above 1;
// the log then shows that x and the value after it.
bool CheckPositions(bool read, const CarPosition& checked, const CarPosition& shown,
                    const char* name) {
  if (read && checked.x > 1) {
    AVM_LOGI("------%s:%d,%d", name, shown.x, shown.y);
    return true;
  }
  AVM_LOGI("------%s fail!", name);
  return false;
}

void DeriveCarSize(ViewParam* scene) {
  scene->topScale[0] = 1.0f;
  scene->topScale[1] = 1.0f;
  // In 64 bits: a damaged file may hold any int32 here.
  const int64_t length = static_cast<int64_t>(carSizeCur[0]) - 60;
  const int64_t width = static_cast<int64_t>(carSizeCur[1]) - 60;
  scene->carLength = static_cast<int32_t>(length / 10);
  scene->carWidth = static_cast<int32_t>(width / 10);
  if (scene->topGeometryValid != 1) {
    return;
  }
  const float d = static_cast<float>(scene->carWidth) / static_cast<float>(scene->carLength);
  const float e = carTop2Cur[0] / carTop2Cur[1];
  // A car of no size or a top picture of no length would give infinite or
  // undefined scales; keep the unit scales then.
  if (!std::isfinite(d) || !std::isfinite(e) || d <= 0.0f || e <= 0.0f) {
    AVM_LOGI("------carTop2Cur scale fail!");
    scene->topCarScaleX = 1.0f;
    scene->topCarScaleY = 1.0f;
    return;
  }
  // Both ratios are finite and positive, but one far from the other still
  // overflows their quotient.
  const float scale = d > e ? d / e : e / d;
  if (!std::isfinite(scale)) {
    AVM_LOGI("------carTop2Cur scale fail!");
    scene->topCarScaleX = 1.0f;
    scene->topCarScaleY = 1.0f;
    return;
  }
  if (d > e) {
    scene->topCarScaleX = 1.0f;
    scene->topCarScaleY = scale;
    scene->topScale[1] = scene->topCarScaleY;
  } else {
    scene->topCarScaleY = 1.0f;
    scene->topCarScaleX = scale;
    scene->topScale[0] = scene->topCarScaleX;
  }
}

}  // namespace

void AvmCalScale() {
  ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  bool named = true;
  if (scene->numberedCarLayout == 1) {
    named = FormatPath(path, sizeof(path), "%s%s//car%d//params.bin", scene->assetRoot, ".tmp/",
                       scene->carNumber);
  } else {
    named = FormatPath(path, sizeof(path), "%s%s//%s//params.bin", scene->assetRoot, ".tmp/",
                       scene->carName);
  }
  // A path that does not fit is read as a missing file: every check fails.
  FILE* file = named ? OpenRegularFile(path) : nullptr;

  ReadTable(file, carSizeCur, sizeof(carSizeCur));
  ReadTable(file, carTiresOffsetCur, sizeof(carTiresOffsetCur));
  ReadTable(file, carCordCur, sizeof(carCordCur));
  ClearNonFiniteRectangles();

  const bool topRead = ReadFloatTable(file, carTop2Cur, 5, "carTop2Cur");
  scene->topGeometryValid = topRead && carTop2Cur[0] > 1.0f ? 1 : 0;

  std::memset(carPlateCordCur, 0, sizeof(carPlateCordCur));
  const bool plateRead = ReadFloatTable(file, carPlateCordCur, 24, "carPlateCordCur");
  scene->plateGeometryValid = plateRead && carPlateCordCur[2] > 1.0f ? 1 : 0;

  std::memset(carTiresParamsCur, 0, sizeof(carTiresParamsCur));
  const bool tiresRead = ReadFloatTable(file, carTiresParamsCur, 6, "carTiresParamsCur");
  if (!tiresRead || !(carTiresParamsCur[0] > 1.0f)) {
    AVM_LOGI("------carTiresParamsCur read fail!");
  } else {
    carTiresParamsCur[2] = -carTiresParamsCur[2];
    carTiresParamsCur[0] += 10.0f;
    AVM_LOGI("------carTiresParamsCur:%f,%f", static_cast<double>(carTiresParamsCur[0]),
             static_cast<double>(carTiresParamsCur[1]));
  }

  std::memset(carLookatAllCur, 0, sizeof(carLookatAllCur));
  const bool lookatRead = ReadFloatTable(file, carLookatAllCur, 6, "carLookatAllCur");
  if (!lookatRead || !(carLookatAllCur[0] > 1.0f)) {
    AVM_LOGI("------carLookatAllCur fail!");
    scene->camHeight = 230.0f;
    scene->camDistance = 510.0f;
    scene->camTargetHeight = 75.0f;
    scene->camFourthValue = 15.0f;
    carLookatAllCur[4] = 60.0f;
    carLookatAllCur[5] = 1.71f;
  } else {
    AVM_LOGI("------carLookatAllCur:%f,%f", static_cast<double>(carLookatAllCur[0]),
             static_cast<double>(carLookatAllCur[1]));
    scene->camHeight = carLookatAllCur[0];
    scene->camDistance = carLookatAllCur[1];
    scene->camTargetHeight = carLookatAllCur[2];
    scene->camFourthValue = carLookatAllCur[3];
  }

  std::memset(carPicSizeCur, 0, sizeof(carPicSizeCur));
  const bool picRead = ReadFloatTable(file, carPicSizeCur, 4, "carPicSizeCur");
  if (!picRead || !(carPicSizeCur[0] > 1.0f)) {
    AVM_LOGI("------carPicSizeCur fail!");
    carPicSizeCur[0] = 663.0f;
    carPicSizeCur[1] = 522.0f;
    carPicSizeCur[2] = 1018.0f;
    carPicSizeCur[3] = 595.0f;
  } else {
    AVM_LOGI("------carPicSizeCur:%f,%f", static_cast<double>(carPicSizeCur[0]),
             static_cast<double>(carPicSizeCur[1]));
  }

  std::memset(carLampsOffset, 0, sizeof(carLampsOffset));
  const bool lampsRead = ReadTable(file, carLampsOffset, sizeof(carLampsOffset));
  CheckPositions(lampsRead, carLampsOffset[4], carLampsOffset[4], "carLampsOffset");

  std::memset(carDoorsOffset, 0, sizeof(carDoorsOffset));
  const bool doorsRead = ReadTable(file, carDoorsOffset, sizeof(carDoorsOffset));
  scene->doorSpritesAvailable =
      CheckPositions(doorsRead, carDoorsOffset[0], carDoorsOffset[0], "carDoorsOffset") ? 1 : 0;

  std::memset(carLampsOffset2, 0, sizeof(carLampsOffset2));
  const bool lamps2Read = ReadTable(file, carLampsOffset2, sizeof(carLampsOffset2));
  CheckPositions(lamps2Read, carLampsOffset2[kLampLeftViewEntry],
                 carLampsOffset2[kLampLeftViewEntry], "carLampsOffset2");

  std::memset(carDoorsOffset2, 0, sizeof(carDoorsOffset2));
  const bool doors2Read = ReadTable(file, carDoorsOffset2, sizeof(carDoorsOffset2));
  // The door tables log their first two values, whichever entry is checked.
  scene->doorSpritesAvailable =
      CheckPositions(doors2Read, carDoorsOffset2[kDoorFrontViewEntries], carDoorsOffset2[0], "carDoorsOffset2")
          ? 1
          : 0;

  std::memset(carTiresOffset2, 0, sizeof(carTiresOffset2));
  const bool tires2Read = ReadTable(file, carTiresOffset2, sizeof(carTiresOffset2));
  CheckPositions(tires2Read, carTiresOffset2[6], carTiresOffset2[6], "carTiresOffset2");

  if (file != nullptr) {
    std::fclose(file);
  }
  DeriveCarSize(scene);
}
