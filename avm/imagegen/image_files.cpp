#include "avm/imagegen/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/include/avm_image_tools.h"
#include "avm/sprites/sprite_image.h"

namespace {

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

cv::Mat DecodeStoredPicture(const char* path) {
  std::vector<uint8_t> bytes;
  if (!ReadRegularFile(path, kMaxGlyphFileBytes, &bytes)) {
    return cv::Mat();
  }
  return DecodePictureBytes(bytes, kMaxGlyphPixels);
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
