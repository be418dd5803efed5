#pragma once
// A car's params.bin: thirteen tables stored one after the other, 7136 bytes,
// little-endian, no header and no padding.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tools {

// One overlay position: x and y of the overlay's top-left pixel inside its
// base image. The sample kit also stores the overlay's width and height in
// the two words the loaders do not read.
struct PositionEntry {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

struct CarParams {
  std::int32_t carSize[3] = {};          // length, width (mm), unused
  PositionEntry tiresOffset[4];           // wheels at 130 (front, back) and 158 (front, back)
  float cord[192][4] = {};               // per angle: left, top, width, height in the rendered frame
  float top2[5] = {};                    // top image: car width, car length, front margin, image width, height (px)
  float plateCord[24] = {};              // two plate quads, 4 vertices x, y, z each
  float tiresParams[6] = {};             // tyre lateral distance - 10, front axle y, rear axle distance, tyre width, radius, 0
  float lookat[6] = {};                  // eye height, eye distance, target height, fourth value, fov, aspect
  float picSize[4] = {};                 // largest sprite width, height; frame width, height
  PositionEntry lampsOffset[12];
  PositionEntry doorsOffset[18];          // k left, 6+k right, 12+k top
  PositionEntry lampsOffset2[104];        // 4 left/4, 13 right/5, 16-17 front, 24-25 back, 32-35 front2
  PositionEntry doorsOffset2[78];         // 18+k front, 24+k back, 30+k front2
  PositionEntry tiresOffset2[26];         // 2k front and 2k+1 back wheel of partial view k (2..5)
};

constexpr std::size_t kParamsBinSize = 7136;

// Table sizes in the order of the file, in bytes.
constexpr std::size_t kParamsTableBytes[13] = {12, 64, 3072, 20, 96, 24, 24, 16, 192, 288, 1664, 1248, 416};

std::string SerializeParams(const CarParams& params);

// Reads a params.bin of exactly kParamsBinSize bytes; false otherwise.
bool ParseParams(const std::string& bytes, CarParams* params);

}  // namespace tools
