#include "avm/bridge/java_callbacks.h"

#include "avm/common/avm_log.h"
#include "avm/bridge/scene_state.h"

namespace {

constexpr const char* kAvmClassName = "com/kestra/avm/AVM";

// The calling thread's JNI environment; attaches the thread when it is not
// attached yet and says so, so the caller detaches it again afterwards.
JNIEnv* EnvironmentForThisThread(bool* attachedHere) {
  *attachedHere = false;
  if (gVmHandle == nullptr) {
    return nullptr;
  }
  JNIEnv* env = nullptr;
  if (gVmHandle->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6) == JNI_OK) {
    return env;
  }
  env = nullptr;
  if (gVmHandle->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
    return nullptr;
  }
  *attachedHere = true;
  return env;
}

jmethodID StaticMethod(JNIEnv* env, jclass type, const char* name, const char* signature) {
  jmethodID method = env->GetStaticMethodID(type, name, signature);
  if (method == nullptr) {
    env->ExceptionClear();
    AVM_LOGI("---------error,method %s%s not found", name, signature);
  }
  return method;
}

}  // namespace

void BindJavaCallbacks(JNIEnv* env) {
  JavaVM* vm = nullptr;
  if (env->GetJavaVM(&vm) == JNI_OK) {
    gVmHandle = vm;
  }
  jclass localClass = env->FindClass(kAvmClassName);
  if (localClass == nullptr) {
    env->ExceptionClear();
    AVM_LOGI("---------error,class %s not found", kAvmClassName);
    return;
  }
  auto globalClass = static_cast<jclass>(env->NewGlobalRef(localClass));
  env->DeleteLocalRef(localClass);
  if (globalClass == nullptr) {
    env->ExceptionClear();
    return;
  }
  // A repeated initialisation binds the same class again; drop the old reference.
  if (gBridge.avmClass != nullptr) {
    env->DeleteGlobalRef(gBridge.avmClass);
  }
  gBridge.avmClass = globalClass;
  gBridge.notifyMethod = StaticMethod(env, globalClass, "signalNotifyNative", "(IIII)V");
  gBridge.unzipMethod =
      StaticMethod(env, globalClass, "avmUnZip", "(Ljava/lang/String;Ljava/lang/String;)I");
  gBridge.loadTextureMethod =
      StaticMethod(env, globalClass, "avmLoadTexture", "(Ljava/lang/String;II)I");
}

int LoadTextureFunc(const char* path, int texture, int mode) {
  bool attachedHere = false;
  JNIEnv* env = EnvironmentForThisThread(&attachedHere);
  if (env == nullptr) {
    AVM_LOGI("-------------LoadTextureFunc,_jniEnv:NULL");
    return 0;
  }
  int result = 0;
  jstring javaPath = env->NewStringUTF(path != nullptr ? path : "");
  if (javaPath != nullptr && gBridge.loadTextureMethod != nullptr && gBridge.avmClass != nullptr) {
    result = env->CallStaticIntMethod(gBridge.avmClass, gBridge.loadTextureMethod, javaPath,
                                      static_cast<jint>(texture), static_cast<jint>(mode));
  }
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    result = 0;
  }
  // The thread may load many pictures while it stays attached (a whole
  // frame loop); its local references would pile up otherwise.
  if (javaPath != nullptr) {
    env->DeleteLocalRef(javaPath);
  }
  if (attachedHere) {
    gVmHandle->DetachCurrentThread();
  }
  return result;
}

void NotifySigFunc(int code) {
  bool attachedHere = false;
  JNIEnv* env = EnvironmentForThisThread(&attachedHere);
  if (env == nullptr) {
    AVM_LOGI("-------------NotifySigFunc,_jniEnv:NULL");
    return;
  }
  if (gBridge.avmClass != nullptr && gBridge.notifyMethod != nullptr) {
    env->CallStaticVoidMethod(gBridge.avmClass, gBridge.notifyMethod, static_cast<jint>(code),
                              static_cast<jint>(2), static_cast<jint>(3), static_cast<jint>(4));
  }
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
  }
  if (attachedHere) {
    gVmHandle->DetachCurrentThread();
  }
}
