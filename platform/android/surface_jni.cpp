// The Java side hands over a surface object; on the host it carries the id
// of a memory-backed window in a long field "nativeWindowId". Any other
// object, a stale id or an id of an image-reader window gives null.
#include <android/native_window_jni.h>

#include "host_platform/host_platform.h"
#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"
#include "platform/android/window_registry.h"

extern "C" ANativeWindow* ANativeWindow_fromSurface(JNIEnv* env, jobject surface) {
  if (env == nullptr || surface == nullptr) {
    return nullptr;
  }
  jclass surfaceClass = env->GetObjectClass(surface);
  if (surfaceClass == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  jfieldID idField = env->GetFieldID(surfaceClass, "nativeWindowId", "J");
  env->DeleteLocalRef(surfaceClass);
  if (idField == nullptr) {
    env->ExceptionClear();
    HOSTPLAT_LOGE("ANativeWindow_fromSurface: object is not a surface");
    return nullptr;
  }
  const jlong id = env->GetLongField(surface, idField);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return nullptr;
  }
  ANativeWindow* window = AcquireSurfaceWindow(static_cast<int64_t>(id));
  if (window == nullptr) {
    HOSTPLAT_LOGE("ANativeWindow_fromSurface: no window %lld", static_cast<long long>(id));
    return nullptr;
  }
  HostJournal_record("ANativeWindow_fromSurface", "win=%lld", static_cast<long long>(id));
  return window;
}
