// The sprite decoder on arbitrary bytes: an image comes out empty or as
// 8-bit four-channel continuous pixels within the size limit.
#include <vector>

#include "avm/sprites/sprite_image.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"

FUZZ_TARGET(sprite_bytes) {
  std::vector<uint8_t> bytes(data, data + size);
  const cv::Mat image = DecodeSpriteBytes(bytes);
  if (image.empty()) {
    return 0;
  }
  if (image.type() != CV_8UC4 || !image.isContinuous() ||
      static_cast<int64_t>(image.cols) * image.rows > kMaxSpritePixels) {
    fuzz::Fail("sprite_bytes", "decoded image is not continuous 8-bit BGRA within the limit");
  }
  // Touch the last byte: a short buffer behind a valid-looking header shows.
  volatile uint8_t last = image.data[image.total() * 4 - 1];
  (void)last;
  return 0;
}
