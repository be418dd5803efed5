#include "avm/sprites/picture_decode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>

const uint8_t kConvertedImageMagic[kSignatureBytes] = {'k', 'e', 's', ' ', 0x30, 0x0B, 0x09, 0x0C};
const uint8_t kPngSignature[kSignatureBytes] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

namespace {

bool StartsWith(const std::vector<uint8_t>& bytes, std::size_t at, const char* text) {
  const std::size_t length = std::strlen(text);
  return bytes.size() >= at + length && std::memcmp(bytes.data() + at, text, length) == 0;
}

bool IsPng(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= kSignatureBytes &&
         std::memcmp(bytes.data(), kPngSignature, kSignatureBytes) == 0;
}

uint32_t BigEndian32(const uint8_t* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

int32_t LittleEndian32(const uint8_t* bytes) {
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) |
                              (static_cast<uint32_t>(bytes[1]) << 8) |
                              (static_cast<uint32_t>(bytes[2]) << 16) |
                              (static_cast<uint32_t>(bytes[3]) << 24));
}

// Each side is bounded on its own first, so that the product cannot
// overflow whatever the header says.
bool SizeWithin(int64_t width, int64_t height, int64_t maxPixels) {
  return width <= maxPixels && height <= maxPixels && width * height <= maxPixels;
}

// PNG and BMP headers state the picture's size before any pixel is read,
// and the decoder allocates it at once: refuse pictures the renderer could
// never want. A header too short to read is left to the decoder, which
// refuses it. A PNG stream must also hold every chunk it announces.
bool StatedSizeAcceptable(const std::vector<uint8_t>& bytes, int64_t maxPixels) {
  if (IsPng(bytes)) {
    if (!PngChunksComplete(bytes)) {
      return false;
    }
    if (bytes.size() >= 24 && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0) {
      const int64_t width = BigEndian32(bytes.data() + 16);
      const int64_t height = BigEndian32(bytes.data() + 20);
      return width > 0 && height > 0 && SizeWithin(width, height, maxPixels);
    }
  }
  if (StartsWith(bytes, 0, "BM") && bytes.size() >= 26) {
    // int32 width at 18 and height at 22, negative for top-down rows.
    const int64_t width = std::abs(static_cast<int64_t>(LittleEndian32(bytes.data() + 18)));
    const int64_t height = std::abs(static_cast<int64_t>(LittleEndian32(bytes.data() + 22)));
    return SizeWithin(width, height, maxPixels);
  }
  return true;
}

}  // namespace

bool ReadRegularFile(const char* path, std::size_t limit, std::vector<uint8_t>* bytes) {
  bytes->clear();
  if (path == nullptr || path[0] == '\0') {
    return false;
  }
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
            static_cast<uint64_t>(info.st_size) <= limit;
  if (ok) {
    bytes->resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (ok && done < bytes->size()) {
      const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      // A read error, or the file shrank under us: not the whole file.
      ok = got > 0;
      if (ok) {
        done += static_cast<std::size_t>(got);
      }
    }
  }
  close(fd);
  if (!ok) {
    bytes->clear();
  }
  return ok;
}

bool PngChunksComplete(const std::vector<uint8_t>& bytes) {
  constexpr std::size_t kChunkOverhead = 12;  // length, type, CRC
  if (!IsPng(bytes)) {
    return false;
  }
  // at never passes the end: each step moves past a chunk that fits.
  std::size_t at = kSignatureBytes;
  while (bytes.size() - at >= kChunkOverhead) {
    const std::size_t length = BigEndian32(bytes.data() + at);
    if (length > bytes.size() - at - kChunkOverhead) {
      return false;
    }
    if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) {
      return true;
    }
    at += kChunkOverhead + length;
  }
  return false;
}

bool IsDecodablePicture(const std::vector<uint8_t>& bytes) {
  const bool jpeg = bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
  const bool webp = StartsWith(bytes, 0, "RIFF") && StartsWith(bytes, 8, "WEBP");
  return IsPng(bytes) || jpeg || StartsWith(bytes, 0, "BM") || webp;
}

cv::Mat DecodePictureBytes(std::vector<uint8_t>& bytes, int64_t maxPixels) {
  if (bytes.size() >= kSignatureBytes &&
      std::memcmp(bytes.data(), kConvertedImageMagic, kSignatureBytes) == 0) {
    std::memcpy(bytes.data(), kPngSignature, kSignatureBytes);
  }
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX) || !IsDecodablePicture(bytes) ||
      !StatedSizeAcceptable(bytes, maxPixels)) {
    return cv::Mat();
  }
  try {
    const cv::Mat encoded(1, static_cast<int>(bytes.size()), CV_8UC1, bytes.data());
    return cv::imdecode(encoded, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception&) {
    return cv::Mat();
  }
}
