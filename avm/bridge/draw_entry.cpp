// The draw method: one call per frame on the GL thread. It paces the frame,
// performs the texture reloads that commands asked for, preloads one car
// image in idle time, steps the view animations, draws, and reports GL
// errors and slow frames. The scene lock is held for the whole frame.
#include <GLES2/gl2.h>


#include "avm/bridge/avm_jni.h"
#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/frame_clock.h"
#include "avm/bridge/java_callbacks.h"
#include "avm/bridge/lifecycle.h"
#include "avm/common/log_latch.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/whole_car_sprites.h"
#include "avm/view/frame_loop.h"
#include "avm/view/screen_modes.h"

namespace {

constexpr uint32_t kNormalPeriodMs = 40;
// A frame that ended this long after the previous one has no idle time for
// a preload.
constexpr uint32_t kIdleLoadLimitMs = 69;
constexpr uint32_t kSlowFrameMs = 30;
constexpr uint32_t kFrameTimeLogEvery = 300;
constexpr int kLastSpriteAngle = kSpriteAngles - 1;
// Bound on the error queue read per frame; a lost context may keep
// reporting forever.
constexpr int kMaxErrorsPerFrame = 64;

// Open doors of each step of the demo's door cycle, bit i = door i.
constexpr uint8_t kDemoDoorPattern[20] = {
    0x0, 0x1, 0x2, 0x4, 0x8, 0xF, 0x3, 0xC, 0x5, 0xA,
    0x6, 0x9, 0x7, 0xB, 0xE, 0xD, 0x0, 0x0, 0x0, 0x0,
};

// Loads the lowest angle that is not loaded yet. Returns false when every
// angle is loaded.
bool PreloadOneAngle(ViewParam* scene) {
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    if (scene->angleLoaded[angle].loaded != 0) {
      continue;
    }
    // Marked first, whatever the outcome: a broken image is not retried
    // every frame, not even one whose load stopped the frame.
    scene->angleLoaded[angle].loaded = 1;
    const int texture = static_cast<int>(scene->angleTextures[angle].texture);
    if (load_textureAll2(texture, angle) == 0) {
      AVM_LOGI("---------load_textureAll2 fail,%d", angle);
    }
    return true;
  }
  return false;
}

void PaceFrame(ViewParam* scene) {
  const uint32_t now = gFrameClock.now();
  nowTime = now;
  const uint32_t elapsed = now - preTime;
  // The paced path of the 3D view. A frame rate of 0 or below has no period
  // (the division would fault): such frames take the normal path.
  if (scene->carViewActive == 1 && scene->frameRate > 0) {
    const uint32_t period = static_cast<uint32_t>(1000 / scene->frameRate);
    if (period != kNormalPeriodMs) {
      if (elapsed < period) {
        gFrameClock.sleepMs(period - elapsed);
      }
      return;
    }
  }
  if (scene->angleLoaded[kLastSpriteAngle].loaded == 0) {
    if (elapsed > kIdleLoadLimitMs) {
      return;
    }
    if (scene->angleLoadEnabled == 1 && scene->singleTextureMode == 0 && PreloadOneAngle(scene)) {
      return;  // the load used this frame's idle time
    }
  }
  if (elapsed < kNormalPeriodMs) {
    gFrameClock.sleepMs(kNormalPeriodMs - elapsed);
  }
}

void PerformPendingReloads(ViewParam* scene) {
  char path[kPathBufferSize];
  if (scene->carBottomReload == 1) {
    if (FormatPath(path, sizeof(path), "common/car_bottom%d.png", gStartupCarBottom)) {
      LoadTextureFunc(path, static_cast<int>(scene->carBottomTexture), 2);
    }
    scene->carBottomReload = 0;
  }
  if (scene->plateReload == 1) {
    if (FormatPath(path, sizeof(path), "%s/common/plate/plate.png", scene->assetRoot)) {
      LoadTextureFunc(path, static_cast<int>(scene->plateTexture), 2);
    }
    scene->plateReload = 0;
  }
  if (scene->backgroundLoaded == 0) {
    if (FormatPath(path, sizeof(path), "%scommon/background%d.png", scene->assetRoot,
                   scene->backgroundIndex)) {
      LoadTextureFunc(path, static_cast<int>(scene->backgroundTexture), 2);
    }
    scene->backgroundLoaded = 1;
  }
  if (scene->roadwayLoaded == 0) {
    if (FormatPath(path, sizeof(path), "%scommon/roadway%d.png", scene->assetRoot,
                   scene->roadwayIndex)) {
      LoadTextureFunc(path, static_cast<int>(scene->roadwayTexture), 2);
    }
    scene->roadwayLoaded = 1;
  }
  if (scene->laneLoaded == 0) {
    if (FormatPath(path, sizeof(path), "%scommon/lane%d.png", scene->assetRoot,
                   scene->laneIndex)) {
      LoadTextureFunc(path, static_cast<int>(scene->laneTexture), 2);
    }
    scene->laneLoaded = 1;
  }
}

