#pragma once
// A JNIEnv without a Java VM, for threaded tests that call the native
// methods directly under ThreadSanitizer (the VM cannot run there). It
// knows strings, int arrays, arrays of int arrays and the few calls the renderer makes on
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
// Both array kinds answer GetArrayLength, so a reference says which it is.
struct FakeJavaArray {
  bool holdsObjects = false;
};
struct FakeJavaIntArray : FakeJavaArray {
  std::vector<jint> values;
};
// An int[][]: a null element stands for a null inner array.
struct FakeJavaObjectArray : FakeJavaArray {
  FakeJavaObjectArray() { holdsObjects = true; }
  std::vector<FakeJavaIntArray*> elements;
};
inline jstring AsJava(FakeJavaString* value) { return reinterpret_cast<jstring>(value); }
inline jintArray AsJava(FakeJavaIntArray* value) {
  return reinterpret_cast<jintArray>(static_cast<FakeJavaArray*>(value));
}
inline jobjectArray AsJava(FakeJavaObjectArray* value) {
  return reinterpret_cast<jobjectArray>(static_cast<FakeJavaArray*>(value));
}
