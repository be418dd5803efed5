// The selecting modes of SetCar (0 and 2..10), and the method itself: its
// lock, its log lines and the choice between unpacking and selecting.
#include "avm/bridge/car_selection.h"

#include <cstring>

#include "avm/bridge/avm_jni.h"
#include "avm/common/avm_log.h"
#include "avm/bridge/car_files.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/whole_car_sprites.h"
#include "avm/view/car_params.h"
#include "avm/view/frame_loop.h"

namespace {

constexpr int32_t kUnpackMode = 1;
constexpr uint32_t kHighestMode = 10;

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
  DropStateImages(scene);
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
      CarFilePath(path, sizeof(path), scene->assetRoot, name, "//tires//97//b5.kes") && Exists(path)
          ? 1
          : 0;

  AvmCalScale();

  if (scene->firstFrameSeen == 1) {
    // The next frame forgets the old car's images; single-texture mode
    // reloads at once.
    scene->carResetPending = 1;
    DropStateImages(scene);
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
  // From a Java callback of a frame or a command the selection runs inside
  // that call's hold of the lock; the frame takes the new car as it goes on.
  SceneLock lock;
  AVM_LOGI("---------SetCar:%s,mode:%d", name != nullptr ? name : "(null)", mode);
  if (!Initialised() ||
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
  const int result = GuardEntry("SetCar", kEntryFailed, [chars, mode] { return AvmSetCar(chars, mode); });
  if (chars != nullptr) {
    env->ReleaseStringUTFChars(name, chars);
  }
  return result;
}
