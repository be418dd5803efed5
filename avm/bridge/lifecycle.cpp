#include "avm/bridge/lifecycle.h"

#include <GLES2/gl2.h>

#include <cstring>

#include "avm/bridge/avm_jni.h"
#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/java_callbacks.h"
#include "avm/common/log_latch.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/shader_programs.h"
#include "avm/view/frame_loop.h"
#include "avm/view/view_init.h"

namespace {

// The test picture that stands in for the camera in test-picture mode.
constexpr const char* kTestPicturePath = "/sdcard/avm/pic.bmp";

using TextureField = uint32_t ViewParam::*;

// The general table, in the order of its one CreateTexture call.
constexpr TextureField kGeneralTable[20] = {
    &ViewParam::topViewTexture,         &ViewParam::carBottomTexture,
    &ViewParam::trackTexture,           &ViewParam::trackExtraTextureA,
    &ViewParam::trackExtraTextureB,     &ViewParam::powerLowTexture,
    &ViewParam::plateTexture,           &ViewParam::generalSpareTexture,
    &ViewParam::lineTexture,            &ViewParam::tireWarningTexture,
    &ViewParam::leakTexture,            &ViewParam::pressureLowTexture,
    &ViewParam::pressureHighTexture,    &ViewParam::temperatureHighTexture,
    &ViewParam::tireOkTexture,          &ViewParam::logoTexture,
    &ViewParam::safeLineTexture,        nullptr,
    nullptr,                            nullptr,
};

// The layer table: the three ground layers first, then the other layer
// pictures and the spares.
constexpr TextureField kLayerTable[5] = {
    &ViewParam::backgroundTexture, &ViewParam::roadwayTexture, &ViewParam::laneTexture,
    &ViewParam::aiCarTexture,      &ViewParam::volumeLightTexture,
};

void CreateGeneralTextures(ViewParam* scene) {
  GLuint names[20] = {};
  CreateTexture(names, 20);
  int spare = 0;
  for (int i = 0; i < 20; ++i) {
    if (kGeneralTable[i] != nullptr) {
      scene->*kGeneralTable[i] = names[i];
    } else {
      scene->generalSpareTextures[spare++] = names[i];
    }
  }
}

void CreateLayerTextures(ViewParam* scene) {
  GLuint names[15] = {};
  CreateTexture(names, 15);
  for (int i = 0; i < 5; ++i) {
    scene->*kLayerTable[i] = names[i];
  }
  for (int i = 5; i < 15; ++i) {
    scene->layerSpareTextures[i - 5] = names[i];
  }
}

// One common picture through Java. Failures are not reported: the texture
// just stays empty.
void LoadCommonPicture(const char* path, uint32_t texture) {
  LoadTextureFunc(path, static_cast<int>(texture), 2);
}

void LoadCommonPictures(ViewParam* scene) {
  char path[kPathBufferSize];
  if (FormatPath(path, sizeof(path), "common/car_bottom%d.png", gStartupCarBottom)) {
    LoadCommonPicture(path, scene->carBottomTexture);
  }
  if (FormatPath(path, sizeof(path), "%s/common/plate/plate.png", scene->assetRoot)) {
    LoadCommonPicture(path, scene->plateTexture);
  }
  LoadCommonPicture("common/line.png", scene->lineTexture);
  LoadCommonPicture("common/tire_warning.png", scene->tireWarningTexture);
  LoadCommonPicture("common/power_low.png", scene->powerLowTexture);
  LoadCommonPicture("common/leak.png", scene->leakTexture);
  LoadCommonPicture("common/pressure_low.png", scene->pressureLowTexture);
  LoadCommonPicture("common/pressure_high.png", scene->pressureHighTexture);
  LoadCommonPicture("common/temperature_high.png", scene->temperatureHighTexture);
  LoadCommonPicture("common/tire_ok.png", scene->tireOkTexture);
  LoadCommonPicture("common/safe_line.png", scene->safeLineTexture);
}

void CreateRemainingTextures(ViewParam* scene) {
  CreateTexture(scene->spareTextures, 5);
  std::memset(scene->spareFlags, 0, sizeof(scene->spareFlags));
  CreateLayerTextures(scene);
  CreateTexture(scene->singleTexture, 2);
  GLuint frameNames[12] = {};
  CreateTexture(frameNames, 12);
  for (int i = 0; i < 12; ++i) {
    scene->frameTextures[i / 6][i % 6] = frameNames[i];
  }
  CreateTexture(scene->tirePanelTextures, 4);
  GLuint angleNames[kSpriteAngles * 2] = {};
  CreateTexture(angleNames, kSpriteAngles * 2);
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    scene->angleTextures[angle].texture = angleNames[2 * angle];
    scene->angleTextures[angle].second = angleNames[2 * angle + 1];
  }
  std::memset(scene->tirePanelReady, 0, sizeof(scene->tirePanelReady));
  std::memset(scene->angleLoaded, 0, sizeof(scene->angleLoaded));
  scene->firstFrameSeen = 0;
  scene->angleLoadEnabled = 0;
  scene->carSpriteReady = 0;
  DropStateImages(scene);
  scene->logoLoaded = 0;
  std::memset(scene->spareLoadFlags, 0, sizeof(scene->spareLoadFlags));
}

