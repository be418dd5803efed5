// Radar input: obstacle levels per sensor, packed as 4-bit levels or as
// one byte of distance per sensor.
#include <cstring>

#include "avm/bridge/command_handlers.h"
#include "avm/bridge/scene_state.h"

namespace {

// A distance in centimetres as a level: 3 nearest, 0 clear.
int32_t DistanceLevel(uint32_t centimetres) {
  if (centimetres <= 33) {
    return 3;
  }
  if (centimetres <= 100) {
    return 2;
  }
  if (centimetres <= 133) {
    return 1;
  }
  return 0;
}

// Byte 3 (the highest) goes to element 0, byte 0 to element 3.
void StoreRadarBytes(int32_t* group, int32_t arg) {
  const uint32_t bytes = static_cast<uint32_t>(arg);
  const int inputMode = pViewParam->radarInputMode;
  for (int element = 0; element < 4; ++element) {
    const uint32_t value = (bytes >> (8 * (3 - element))) & 0xFFu;
    if (inputMode == 0) {
      group[element] = DistanceLevel(value);
    } else if (inputMode == 1) {
      group[element] = static_cast<int32_t>(value < 5 ? 5 : value);
    }
  }
}

}  // namespace

// 5: four 4-bit levels; any of bits 16..31 set sends them to group 2.
int CmdRadarPacked(int32_t arg) {
  ViewParam* scene = pViewParam;
  const uint32_t bits = static_cast<uint32_t>(arg);
  int32_t* group = (bits >> 16) != 0 ? scene->radarGroup2 : scene->radarGroup1;
  for (int element = 0; element < 4; ++element) {
    group[element] = static_cast<int32_t>((bits >> (4 * element)) & 0xFu);
  }
  return 1;
}

// 65, 66: one byte per sensor into group 1 or 2.
int CmdRadarBytes1(int32_t arg) {
  StoreRadarBytes(pViewParam->radarGroup1, arg);
  return 1;
}

int CmdRadarBytes2(int32_t arg) {
  StoreRadarBytes(pViewParam->radarGroup2, arg);
  return 1;
}

// 68: 0 = bytes are stored as levels, 1 = as distances; both groups start
// over.
int CmdRadarInputMode(int32_t arg) {
  if (!ArgInRange(arg, 0, 1)) {
    return 1;
  }
  ViewParam* scene = pViewParam;
  scene->radarInputMode = arg;
  std::memset(scene->radarGroup1, 0, sizeof(scene->radarGroup1));
  std::memset(scene->radarGroup2, 0, sizeof(scene->radarGroup2));
  return 1;
}
