#pragma once
// What the demo programs share to drive the app's Java class: looking up
// its static methods and calling them, stopping the demo with a message on
// standard error when a method is missing or Java throws, since a demo
// that went on after that would only show pictures of a broken state.
#include <jni.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/jvm/host_jvm.h"

// The static method name with its JNI signature; stops the demo when the
// class has none.
jmethodID StaticMethod(JNIEnv* env, jclass type, const char* name, const char* signature);

// Calls a static int method; stops the demo on a Java exception.
template <typename... Args>
jint CallInt(JNIEnv* env, jclass type, jmethodID method, Args... args) {
  const jint result = env->CallStaticIntMethod(type, method, args...);
  std::string description;
  if (HostJvmTakeException(env, &description)) {
    std::fprintf(stderr, "demo: Java threw %s\n", description.c_str());
    std::exit(1);
  }
  return result;
}

bool FileExists(const std::string& path);
