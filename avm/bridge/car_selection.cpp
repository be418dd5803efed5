#include "avm/bridge/car_selection.h"

#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <mutex>

#include "avm/bridge/avm_jni.h"
#include "avm/bridge/avm_log.h"
#include "avm/bridge/car_package.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/whole_car_sprites.h"
#include "avm/view/car_params.h"

namespace {

constexpr int32_t kUnpackMode = 1;
constexpr uint32_t kHighestMode = 10;

struct FileFacts {
  bool exists = false;
  int64_t size = -1;  // -1 when missing
  int64_t modified = 0;
};

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

void TouchNow(const char* path) {
  if (utime(path, nullptr) != 0) {
    AVM_LOGI("---------utime,%s fail", path);
  }
}

// The two files that say a car directory is complete.
bool CarFilePaths(const ViewParam* scene, const char* carName, char* params, char* marker) {
  return FormatPath(params, kPathBufferSize, "%s%s//%s//params.bin", scene->assetRoot, kCarTreeDir,
                    carName) &&
         FormatPath(marker, kPathBufferSize, "%s%s//%s//tires//right_30//f5.kes", scene->assetRoot,
                    kCarTreeDir, carName);
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

void ClearStateImages(ViewParam* scene) {
  std::memset(scene->frameLoaded, 0, sizeof(scene->frameLoaded));
}

// The first 24 x (mode - 2) angles of a car selected before the first
// frame are loaded at once; the draw method loads the rest in idle time.
void PreloadFirstAngles(ViewParam* scene, int32_t mode) {
  scene->angleLoadEnabled = 1;
  std::memset(scene->angleLoaded, 0, sizeof(scene->angleLoaded));
  const int count = kPreloadAnglesPerModeStep * (mode - 2);
  for (int angle = 0; angle < count && angle < kSpriteAngles; ++angle) {
    if (scene->carSpritesPresent == 1 && scene->singleTextureMode == 0) {
      load_textureAll2(static_cast<int>(scene->angleTextures[angle].texture), angle);
      scene->angleLoaded[angle].loaded = 1;
    }
  }
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

int SelectCar(const char* name, int32_t mode) {
  ViewParam* scene = pViewParam;
  char params[kPathBufferSize];
  char marker[kPathBufferSize];
  // A name for which some loader path would not fit is refused here, so
  // that no loader ever meets a path it cannot form.
  if (!CarNameFitsPathBuffers(scene->assetRoot, name) ||
      !CarFilePaths(scene, name, params, marker)) {
    AVM_LOGI("---------set car %s failed!name too long.", name);
    return kSetCarNotPresent;
  }
  const FileFacts paramsFacts = Facts(params);
  const FileFacts markerFacts = Facts(marker);
  AVM_LOGI("---------set car %s,%d,%d", name, static_cast<int>(paramsFacts.size),
           static_cast<int>(markerFacts.size));
  if (!(paramsFacts.size > kCarParamsBytes && markerFacts.size > kCarMarkerBytes)) {
    AVM_LOGI("---------set car %s failed!car not exist.", name);
    return kSetCarNotPresent;
  }

  FormatPath(scene->carName, sizeof(scene->carName), "%s", name);
  scene->topViewDirty = 1;
  ClearStateImages(scene);
  scene->volumeLightLoaded = 0;
  scene->aiCarLoaded = 0;
  scene->carSpriteReady = 0;
  scene->angleStep = 1;

  char path[kPathBufferSize];
  scene->carSpritesPresent =
      FormatPath(path, sizeof(path), "%s%s/%s/color/a/1.kes", scene->assetRoot, kCarTreeDir, name) &&
              Exists(path)
          ? 1
          : 0;
  scene->partialWheelSpritesPresent =
      FormatPath(path, sizeof(path), "%s%s//%s//tires//97//b5.kes", scene->assetRoot, kCarTreeDir,
                 name) &&
              Exists(path)
          ? 1
          : 0;

  AvmCalScale();

  if (scene->firstFrameSeen == 1) {
    // The next frame forgets the old car's images; single-texture mode
    // reloads at once.
    scene->carResetPending = 1;
    ClearStateImages(scene);
    scene->blinkCounter = 0;
    scene->volumeLightLoaded = 0;
    scene->aiCarLoaded = 0;
    scene->singleTextureAngle = -1;
  } else if (mode == 0) {
    scene->angleLoadEnabled = 0;
  } else {
    PreloadFirstAngles(scene, mode);
  }
  return 1;
}

int AvmSetCar(const char* name, int32_t mode) {
  std::lock_guard<std::mutex> lock(gBridge.sceneMutex);
  AVM_LOGI("---------SetCar:%s,mode:%d", name != nullptr ? name : "(null)", mode);
  if (gBridge.initialised.load(std::memory_order_acquire) != 1 ||
      static_cast<uint32_t>(mode) > kHighestMode) {
    return kNotInitialised;
  }
  int result = 0;
  if (name == nullptr) {
    AVM_LOGI("---------SetCar:no name");
    result = mode == kUnpackMode ? kSetCarPackageMissing : kSetCarNotPresent;
  } else if (mode == kUnpackMode) {
    result = UnpackCarPackage(name);
  } else {
    result = SelectCar(name, mode);
  }
  AVM_LOGI("---------SetCar:out");
  return result;
}

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCar(JNIEnv* env, jobject,
                                                                 jstring name, jint mode) {
  const char* chars = nullptr;
  if (name != nullptr) {
    chars = env->GetStringUTFChars(name, nullptr);
    if (chars == nullptr) {
      env->ExceptionClear();
    }
  }
  const int result = AvmSetCar(chars, mode);
  if (chars != nullptr) {
    env->ReleaseStringUTFChars(name, chars);
  }
  return result;
}