void LoadTestPicture(ViewParam* scene) {
  GLuint name = 0;
  CreateTexture(&name, 1);
  scene->cameraTexture = static_cast<int32_t>(name);
  if (LoadTextureFunc(kTestPicturePath, static_cast<int>(name), 2) == 0) {
    scene->testPictureMode = 0;
  }
}

// The asset directory as kept in assetRoot: with its closing separator, as
// every path format appends to it directly.
bool CopyAssetRoot(const char* assetDir, char* assetRoot) {
  const std::size_t length = std::strlen(assetDir);
  if (length == 0) {
    AVM_LOGI("---------error,files_path empty!");
    return false;
  }
  const bool closed = assetDir[length - 1] == '/';
  const std::size_t needed = length + (closed ? 0 : 1);
  if (needed > kMaxAssetRootLength) {
    AVM_LOGI("---------error,files_path too long:%zu bytes, at most %zu", needed,
             kMaxAssetRootLength);
    return false;
  }
  return FormatPath(assetRoot, kSceneTextBufferSize, "%s%s", assetDir, closed ? "" : "/");
}

}  // namespace

bool Initialised() { return gBridge.initialised.load(std::memory_order_acquire) == 1; }

void LogVersion() { AVM_LOGI("---------avm.so,version %.2f", kAvmVersion); }

bool InitialiseLocked(const char* assetDir) {
  if (assetDir == nullptr) {
    AVM_LOGI("---------error,files_path NULL!");
    return false;
  }
  // Checked before anything is allocated, so a refused directory leaves an
  // earlier initialisation untouched.
  char assetRoot[kSceneTextBufferSize];
  if (!CopyAssetRoot(assetDir, assetRoot)) {
    return false;
  }
  // Command 2 stops writing the current record without the lock until the
  // next one is complete (see gPublishedScene).
  ViewParam* const earlier = gPublishedScene.exchange(nullptr, std::memory_order_acq_rel);
  ViewParam* scene = AllocateSceneState();
  if (scene == nullptr) {
    AVM_LOGI("---------error,no memory for the scene");
    gPublishedScene.store(earlier, std::memory_order_release);
    return false;
  }
  std::memcpy(scene->assetRoot, assetRoot, sizeof(scene->assetRoot));
  scene->testPictureMode = gBridge.testPicture;
  scene->frameCounter = 0;

  CreateGeneralTextures(scene);
  LoadCommonPictures(scene);
  CreateRemainingTextures(scene);
  if (scene->testPictureMode != 0) {
    LoadTestPicture(scene);
  }
  scene->bottomStyle = gStartupBottomStyle;
  scene->screenIndex = gBridge.layoutCode;
  AvmInit(gStartupScreenWidth, gStartupScreenHeight, 0, 0);
  gPublishedScene.store(scene, std::memory_order_release);
  return true;
}

namespace {

// The steps of initialisation under the scene lock. chars is the asset
// directory, or null (unreadable tells a Java string whose characters could
// not be taken from a null one).
int InitialiseUnderLock(JNIEnv* env, const char* chars, bool unreadable, uint32_t start) {
  // Held for the whole start-up: the start-up commands (13, 17, 19, 89) may
  // arrive from other threads meanwhile, and a repeated initialisation must
  // not swap the scene under a running command.
  SceneLock lock;
  if (lock.nested()) {
    // From a Java callback of a frame or a command: the record in use by the
    // caller would be replaced under it.
    static LogLatch refused;
    LogOnChange(&refused, "---------Init:called from inside a call into Java, refused");
    return kEntryFailed;
  }
  if (env != nullptr) {
    BindJavaCallbacks(env);
  }
  LogVersion();
  if (unreadable) {
    AVM_LOGI("---------error,files_path unreadable!");
    return 0;
  }
  if (!InitialiseLocked(chars)) {
    return 0;
  }
  AVM_LOGI("---------AVM_Init time:%d", static_cast<int>(GetTickCount() - start));
  gBridge.initialised.store(1, std::memory_order_release);
  return 1;
}

// Initialisation, for the JNI method and for callers without a Java VM
// alike. With env, the Java callbacks are bound and the directory is taken
// from the Java string; without, the callbacks stay as they are (unbound in
// a process without a VM) and the directory is given as characters.
int InitialiseLibrary(JNIEnv* env, jstring javaAssetDir, const char* assetDir) {
  const uint32_t start = GetTickCount();
  const char* chars = assetDir;
  bool unreadable = false;
  if (env != nullptr && javaAssetDir != nullptr) {
    chars = env->GetStringUTFChars(javaAssetDir, nullptr);
    if (chars == nullptr) {
      env->ExceptionClear();
      unreadable = true;
    }
  }
  const int result = GuardEntry("Init", kEntryFailed, [&] {
    return InitialiseUnderLock(env, chars, unreadable, start);
  });
  if (env != nullptr && javaAssetDir != nullptr && chars != nullptr) {
    env->ReleaseStringUTFChars(javaAssetDir, chars);
  }
  return result;
}

}  // namespace

int AvmInitialiseLibrary(const char* assetDir) { return InitialiseLibrary(nullptr, nullptr, assetDir); }

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_Init(JNIEnv* env, jobject,
                                                               jstring assetDir) {
  return InitialiseLibrary(env, assetDir, nullptr);
}
