#include "host/jvm/host_jvm.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex gStartMutex;
JavaVM* gVm = nullptr;

}  // namespace

JavaVM* HostJvm() {
  std::lock_guard<std::mutex> lock(gStartMutex);
  return gVm;
}

JNIEnv* HostJvmEnv(const std::vector<std::string>& extraOptions) {
  JavaVM* vm = nullptr;
  {
    std::lock_guard<std::mutex> lock(gStartMutex);
    if (gVm == nullptr) {
      std::vector<std::string> texts = {
          std::string("-Djava.class.path=") + HOST_JAVA_CLASSPATH,
          std::string("-Djava.library.path=") + HOST_LIBRARY_PATH,
          // Misuse of the JNI by our libraries shows up as a warning or an
          // abort instead of silent memory damage.
          "-Xcheck:jni",
      };
      texts.insert(texts.end(), extraOptions.begin(), extraOptions.end());
      std::vector<JavaVMOption> options(texts.size());
      for (std::size_t i = 0; i < texts.size(); ++i) {
        options[i].optionString = const_cast<char*>(texts[i].c_str());
        options[i].extraInfo = nullptr;
      }
      JavaVMInitArgs args{};
      args.version = JNI_VERSION_1_8;
      args.nOptions = static_cast<jint>(options.size());
      args.options = options.data();
      args.ignoreUnrecognized = JNI_FALSE;
      JNIEnv* env = nullptr;
      if (JNI_CreateJavaVM(&gVm, reinterpret_cast<void**>(&env), &args) != JNI_OK) {
        std::fprintf(stderr, "host_jvm: JNI_CreateJavaVM failed\n");
        gVm = nullptr;
        return nullptr;
      }
      return env;
    }
    vm = gVm;
  }
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6) == JNI_OK) {
    return env;
  }
  if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
    return nullptr;
  }
  return env;
}

bool HostJvmTakeException(JNIEnv* env, std::string* description) {
  if (!env->ExceptionCheck()) {
    return false;
  }
  jthrowable error = env->ExceptionOccurred();
  env->ExceptionClear();
  if (description != nullptr) {
    description->clear();
    jclass throwableClass = env->FindClass("java/lang/Throwable");
    jmethodID toString = env->GetMethodID(throwableClass, "toString", "()Ljava/lang/String;");
    auto text = static_cast<jstring>(env->CallObjectMethod(error, toString));
    if (text != nullptr) {
      const char* chars = env->GetStringUTFChars(text, nullptr);
      *description = chars;
      env->ReleaseStringUTFChars(text, chars);
      env->DeleteLocalRef(text);
    }
    env->DeleteLocalRef(throwableClass);
  }
  env->DeleteLocalRef(error);
  return true;
}
