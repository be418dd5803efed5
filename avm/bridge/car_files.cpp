#include "avm/bridge/car_files.h"

#include <sys/stat.h>

#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"

FileFacts Facts(const char* path) {
  FileFacts facts;
  struct stat info;
  if (path[0] != '\0' && stat(path, &info) == 0) {
    facts.exists = true;
    facts.size = static_cast<int64_t>(info.st_size);
    facts.modified = static_cast<int64_t>(info.st_mtime);
  }
  return facts;
}

bool Exists(const char* path) { return Facts(path).exists; }

// The two files that say a car directory is complete.
bool CarFilePaths(const ViewParam* scene, const char* carName, char* params, char* marker) {
  return CarFilePath(params, kPathBufferSize, scene->assetRoot, carName, "//params.bin") &&
         CarFilePath(marker, kPathBufferSize, scene->assetRoot, carName,
                     "//tires//right_30//f5.kes");
}
