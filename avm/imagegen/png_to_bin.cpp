// The renderer's converted image files: a PNG whose signature is replaced
// by the renderer's magic, kept beside the PNG it came from.
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/imagegen/image_files.h"
#include "avm/include/avm_image_tools.h"
#include "avm/sprites/sprite_image.h"

namespace {

int32_t ConvertPng(const char* pngPath, const char* binPath) {
  if (pngPath == nullptr || binPath == nullptr) {
    return 1;
  }
  // A source that cannot be opened changes nothing and says nothing: the
  // caller sees whether a ".bin" exists.
  if (access(pngPath, R_OK) != 0) {
    return 1;
  }
  std::vector<uint8_t> buffer;
  if (!ReadRegularFile(pngPath, kConversionLimitBytes, &buffer)) {
    // Neither file's time is touched: dating a stale ".bin" to now would
    // make it look up to date, and the source would never be converted.
    AVM_LOGI("%s pngToBin fail!", pngPath);
    return 1;
  }
  if (!buffer.empty()) {
    std::memcpy(buffer.data(), kConvertedImageMagic, std::min(buffer.size(), kSignatureBytes));
  }
  if (!ReplaceFileWith(binPath, buffer.data(), buffer.size(), Durability::kSurvivesPowerLoss)) {
    // The old copy, if any, stays whole and keeps its time, so the next
    // call tries again.
    AVM_LOGI("%s pngToBin write fail!", binPath);
    return 1;
  }
  if (utime(pngPath, nullptr) != 0) {
    AVM_LOGI("---------utime fail");
  }
  if (utime(binPath, nullptr) != 0) {
    AVM_LOGI("---------utime fail");
  }
  return 1;
}

}  // namespace

extern "C" int32_t pngToBin(const char* pngPath, const char* binPath) {
  // The result is 1 whatever happened: callers look at the ".bin" file.
  return GuardEntry("pngToBin", 1, [pngPath, binPath] { return ConvertPng(pngPath, binPath); });
}
