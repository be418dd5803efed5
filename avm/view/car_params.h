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

// The entries of the overlay tables that the state-image loaders place their
// pictures by (color/light/... and color/door/... of the car).
// carLampsOffset2: one lamp picture each.
constexpr int kLampLeftViewEntry = 4;        // light/left/4, the left side view
constexpr int kLampRightViewEntry = 13;      // light/right/5, the right side view
constexpr int kLampFrontRightEntry = 16;     // light/front/0, right indicator
constexpr int kLampFrontLeftEntry = 17;      // light/front/1, left indicator
constexpr int kLampBackLeftEntry = 24;       // light/back/4, left indicator
constexpr int kLampBackRightEntry = 25;      // light/back/5, right indicator
constexpr int kBeamsFront2Entries = 32;      // light/front2/0 and /1, at +0 and +1
constexpr int kLampFront2RightEntry = 34;    // light/front2/2, right indicator
constexpr int kLampFront2LeftEntry = 35;     // light/front2/3, left indicator
// carDoorsOffset and carDoorsOffset2: the first of the six entries of a
// view, for door pictures d0..d5 at +0..+5.
constexpr int kDoorLeftViewEntries = 0;      // carDoorsOffset, door/left/d{k}
constexpr int kDoorRightViewEntries = 6;     // carDoorsOffset, door/right/d{k}
constexpr int kDoorTopViewEntries = 12;      // carDoorsOffset, door/top/d{k}
constexpr int kDoorFrontViewEntries = 18;    // carDoorsOffset2, door/front/d{k}
constexpr int kDoorBackViewEntries = 24;     // carDoorsOffset2, door/back/d{k}
constexpr int kDoorFront2ViewEntries = 30;   // carDoorsOffset2, door/front2/d{k}

constexpr std::size_t kParamsFileSize = 7136;

// Reads the selected car's params.bin (named by carName, or carNumber in the
// numbered layout) into the car tables, checks each table, logs the verdicts
// and derives carLength, carWidth and the top-view scales.
void AvmCalScale();
