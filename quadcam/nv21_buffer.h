#pragma once
// An NV21 picture as callers of ResizeNV21 describe it: a luma plane and an
// interleaved chroma plane (V before U in every pair), each with its stride.
#include <cstdint>

extern "C" {

struct Nv21Buffer {
  uint32_t width;
  uint32_t height;
  uint8_t* yPlane;
  uint8_t* vuPlane;  // height/2 rows of width bytes (width/2 pairs)
  void* spare;       // not touched by ResizeNV21
  int32_t yStride;
  int32_t vuStride;
  int32_t spareStride;  // set to 0 in the output
  uint32_t attribute;   // copied from input to output
};

// Nearest-sample scaling of src into dst. The caller fills dst's width,
// height, yPlane and vuPlane; the strides are set here to the packed width.
__attribute__((visibility("default"))) void ResizeNV21(const Nv21Buffer* src, Nv21Buffer* dst);

}  // extern "C"
