#include "tests/support/hostile_pictures.h"

#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <vector>

namespace {

std::string Encode(const char* extension, const cv::Mat& picture, const std::vector<int>& parameters) {
  std::vector<uint8_t> bytes;
  if (!cv::imencode(extension, picture, bytes, parameters)) {
    throw std::runtime_error(std::string("cannot encode ") + extension);
  }
  return std::string(bytes.begin(), bytes.end());
}

// A picture with some detail, so that the encoders keep real image data.
cv::Mat Checkers(int side) {
  cv::Mat picture(side, side, CV_8UC3);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const uint8_t v = ((x + y) % 2) != 0 ? 220 : 30;
      picture.at<cv::Vec3b>(y, x) = cv::Vec3b(v, static_cast<uint8_t>(255 - v), 90);
    }
  }
  return picture;
}

void PutBigEndian16(std::string* bytes, std::size_t at, int value) {
  (*bytes)[at] = static_cast<char>((value >> 8) & 0xFF);
  (*bytes)[at + 1] = static_cast<char>(value & 0xFF);
}

std::string LittleEndian(uint32_t value, int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return bytes;
}

// The first chunk's data offset in a simple WebP file ("RIFF" size "WEBP"
// type size data), after checking the chunk type.
std::size_t FirstChunkData(const std::string& webp, const char* type) {
  if (webp.size() < 30 || webp.compare(0, 4, "RIFF") != 0 || webp.compare(8, 4, "WEBP") != 0 ||
      webp.compare(12, 4, type) != 0) {
    throw std::runtime_error(std::string("the encoder did not write a simple ") + type + " file");
  }
  return 20;
}

}  // namespace

std::string BigEndian32(uint32_t value) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes += static_cast<char>((value >> shift) & 0xFF);
  }
  return bytes;
}

uint32_t PngChunkCrc(const std::string& typeAndData) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : typeAndData) {
    crc ^= static_cast<uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return crc ^ 0xFFFFFFFFu;
}

std::string PngStatingSize(uint32_t width, uint32_t height) {
  std::string png = Encode(".png", Checkers(4), {});
  if (png.size() < 33 || png.compare(12, 4, "IHDR") != 0) {
    throw std::runtime_error("the encoder wrote no header chunk first");
  }
  png.replace(16, 8, BigEndian32(width) + BigEndian32(height));
  png.replace(29, 4, BigEndian32(PngChunkCrc(png.substr(12, 17))));
  return png;
}

std::string JpegStatingSize(int width, int height) {
  std::string jpeg = Encode(".jpg", Checkers(16), {cv::IMWRITE_JPEG_QUALITY, 90});
  // Walk the marker segments from SOI to the frame header.
  std::size_t at = 2;
  while (at + 9 <= jpeg.size() && static_cast<uint8_t>(jpeg[at]) == 0xFF) {
    const uint8_t marker = static_cast<uint8_t>(jpeg[at + 1]);
    if (marker == 0xC0) {
      PutBigEndian16(&jpeg, at + 5, height);
      PutBigEndian16(&jpeg, at + 7, width);
      return jpeg;
    }
    const std::size_t length = (static_cast<uint8_t>(jpeg[at + 2]) << 8) | static_cast<uint8_t>(jpeg[at + 3]);
    at += 2 + length;
  }
  throw std::runtime_error("the encoder wrote no baseline frame header");
}

std::string WebpLossyStatingSize(int width, int height) {
  std::string webp = Encode(".webp", Checkers(8), {cv::IMWRITE_WEBP_QUALITY, 90});
  const std::size_t data = FirstChunkData(webp, "VP8 ");
  // Frame tag (3 bytes), start code (3), then 14-bit width and height.
  webp[data + 6] = static_cast<char>(width & 0xFF);
  webp[data + 7] = static_cast<char>((width >> 8) & 0x3F);
  webp[data + 8] = static_cast<char>(height & 0xFF);
  webp[data + 9] = static_cast<char>((height >> 8) & 0x3F);
  return webp;
}

std::string WebpLosslessStatingSize(int width, int height) {
  std::string webp = Encode(".webp", Checkers(8), {cv::IMWRITE_WEBP_QUALITY, 101});
  const std::size_t data = FirstChunkData(webp, "VP8L");
  // Signature byte, then width - 1 and height - 1 in 14 bits each, then the
  // alpha flag and the version, least significant bit first.
  const uint32_t old = static_cast<uint32_t>(static_cast<uint8_t>(webp[data + 1])) |
                       (static_cast<uint32_t>(static_cast<uint8_t>(webp[data + 2])) << 8) |
                       (static_cast<uint32_t>(static_cast<uint8_t>(webp[data + 3])) << 16) |
                       (static_cast<uint32_t>(static_cast<uint8_t>(webp[data + 4])) << 24);
  const uint32_t bits = (static_cast<uint32_t>(width - 1) & 0x3FFF) |
                        ((static_cast<uint32_t>(height - 1) & 0x3FFF) << 14) | (old & 0xF0000000u);
  webp.replace(data + 1, 4, LittleEndian(bits, 4));
  return webp;
}

std::string WebpCanvasStatingSize(int width, int height) {
  const std::string simple = Encode(".webp", Checkers(8), {cv::IMWRITE_WEBP_QUALITY, 101});
  FirstChunkData(simple, "VP8L");
  const std::string extended = "VP8X" + LittleEndian(10, 4) + std::string(4, '\0') +
                               LittleEndian(static_cast<uint32_t>(width - 1), 3) +
                               LittleEndian(static_cast<uint32_t>(height - 1), 3);
  const std::string chunks = extended + simple.substr(12);
  return "RIFF" + LittleEndian(static_cast<uint32_t>(4 + chunks.size()), 4) + "WEBP" + chunks;
}
