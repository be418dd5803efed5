#include "host/demo/demo_java.h"

#include <sys/stat.h>

jmethodID StaticMethod(JNIEnv* env, jclass type, const char* name, const char* signature) {
  jmethodID method = env->GetStaticMethodID(type, name, signature);
  if (method == nullptr) {
    HostJvmTakeException(env);
    std::fprintf(stderr, "demo: AVM.%s%s missing\n", name, signature);
    std::exit(1);
  }
  return method;
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}
