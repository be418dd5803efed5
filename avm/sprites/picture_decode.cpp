#include "avm/sprites/picture_decode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>

#include "avm/common/numbers.h"
#include "avm/common/regular_file.h"

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

bool IsJpeg(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

bool IsWebp(const std::vector<uint8_t>& bytes) {
  return StartsWith(bytes, 0, "RIFF") && StartsWith(bytes, 8, "WEBP");
}

uint32_t BigEndian32(const uint8_t* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

uint32_t LittleEndian24(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16);
}

uint32_t BigEndian16(const uint8_t* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 8) | static_cast<uint32_t>(bytes[1]);
}

uint32_t LittleEndian16(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8);
}

// Keeps the largest size a picture states; a WebP file may state several
// (its canvas and its image).
void Consider(StatedSize* stated, int64_t width, int64_t height) {
  if (!stated->known || width * height > stated->width * stated->height) {
    *stated = StatedSize{true, width, height};
  }
}

// The frame header (SOFn) of a JPEG stream, found by walking the marker
// segments from the start; it comes before the first scan.
StatedSize JpegSize(const std::vector<uint8_t>& bytes) {
  const std::size_t size = bytes.size();
  std::size_t at = 2;  // past SOI
  while (at < size) {
    if (bytes[at] != 0xFF) {
      return {};
    }
    while (at < size && bytes[at] == 0xFF) {
      ++at;  // fill bytes
    }
    if (at >= size) {
      return {};
    }
    const uint8_t marker = bytes[at++];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      continue;  // markers without a segment
    }
    if (marker == 0xD9 || marker == 0xDA || size - at < 2) {
      return {};  // the image or the stream ends before any frame header
    }
    const std::size_t length = BigEndian16(bytes.data() + at);
    const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                             marker != 0xC8 && marker != 0xCC;
    if (frameHeader) {
      // Length, precision, then the number of lines and of samples per line.
      if (length < 7 || size - at < 7) {
        return {};
      }
      return {true, BigEndian16(bytes.data() + at + 5), BigEndian16(bytes.data() + at + 3)};
    }
    if (length < 2) {
      return {};
    }
    at += length;
  }
  return {};
}

// Every size a WebP file states: the canvas of the extended format and the
// frame headers of lossy and lossless images.
StatedSize WebpSize(const std::vector<uint8_t>& bytes) {
  StatedSize stated;
  const std::size_t size = bytes.size();
  std::size_t at = 12;  // past "RIFF", its size and "WEBP"
  while (size - at >= 8) {
    const uint8_t* type = bytes.data() + at;
    const uint64_t length = static_cast<uint32_t>(LittleEndian32(bytes.data() + at + 4));
    const uint8_t* data = bytes.data() + at + 8;
    const std::size_t available = size - at - 8;
    if (std::memcmp(type, "VP8X", 4) == 0 && available >= 10) {
      Consider(&stated, int64_t{1} + LittleEndian24(data + 4), int64_t{1} + LittleEndian24(data + 7));
    } else if (std::memcmp(type, "VP8 ", 4) == 0 && available >= 10 && data[3] == 0x9D &&
               data[4] == 0x01 && data[5] == 0x2A) {
      Consider(&stated, LittleEndian16(data + 6) & 0x3FFF, LittleEndian16(data + 8) & 0x3FFF);
    } else if (std::memcmp(type, "VP8L", 4) == 0 && available >= 5 && data[0] == 0x2F) {
      const uint32_t bits = static_cast<uint32_t>(LittleEndian32(data + 1));
      Consider(&stated, int64_t{1} + (bits & 0x3FFF), int64_t{1} + ((bits >> 14) & 0x3FFF));
    }
    // Chunks are padded to an even length.
    const uint64_t padded = length + (length & 1);
    if (padded > available) {
      break;
    }
    at += 8 + static_cast<std::size_t>(padded);
  }
  return stated;
}

// Each side is bounded on its own first, so that the product cannot
// overflow whatever the header says.
bool SizeWithin(int64_t width, int64_t height, int64_t maxPixels) {
  return width <= maxPixels && height <= maxPixels && width * height <= maxPixels;
}

// The decoder allocates the size a header states at once, and some streams
// make it work through all of it however little data follows (a JPEG of a
// few hundred bytes stating 20000 x 20000 pixels decodes for seconds into
// gigabytes): a picture is decoded only when its size could be read and is
// one the renderer could ever want. A PNG stream must also hold every chunk
// it announces.
bool StatedSizeAcceptable(const std::vector<uint8_t>& bytes, int64_t maxPixels) {
  if (IsPng(bytes) && !PngChunksComplete(bytes)) {
    return false;
  }
  const StatedSize stated = StatedPictureSize(bytes);
  return stated.known && stated.width > 0 && stated.height > 0 &&
         SizeWithin(stated.width, stated.height, maxPixels);
}

}  // namespace

bool ReadRegularFile(const char* path, std::size_t limit, std::vector<uint8_t>* bytes) {
  bytes->clear();
  if (path == nullptr || path[0] == '\0') {
    return false;
  }
  int64_t size = 0;
  const int fd = OpenRegularFileDescriptor(path, &size);
  if (fd < 0) {
    return false;
  }
  bool ok = static_cast<uint64_t>(size) <= limit;
  if (ok) {
    bytes->resize(static_cast<std::size_t>(size));
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
  return IsPng(bytes) || IsJpeg(bytes) || StartsWith(bytes, 0, "BM") || IsWebp(bytes);
}

StatedSize StatedPictureSize(const std::vector<uint8_t>& bytes) {
  if (IsPng(bytes)) {
    if (bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
      return {};
    }
    return {true, BigEndian32(bytes.data() + 16), BigEndian32(bytes.data() + 20)};
  }
  if (StartsWith(bytes, 0, "BM")) {
    if (bytes.size() < 22) {
      return {};
    }
    // The oldest header (12 bytes) holds 16-bit sizes; every later one
    // int32 width and height, the height negative for top-down rows.
    if (LittleEndian32(bytes.data() + 14) == 12) {
      return {true, LittleEndian16(bytes.data() + 18), LittleEndian16(bytes.data() + 20)};
    }
    if (bytes.size() < 26) {
      return {};
    }
    return {true, std::abs(static_cast<int64_t>(LittleEndian32(bytes.data() + 18))),
            std::abs(static_cast<int64_t>(LittleEndian32(bytes.data() + 22)))};
  }
  if (IsJpeg(bytes)) {
    return JpegSize(bytes);
  }
  if (IsWebp(bytes)) {
    return WebpSize(bytes);
  }
  return {};
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
