// The plate text and the tyre-pressure readings from Java. Both only store
// what arrived and mark what must be rebuilt, under the scene lock; the
// tyre panels are composed later on the GL thread, the plate picture here.
#include <jni.h>

#include <cstdint>

#include "avm/bridge/avm_jni.h"
#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/tire_plate_display.h"
#include "avm/include/avm_image_tools.h"

namespace {

// Layout of the tyre array: six blocks of four tyres, then three settings.
constexpr jsize kTireArrayLength = 27;
constexpr int kTires = 4;
constexpr int kPressures = 0;
constexpr int kTemperatures = 4;
constexpr int kPressureAlarms = 8;
constexpr int kLeaks = 12;
constexpr int kTempAlarms = 16;
constexpr int kBatteryLows = 20;
constexpr int kPressureUnit = 24;
constexpr int kTemperatureUnit = 25;
constexpr int kPanelStyle = 26;

constexpr uint32_t kHighestPlateStyle = 2;

void StoreTireReadings(ViewParam* scene, const jint (&e)[kTireArrayLength]) {
  for (int i = 0; i < kTires; ++i) {
    // Out-of-range values are no reading: the stored one stays, and only a
    // real change makes the panel be composed again.
    const int32_t pressure = e[kPressures + i];
    if (pressure >= 0 && pressure <= 999 && pressure != scene->tirePressure[i]) {
      scene->tirePressure[i] = pressure;
      scene->tirePanelReady[i] = 0;
    }
    const int32_t temperature = e[kTemperatures + i];
    if (temperature >= -99 && temperature <= 99 && temperature != scene->tireTemperature[i]) {
      scene->tireTemperature[i] = temperature;
      scene->tirePanelReady[i] = 0;
    }
  }
  for (int i = 0; i < kTires; ++i) {
    const int32_t alarm = e[kPressureAlarms + i];
    if (alarm >= 0 && alarm <= 2) {
      scene->tirePressureAlarm[i] = alarm;
    }
  }
  // Every panel picture is drawn in the style's pictures.
  if (e[kPanelStyle] != scene->tirePanelStyle) {
    for (int i = 0; i < kTires; ++i) {
      scene->tirePanelReady[i] = 0;
    }
  }
  // A panel that could not be made is tried again when anything it is
  // made from changes, the units too (a unit alone leaves made panels as
  // they are until they are next made).
  if (e[kPressureUnit] != scene->pressureUnit || e[kTemperatureUnit] != scene->temperatureUnit) {
    for (int i = 0; i < kTires; ++i) {
      if (scene->tirePanelReady[i] == kTirePanelFailed) {
        scene->tirePanelReady[i] = kTirePanelStale;
      }
    }
  }
  for (int i = 0; i < kTires; ++i) {
    scene->tireLeak[i] = e[kLeaks + i];
    scene->tireTempAlarm[i] = e[kTempAlarms + i];
    scene->tireBatteryLow[i] = e[kBatteryLows + i];
  }
  scene->pressureUnit = e[kPressureUnit];
  scene->temperatureUnit = e[kTemperatureUnit];
  scene->tirePanelStyle = e[kPanelStyle];
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_GenPlate(JNIEnv* env, jobject,
                                                                   jint region, jstring text,
                                                                   jint style) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  if (text == nullptr) {
    AVM_LOGI("---------GenPlate:no text");
    return 0;
  }
  const char* chars = env->GetStringUTFChars(text, nullptr);
  if (chars == nullptr) {
    env->ExceptionClear();
    AVM_LOGI("---------GenPlate:text not readable");
    return 0;
  }
  const int result = GuardEntry("GenPlate", kEntryFailed, [region, chars, style] {
    SceneLock lock;
    if (static_cast<uint32_t>(style) > kHighestPlateStyle) {
      return 0;
    }
    // A refused text or a missing sheet leaves plate.png as it was: there
    // is nothing new to load.
    if (AvmGenPlate(region, chars, style) != 1) {
      return 0;
    }
    pViewParam->plateReload = 1;
    return 1;
  });
  env->ReleaseStringUTFChars(text, chars);
  return result;
}

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetTirePressure(JNIEnv* env, jobject,
                                                                          jintArray values) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  if (values == nullptr) {
    AVM_LOGI("---------SetTirePressure:no array");
    return 0;
  }
  const jsize length = env->GetArrayLength(values);
  if (length != kTireArrayLength) {
    AVM_LOGI("---------SetTirePressure:%d elements refused,%d expected", static_cast<int>(length),
             static_cast<int>(kTireArrayLength));
    return 0;
  }
  jint e[kTireArrayLength];
  env->GetIntArrayRegion(values, 0, kTireArrayLength, e);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    AVM_LOGI("---------SetTirePressure:array not readable");
    return 0;
  }
  return GuardEntry("SetTirePressure", kEntryFailed, [&e] {
    SceneLock lock;
    StoreTireReadings(pViewParam, e);
    return 1;
  });
}
