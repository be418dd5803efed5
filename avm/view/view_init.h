#pragma once
// Start-up of the views: start values of the scene record, the initial
// screen layout, the saved display configuration and the shader programs.
#include <cstddef>

// The display configuration below the asset directory: 108 bytes of
// little-endian 32-bit values, field by field:
//   0  layoutRects[0..3]   16 x float32 (x, y, w, h each)
//  64  topViewMargin       float32
//  68  viewFovy            float32
//  72  lrOffset[0], [1]    2 x int32
//  80  lrParamCommon       float32
//  84  lrParamsLeft[0..2]  3 x float32
//  96  lrParamsRight[0..2] 3 x float32
constexpr const char* kConfigFileName = "common/config.bin";
constexpr std::size_t kConfigFileSize = 108;

// width and height are the screen size in pixels; the last two arguments are
// not used.
void AvmInit(int width, int height, int, int);

// Reads common/config.bin into the scene record, with the defaults of a
// missing file and the per-field fallbacks of a short or damaged one.
void AvmReadConfig();
