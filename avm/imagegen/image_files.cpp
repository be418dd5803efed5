#include "avm/imagegen/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/include/avm_image_tools.h"
#include "avm/sprites/sprite_image.h"

namespace {

uint32_t BigEndian32(const uint8_t* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

// BMP states its size in the header as well (int32 width at 18, height at
// 22, negative for top-down rows); the decoder would allocate it before
// reading a pixel.
bool BmpSizeAcceptable(const std::vector<uint8_t>& bytes, int64_t limit) {
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') {
    return true;
  }
  const auto le32 = [&bytes](std::size_t at) {
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[at]) |
                                (static_cast<uint32_t>(bytes[at + 1]) << 8) |
                                (static_cast<uint32_t>(bytes[at + 2]) << 16) |
                                (static_cast<uint32_t>(bytes[at + 3]) << 24));
  };
  const int64_t width = std::abs(static_cast<int64_t>(le32(18)));
  const int64_t height = std::abs(static_cast<int64_t>(le32(22)));
  return width <= limit && height <= limit && width * height <= limit;
}

// A PNG header names the picture's size before the decoder allocates it.
bool PngHeaderAcceptable(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 24 || std::memcmp(bytes.data(), kPngSignature, kSignatureBytes) != 0 ||
      std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
    return true;  // not a PNG header: the decoder judges the stream
  }
  const int64_t width = BigEndian32(bytes.data() + 16);
  const int64_t height = BigEndian32(bytes.data() + 20);
  // Each side is up to 2^32 - 1 here: bounded one by one first, so that the
  // product cannot overflow.
  return width > 0 && height > 0 && width <= kMaxGlyphPixels && height <= kMaxGlyphPixels &&
         width * height <= kMaxGlyphPixels;
}

bool WriteAll(int fd, const uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t wrote = write(fd, bytes + done, size - done);
    if (wrote < 0 && errno == EINTR) {
      continue;
    }
    if (wrote <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

struct FileTime {
  bool exists;
  int64_t modified;  // seconds
};

FileTime TimeOf(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) {
    return {false, 0};
  }
  return {true, static_cast<int64_t>(info.st_mtime)};
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

cv::Mat DecodeStoredPicture(const char* path) {
  std::vector<uint8_t> bytes;
  if (!ReadRegularFile(path, kMaxGlyphFileBytes, &bytes)) {
    return cv::Mat();
  }
  // A converted file is a PNG stream behind the renderer's magic: put the
  // signature back and the decoder takes it as the PNG it is.
  if (bytes.size() >= kSignatureBytes &&
      std::memcmp(bytes.data(), kConvertedImageMagic, kSignatureBytes) == 0) {
    std::memcpy(bytes.data(), kPngSignature, kSignatureBytes);
  }
  if (bytes.empty() || !PngHeaderAcceptable(bytes) || !BmpSizeAcceptable(bytes, kMaxGlyphPixels)) {
    return cv::Mat();
  }
  try {
    return cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception&) {
    return cv::Mat();
  }
}

bool ReplaceFileWith(const char* path, const uint8_t* bytes, std::size_t size,
                     Durability durability) {
  if (path == nullptr || path[0] == '\0') {
    return false;
  }
  const std::string part = std::string(path) + ".part";
  const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    return false;
  }
  bool ok = WriteAll(fd, bytes, size) &&
            (durability == Durability::kRemadeAfterRestart || fsync(fd) == 0);
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(part.c_str(), path) == 0;
  if (!ok) {
    unlink(part.c_str());
  }
  return ok;
}

bool SavePngReplacing(const char* path, const cv::Mat& picture, Durability durability) {
  std::vector<uint8_t> encoded;
  try {
    if (picture.empty() || !cv::imencode(".png", picture, encoded)) {
      return false;
    }
  } catch (const cv::Exception&) {
    return false;
  }
  return ReplaceFileWith(path, encoded.data(), encoded.size(), durability);
}

bool RefreshConvertedPicture(const char* pngPath, const char* binPath) {
  const FileTime png = TimeOf(pngPath);
  if (png.exists) {
    const FileTime bin = TimeOf(binPath);
    const int64_t apart = bin.modified > png.modified ? bin.modified - png.modified
                                                      : png.modified - bin.modified;
    if (!bin.exists || apart > 2) {
      pngToBin(pngPath, binPath);
    }
  }
  return TimeOf(binPath).exists;
}
