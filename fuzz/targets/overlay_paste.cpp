// The overlay pastes with arbitrary sizes, positions and pixel types: they
// must write only inside the working image (AddressSanitizer sees the rest)
// and change nothing when the types do not fit.
#include <cstring>
#include <vector>

#include "avm/sprites/sprite_image.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"

namespace {

int PixelType(uint8_t code) {
  switch (code % 4) {
    case 0:
    case 1:
      return CV_8UC4;
    case 2:
      return CV_8UC3;
    default:
      return CV_16UC4;
  }
}

// An image of exactly rows x cols pixels in its own allocation, so that a
// write past it is caught; a view into a larger image when asked, so that
// non-continuous rows are exercised too.
cv::Mat MakeImage(fuzz::ByteReader& in, cv::Mat* owner) {
  const uint8_t shape = in.U8();
  const int rows = in.U8() % 48;
  const int cols = in.U8() % 48;
  const int type = PixelType(shape);
  if ((shape & 0x10) != 0 && rows > 0 && cols > 0) {
    *owner = cv::Mat(rows + 2, cols + 3, type, cv::Scalar::all(7));
    return (*owner)(cv::Rect(1, 1, cols, rows));
  }
  *owner = cv::Mat(rows, cols, type);
  const std::vector<uint8_t> fill = in.Bytes(owner->total() * owner->elemSize());
  if (!fill.empty()) {
    std::memcpy(owner->data, fill.data(), fill.size());
  }
  return *owner;
}

}  // namespace

FUZZ_TARGET(overlay_paste) {
  fuzz::ByteReader in(data, size);
  const uint8_t mode = in.U8();
  const int32_t x = (mode & 1) != 0 ? in.I32() : static_cast<int8_t>(in.U8());
  const int32_t y = (mode & 2) != 0 ? in.I32() : static_cast<int8_t>(in.U8());
  cv::Mat workingOwner;
  cv::Mat overlayOwner;
  cv::Mat working = MakeImage(in, &workingOwner);
  const cv::Mat overlay = MakeImage(in, &overlayOwner);
  const cv::Mat before = working.clone();
  if ((mode & 4) != 0) {
    PasteOpaqueSpans(working, overlay, x, y);
  } else {
    PasteOpaquePixels(working, overlay, x, y);
  }
  const bool fits = working.type() == CV_8UC4 && overlay.type() == CV_8UC4;
  if (!fits && !working.empty() && cv::norm(before, working, cv::NORM_INF) != 0) {
    fuzz::Fail("overlay_paste", "images of another type were changed");
  }
  return 0;
}
