// The objects shown around the car, from Java: one int array per object,
// copied into the object slots of the scene under the scene lock. The frame
// loop draws every slot whose first element is non-zero.
#include <jni.h>

#include <cstring>

#include "avm/bridge/avm_jni.h"
#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"

namespace {

// Reads the inner array of one object into slot (already zero). Longer
// arrays are cut to the slot's length; false when the array is null or not
// readable, which leaves the slot empty.
bool ReadObject(JNIEnv* env, jintArray array, int index, jint* slot) {
  if (array == nullptr) {
    AVM_LOGI("---------SetObj:object %d is null, its slot stays empty", index);
    return false;
  }
  jsize length = env->GetArrayLength(array);
  if (length > kObjectSlotWords) {
    AVM_LOGI("---------SetObj:object %d has %d ints, %d kept", index, static_cast<int>(length),
             kObjectSlotWords);
    length = kObjectSlotWords;
  }
  env->GetIntArrayRegion(array, 0, length, slot);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    std::memset(slot, 0, sizeof(jint) * kObjectSlotWords);
    AVM_LOGI("---------SetObj:object %d not readable", index);
    return false;
  }
  return true;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetObj(JNIEnv* env, jobject,
                                                                 jobjectArray objects) {
  if (!Initialised()) {
    return kNotInitialised;
  }
  if (objects == nullptr) {
    AVM_LOGI("---------SetObj:no array");
    return 0;
  }
  jsize count = env->GetArrayLength(objects);
  if (count > kObjectSlots) {
    AVM_LOGI("---------SetObj:%d objects, the first %d kept", static_cast<int>(count),
             kObjectSlots);
    count = kObjectSlots;
  }
  // Java is read before the lock is taken, so that a frame never waits on it.
  jint slots[kObjectSlots][kObjectSlotWords] = {};
  for (jsize i = 0; i < count; ++i) {
    jobject element = env->GetObjectArrayElement(objects, i);
    if (env->ExceptionCheck()) {
      env->ExceptionClear();
      AVM_LOGI("---------SetObj:object %d not readable", static_cast<int>(i));
      continue;
    }
    ReadObject(env, static_cast<jintArray>(element), static_cast<int>(i), slots[i]);
    if (element != nullptr) {
      env->DeleteLocalRef(element);
    }
  }
  static_assert(sizeof(slots) == sizeof(pViewParam->objectSlots), "slot layout");
  return GuardEntry("SetObj", kEntryFailed, [&slots] {
    SceneLock lock;
    std::memcpy(pViewParam->objectSlots, slots, sizeof(slots));
    return 1;
  });
}
