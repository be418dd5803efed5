// quadcam's frame composition with arbitrary camera sizes, plane lengths,
// strides and plane layouts. Each plane is its own allocation of exactly
// the length the image claims, so a read past a plane is caught; frames
// whose planes cannot hold the quadrant must be refused.
#include <cstring>
#include <vector>

#include <media/NdkImage.h>

#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"
#include "quadcam/frame_composition.h"
#include "quadcam/qcam_state.h"

namespace {

int32_t Stride(fuzz::ByteReader& in) {
  const uint8_t code = in.U8();
  // Mostly small strides near the width, sometimes anything at all.
  return (code & 0x80) != 0 ? in.I32() : static_cast<int32_t>(code) - 8;
}

}  // namespace

FUZZ_TARGET(quadcam_comb) {
  fuzz::ByteReader in(data, size);
  const uint8_t mode = in.U8();
  const int32_t format = (mode & 1) != 0 ? AIMAGE_FORMAT_RGBA_8888 : AIMAGE_FORMAT_YUV_420_888;
  const int32_t openWidth = 1 + in.U8() % 40;
  const int32_t openHeight = 1 + in.U8() % 40;
  if (!ResetComposition(openWidth, openHeight, format)) {
    fuzz::Fail("quadcam_comb", "a small composition was refused");
  }
  const int frames = 1 + (mode >> 1) % 4;
  std::vector<std::vector<uint8_t>> storage;
  for (int frame = 0; frame < frames && in.remaining() > 0; ++frame) {
    const uint8_t shape = in.U8();
    CameraImage image;
    image.width = (shape & 1) != 0 ? in.I32() : openWidth;
    image.height = (shape & 2) != 0 ? in.I32() : openHeight;
    image.format = (shape & 4) != 0 ? in.I32() : format;
    image.planeCount = (shape & 8) != 0 ? in.U8() % 4 : (format == AIMAGE_FORMAT_YUV_420_888 ? 3 : 1);
    const bool interleaved = (shape & 16) != 0;
    for (int p = 0; p < 3; ++p) {
      ImagePlane& plane = image.planes[p];
      plane.rowStride = Stride(in);
      plane.pixelStride = (in.U8() % 6);
      const uint16_t length = in.U16() % 8192;
      if (p == 1 && interleaved) {
        // NV21 as cameras deliver it: U one byte into the V plane's memory
        // (planes[2], allocated next).
        continue;
      }
      storage.emplace_back(length);
      const std::vector<uint8_t> fill = in.Bytes(length);
      if (!fill.empty()) {
        std::memcpy(storage.back().data(), fill.data(), fill.size());
      }
      plane.data = storage.back().empty() ? nullptr : storage.back().data();
      plane.length = length;
    }
    if (interleaved && image.planes[2].data != nullptr) {
      image.planes[1].data = image.planes[2].data + 1;
      image.planes[1].length = image.planes[2].length - 1;
    }
    const int32_t slot = static_cast<int32_t>(shape >> 5) - 1;  // -1..6
    ComposeCameraImage(image.width, image.height, slot, image);
  }
  return 0;
}
