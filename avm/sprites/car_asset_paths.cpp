#include "avm/sprites/car_asset_paths.h"

#include <cstdarg>
#include <cstring>

#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"

bool CarNameFitsPathBuffers(const char* assetRoot, const char* carName) {
  if (assetRoot == nullptr || carName == nullptr) {
    return false;
  }
  const std::size_t nameLength = std::strlen(carName);
  if (nameLength >= kSceneTextBufferSize) {
    return false;
  }
  const std::size_t longest =
      std::strlen(assetRoot) + std::strlen(kCarTreeDir) + nameLength + kLongestCarFileSuffix;
  return longest < kPathBufferSize;
}

bool CarFilePath(char* buffer, std::size_t capacity, const char* assetRoot, const char* carName,
                 const char* relativeFormat, ...) {
  if (!FormatPath(buffer, capacity, "%s%s//%s", assetRoot, kCarTreeDir, carName)) {
    return false;
  }
  const std::size_t head = std::strlen(buffer);
  va_list args;
  va_start(args, relativeFormat);
  const bool fits = FormatPathV(buffer + head, capacity - head, relativeFormat, args);
  va_end(args);
  if (!fits) {
    buffer[0] = '\0';
  }
  return fits;
}

bool WholeCarImagePath(char* buffer, std::size_t capacity, const ViewParam* scene, int angle) {
  if (scene->numberedCarLayout == 1) {
    return FormatPath(buffer, capacity, "%s%scar%d/color%d/a/%d.kes", scene->assetRoot,
                      kCarTreeDir, scene->carNumber, scene->colorNumber, angle);
  }
  return FormatPath(buffer, capacity, "%s%s%s/color/a/%d.kes", scene->assetRoot, kCarTreeDir,
                    scene->carName, angle);
}

bool CarPicturePath(char* buffer, std::size_t capacity, const ViewParam* scene, int type) {
  static const char* const kPictures[3] = {"light2", "warning2", "light1"};
  if (type < 0 || type > 2) {
    if (capacity > 0) {
      buffer[0] = '\0';
    }
    return false;
  }
  return FormatPath(buffer, capacity, "%s%s%s/color/%s.kes", scene->assetRoot, kCarTreeDir,
                    scene->carName, kPictures[type]);
}
