#pragma once
// A JNIEnv without a Java VM, for threaded tests that call the native
// methods directly under ThreadSanitizer (the VM cannot run there). It
// knows strings and int arrays and the few calls the renderer makes on
// them; any other call reaches a null slot and crashes the test, which is
// what an unexpected use of the environment should do.
#include <jni.h>

#include <string>
#include <vector>

// One environment per thread, as the VM gives them.
class FakeJniEnv {
 public:
  FakeJniEnv();
  FakeJniEnv(const FakeJniEnv&) = delete;
  FakeJniEnv& operator=(const FakeJniEnv&) = delete;
  JNIEnv* env() { return &env_; }

 private:
  JNINativeInterface_ table_;
  JNIEnv env_;
};

// Values owned by the test, handed over as Java references.
struct FakeJavaString {
  std::string utf8;
};
struct FakeJavaIntArray {
  std::vector<jint> values;
};
inline jstring AsJava(FakeJavaString* value) { return reinterpret_cast<jstring>(value); }
inline jintArray AsJava(FakeJavaIntArray* value) { return reinterpret_cast<jintArray>(value); }