// The demonstration: the wheels steer to and fro, the doors run through
// their combinations and the speed climbs, all driven by the frame counter.
void AnimateDemo(ViewParam* scene) {
  const uint32_t n = scene->frameCounter;
  const int mode = scene->screenMode;
  if (n % 5 == 0) {
    if (DemoSteersIn(mode)) {
      gBridge.demoSteer += gDemoSteerStep;
    } else {
      gBridge.demoSteer = 0.0f;
    }
  }
  if (gBridge.demoSteer > 29.0f) {
    gDemoSteerStep = -0.2f;
  }
  if (gBridge.demoSteer < -29.0f) {
    gDemoSteerStep = 0.2f;
  }
  if (n % 500 == 0) {
    gDemoDirection = gDemoDirection == 1 ? 0 : 1;
    const uint8_t doors = kDemoDoorPattern[(n / 500) % 20];
    for (int door = 0; door < 4; ++door) {
      scene->doorOpen[door] = (doors >> door) & 1;
    }
    scene->topViewDirty = 1;
    // As for the door command: the cached state images show the doors of
    // before, in whichever mode they are shown next.
    DropStateImages(scene);
  }
  if (n % 25 == 0) {
    const int32_t speed = scene->vehicleSpeed.load(std::memory_order_relaxed);
    scene->vehicleSpeed.store(speed <= 50000 ? speed + 1000 : 1000, std::memory_order_relaxed);
  }
  AvmSetTireAngle(gBridge.demoSteer, gDemoDirection);
}

// Moves the 3D view one step towards its target and reports the end of a
// rotation show.
void TurnView(ViewParam* scene) {
  const int current = scene->spriteAngle;
  const int target = scene->spriteAngleTarget;
  if (current == target) {
    scene->frameRate = 25;
    return;
  }
  bool up = false;
  if (target > current) {
    // A rotation show always turns the positive way, even the long way round.
    up = target - current <= 96 || scene->rotationShow == 1;
  } else {
    up = current - target > 96;
  }
  const int step = scene->angleStep;
  int next = up ? current + step : current - step;
  next %= kSpriteAngles;
  if (next < 0) {
    next += kSpriteAngles;
  }
  scene->spriteAngle = next;
  if (next == target && target != scene->singleTextureAngle && scene->rotationShow == 1) {
    NotifySigFunc(scene->rotationReverseSeen != 0 ? kNotifyRotationShowEndedReversing
                                                  : kNotifyRotationShowEnded);
    scene->rotationShow = 0;
    scene->animationNotify = 0;
    NotifySigFunc(kNotifyAnimationEnded);
  }
  scene->camAngle = static_cast<float>(next) * 1.875f;
}

void ReportGlErrors() {
  for (int i = 0; i < kMaxErrorsPerFrame; ++i) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) {
      return;
    }
    AVM_LOGI("---------glGetError:%d", static_cast<int>(error));
  }
}

}  // namespace

int AvmDrawFrame(int cameraTexture) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  SceneLock lock;
  if (lock.nested()) {
    // Called from a Java callback of this very frame (or of a command):
    // a frame inside a frame would redo the pacing and the reloads halfway
    // through the outer one.
    static LogLatch refused;
    LogOnChange(&refused, "---------Draw:called from inside a call into Java, refused");
    return kEntryFailed;
  }
  ViewParam* scene = pViewParam;
  if (scene->firstFrameSeen == 0) {
    scene->firstFrameSeen = 1;
  }
  if (scene->carResetPending == 1) {
    resetCarModle();
    scene->carResetPending = 0;
  }
  PaceFrame(scene);
  preTime = gFrameClock.now();
  PerformPendingReloads(scene);

  ++scene->frameCounter;
  const uint32_t frameStart = gFrameClock.now();
  if (scene->testPictureMode == 0) {
    scene->cameraTexture = cameraTexture;
  }
  if (scene->demoMode != 0) {
    AnimateDemo(scene);
  }
  if (Is3DMode(scene->screenMode)) {
    TurnView(scene);
  }
  const int mode = scene->screenMode;
  if (EndsAnimationAtOnce(mode) && scene->animationNotify == 1) {
    scene->animationNotify = 0;
    NotifySigFunc(kNotifyAnimationEnded);
  }
  // Without a camera picture only the logo screen has anything to show.
  if (cameraTexture != -1 || scene->screenMode == kScreenModeLogo) {
    AvmDraw();
  }
  ReportGlErrors();
  const uint32_t frameTime = gFrameClock.now() - frameStart;
  if (scene->frameCounter % kFrameTimeLogEvery == 0 || frameTime > kSlowFrameMs) {
    AVM_LOGI("---------frame time:%d", static_cast<int>(frameTime));
  }
  return 1;
}

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_Draw(JNIEnv* env, jobject,
                                                               jintArray textures) {
  // A null or empty array means no camera picture; nothing past its end is read.
  jint* elements = nullptr;
  jint cameraTexture = -1;
  if (textures != nullptr && env->GetArrayLength(textures) > 0) {
    elements = env->GetIntArrayElements(textures, nullptr);
    if (elements != nullptr) {
      cameraTexture = elements[0];
    } else {
      env->ExceptionClear();
    }
  }
  const int result = GuardEntry("Draw", kEntryFailed, [cameraTexture] { return AvmDrawFrame(cameraTexture); });
  if (elements != nullptr) {
    env->ReleaseIntArrayElements(textures, elements, 0);
  }
  return result;
}
