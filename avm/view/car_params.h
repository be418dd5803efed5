#pragma once
// Per-car geometry: the exported car tables, filled from the selected car's
// params.bin (thirteen tables, 7136 bytes, little-endian, no header), and the
// car size and view scales derived from them.
#include <cstdint>

// A position entry: four int32 of which the first two are x and y of an
// overlay in pixels.
struct CarPosition {
  int32_t x;
  int32_t y;
  int32_t spare0;
  int32_t spare1;
};

extern "C" {

extern int32_t carSizeCur[3];           // length, width (mm), unused
extern CarPosition carTiresOffsetCur[4];
extern float carCordCur[192][4];        // per angle: left, top, width, height
extern float carTop2Cur[5];
extern float carPlateCordCur[24];
extern float carTiresParamsCur[6];
extern float carLookatAllCur[6];
extern float carPicSizeCur[4];
extern CarPosition carLampsOffset[12];
extern CarPosition carDoorsOffset[18];
extern CarPosition carLampsOffset2[104];
extern CarPosition carDoorsOffset2[78];
extern CarPosition carTiresOffset2[26];

}  // extern "C"

constexpr std::size_t kParamsFileSize = 7136;

// Reads the selected car's params.bin (named by carName, or carNumber in the
// numbered layout) into the car tables, checks each table, logs the verdicts
// and derives carLength, carWidth and the top-view scales.
void AvmCalScale();
