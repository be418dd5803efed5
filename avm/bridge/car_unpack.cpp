// Mode 1 of SetCar: a car package is unpacked into {assetRoot}.tmp/ unless
// the car there already carries the package's time, and the unpacked car
// is checked for its two essential files.
#include "avm/bridge/car_selection.h"

#include <sys/stat.h>
#include <utime.h>

#include <cstring>

#include "avm/common/avm_log.h"
#include "avm/bridge/car_files.h"
#include "avm/bridge/car_package.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"

namespace {

void TouchNow(const char* path) {
  if (utime(path, nullptr) != 0) {
    AVM_LOGI("---------utime,%s fail", path);
  }
}

// The package's file name: the part after the last '/'. Relative names are
// files in common/, usually without directories; where they have some,
// the car still unpacks by its entries and is named after the file.
const char* PackageFileName(const char* name) {
  const char* slash = std::strrchr(name, '/');
  return slash != nullptr ? slash + 1 : name;
}

// Copies text up to (not including) its last '.', or all of it.
bool CopyWithoutExtension(const char* text, char* out, std::size_t capacity) {
  const char* dot = std::strrchr(text, '.');
  const std::size_t length = dot != nullptr ? static_cast<std::size_t>(dot - text) : std::strlen(text);
  if (length >= capacity) {
    return false;
  }
  std::memcpy(out, text, length);
  out[length] = '\0';
  return true;
}

// The car the package holds: its file name without the last four
// characters (the extension).
bool PackageCarName(const char* fileName, char* out, std::size_t capacity) {
  const std::size_t length = std::strlen(fileName);
  const std::size_t kept = length > 4 ? length - 4 : 0;
  if (kept >= capacity) {
    return false;
  }
  std::memcpy(out, fileName, kept);
  out[kept] = '\0';
  return true;
}

// After a failed unpack the marker may have been rewritten moments after
// the package was: its time would pass the up-to-date test by accident.
// Dating it back to 1970 keeps the next call from taking the damaged car
// for unpacked; the files themselves stay as they are.
void MarkStale(const char* marker) {
  if (!Exists(marker)) {
    return;
  }
  struct utimbuf longAgo = {};
  if (utime(marker, &longAgo) != 0) {
    AVM_LOGI("---------utime,%s fail", marker);
  }
}

// Up to date: the marker of the unpacked car is there, long enough, and
// carries the package's time.
bool PackageUpToDate(const FileFacts& package, const char* marker) {
  const FileFacts facts = Facts(marker);
  if (!facts.exists || facts.size < kUpToDateMarkerBytes) {
    return false;
  }
  const int64_t difference = facts.modified - package.modified;
  return difference <= kUpToDateSeconds && difference >= -kUpToDateSeconds;
}

}  // namespace

int UnpackCarPackage(const char* name) {
  const ViewParam* scene = pViewParam;
  char package[kPathBufferSize];
  bool named = false;
  if (name[0] == '/') {
    named = FormatPath(package, sizeof(package), "%s", name);
  } else {
    named = FormatPath(package, sizeof(package), "%scommon//%s", scene->assetRoot, name);
  }
  const char* fileName = PackageFileName(name);
  char cutName[kPathBufferSize];
  char carName[kPathBufferSize];
  char destination[kPathBufferSize];
  char marker[kPathBufferSize];
  char params[kPathBufferSize];
  char checkedMarker[kPathBufferSize];
  // Every path of this mode must fit before anything is read or written.
  if (!named || !CopyWithoutExtension(fileName, cutName, sizeof(cutName)) ||
      !PackageCarName(fileName, carName, sizeof(carName)) ||
      !FormatPath(destination, sizeof(destination), "%s/%s", scene->assetRoot, kCarTreeDir) ||
      !FormatPath(marker, sizeof(marker), "%s/%s/tires/right_30/f5.kes", destination, cutName) ||
      !CarFilePaths(scene, carName, params, checkedMarker)) {
    AVM_LOGI("---------loadcar %s failed!name too long.", name);
    return kSetCarPackageUnreadable;
  }
  const FileFacts packageFacts = Facts(package);
  if (!packageFacts.exists) {
    AVM_LOGI("---------loadcar %s failed!file not exist.", package);
    return kSetCarPackageMissing;
  }
  if (!Exists(destination) && mkdir(destination, 0755) != 0) {
    AVM_LOGI("---------loadcar %s failed!can not create %s", package, destination);
    return kSetCarPackageUnreadable;
  }
  if (PackageUpToDate(packageFacts, marker)) {
    return 1;
  }
  const int unpacked = UnpackFiles(package, destination);
  if (unpacked != kUnpackDone) {
    // The package keeps its time and the marker is dated back: the next
    // call unpacks again instead of taking the damaged car for up to date.
    MarkStale(marker);
    return unpacked;
  }
  const FileFacts paramsFacts = Facts(params);
  const FileFacts markerFacts = Facts(checkedMarker);
  if ((paramsFacts.exists && paramsFacts.size < kCarParamsBytes) ||
      (markerFacts.exists && markerFacts.size < kCarMarkerBytes)) {
    AVM_LOGI("---------loadcar failed! %s,%d,%d", carName, static_cast<int>(paramsFacts.size),
             static_cast<int>(markerFacts.size));
    MarkStale(marker);
    return kSetCarPackageDamaged;
  }
  // Package and marker carry the same time from now on: the next call
  // finds the car up to date.
  TouchNow(package);
  TouchNow(marker);
  return 1;
}
