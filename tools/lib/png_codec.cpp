#include "tools/lib/png_codec.h"

#include <cstdint>
#include <exception>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "tools/lib/bin_image.h"
#include "tools/lib/file_util.h"

namespace tools {

namespace {
// zlib level and strategy fixed here: OpenCV's own default strategy differs
// between versions, and the sample assets must not change with it.
constexpr int kPngLevel = 6;
// The renderer decodes no picture larger than this; nor do the tools, which
// take the size from the header before the decoder allocates it.
constexpr uint64_t kMaxPicturePixels = uint64_t{4096} * 4096;

uint64_t BigEndian32At(const std::string& bytes, std::size_t at) {
  uint64_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

// The size IHDR states, when it is there and within the limit. A stream of
// a few hundred bytes may state gigapixels, which the decoder would
// allocate before it finds out there is no data.
bool StatedSizeWithin(const std::string& png) {
  if (png.size() < 24 || png.compare(12, 4, "IHDR") != 0) {
    return false;
  }
  const uint64_t width = BigEndian32At(png, 16);
  const uint64_t height = BigEndian32At(png, 20);
  return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
         width * height <= kMaxPicturePixels;
}

// Whether every chunk up to IEND lies inside the stream. The decoder fails
// on a stream where one does not, but only after skipping a chunk that
// states up to 2 GB: seconds, and as much memory, for a file of 71 bytes.
bool ChunksEndInside(const std::string& png) {
  std::size_t at = kPngSignature.size();
  while (png.size() >= at + 12) {
    const uint64_t length = BigEndian32At(png, at);
    if (length > png.size() - at - 12) {
      return false;
    }
    if (png.compare(at + 4, 4, "IEND") == 0) {
      return true;
    }
    at += 12 + static_cast<std::size_t>(length);
  }
  return false;
}
}  // namespace

bool EncodePng(const cv::Mat& image, std::string* png, std::string* error) {
  if (image.empty() || image.depth() != CV_8U ||
      (image.channels() != 1 && image.channels() != 3 && image.channels() != 4)) {
    *error = "only 8-bit images of 1, 3 or 4 channels are written";
    return false;
  }
  const std::vector<int> parameters = {cv::IMWRITE_PNG_COMPRESSION, kPngLevel, cv::IMWRITE_PNG_STRATEGY,
                                       cv::IMWRITE_PNG_STRATEGY_DEFAULT};
  std::vector<unsigned char> buffer;
  try {
    if (!cv::imencode(".png", image, buffer, parameters)) {
      *error = "PNG encoding failed";
      return false;
    }
  } catch (const std::exception& failure) {
    *error = std::string("PNG encoding failed: ") + failure.what();
    return false;
  }
  png->assign(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  return true;
}

bool WritePng(const std::string& path, const cv::Mat& image, std::string* error) {
  std::string png;
  if (!EncodePng(image, &png, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return WriteFileReplacing(path, png, error);
}

bool DecodeImage(const std::string& bytes, cv::Mat* image, std::string* error) {
  std::string png = bytes;
  if (HasBinMagic(png)) {
    png.replace(0, kPngSignature.size(), kPngSignature);
  }
  if (!HasPngSignature(png)) {
    *error = "not a PNG picture";
    return false;
  }
  if (!ChunksEndInside(png)) {
    *error = "cannot decode the picture: a chunk runs past its end, or IEND is missing";
    return false;
  }
  if (!StatedSizeWithin(png)) {
    *error = "the picture states no size, or one over 4096 x 4096 pixels";
    return false;
  }
  // Memory running out is a failure to decode like any other.
  try {
    const std::vector<unsigned char> buffer(png.begin(), png.end());
    *image = cv::imdecode(buffer, cv::IMREAD_UNCHANGED);
  } catch (const std::exception& failure) {
    *error = std::string("cannot decode the picture: ") + failure.what();
    return false;
  }
  if (image->empty()) {
    *error = "cannot decode the picture";
    return false;
  }
  return true;
}

}  // namespace tools
