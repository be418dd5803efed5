#include "tests/avm/fake_jni_env.h"

#include <cstdlib>
#include <cstring>

namespace {

// A Java exception raised by a region copy out of bounds, per thread.
thread_local bool tPendingException = false;

const char* JNICALL GetStringUTFChars(JNIEnv*, jstring text, jboolean* isCopy) {
  if (isCopy != nullptr) {
    *isCopy = JNI_TRUE;
  }
  return strdup(reinterpret_cast<FakeJavaString*>(text)->utf8.c_str());
}

void JNICALL ReleaseStringUTFChars(JNIEnv*, jstring, const char* chars) {
  std::free(const_cast<char*>(chars));
}

FakeJavaIntArray* IntArray(jarray array) {
  return static_cast<FakeJavaIntArray*>(reinterpret_cast<FakeJavaArray*>(array));
}

FakeJavaObjectArray* ObjectArray(jarray array) {
  return static_cast<FakeJavaObjectArray*>(reinterpret_cast<FakeJavaArray*>(array));
}

jsize JNICALL GetArrayLength(JNIEnv*, jarray array) {
  if (reinterpret_cast<FakeJavaArray*>(array)->holdsObjects) {
    return static_cast<jsize>(ObjectArray(array)->elements.size());
  }
  return static_cast<jsize>(IntArray(array)->values.size());
}

jint* JNICALL GetIntArrayElements(JNIEnv*, jintArray array, jboolean* isCopy) {
  if (isCopy != nullptr) {
    *isCopy = JNI_FALSE;
  }
  auto* values = &IntArray(array)->values;
  return values->empty() ? nullptr : values->data();
}

void JNICALL ReleaseIntArrayElements(JNIEnv*, jintArray, jint*, jint) {}

void JNICALL GetIntArrayRegion(JNIEnv*, jintArray array, jsize start, jsize length, jint* out) {
  const auto& values = IntArray(array)->values;
  if (start < 0 || length < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > values.size()) {
    tPendingException = true;  // ArrayIndexOutOfBoundsException
    return;
  }
  // An empty array has no storage at all: memcpy from its null data is
  // undefined even for zero bytes.
  if (length > 0) {
    std::memcpy(out, values.data() + start, sizeof(jint) * static_cast<std::size_t>(length));
  }
}

jobject JNICALL GetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
  const auto& elements = ObjectArray(array)->elements;
  if (index < 0 || static_cast<std::size_t>(index) >= elements.size()) {
    tPendingException = true;  // ArrayIndexOutOfBoundsException
    return nullptr;
  }
  FakeJavaIntArray* element = elements[static_cast<std::size_t>(index)];
  return element == nullptr ? nullptr : AsJava(element);
}

// Local references are the test's own objects: nothing to release.
void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}

jboolean JNICALL ExceptionCheck(JNIEnv*) { return tPendingException ? JNI_TRUE : JNI_FALSE; }

void JNICALL ExceptionClear(JNIEnv*) { tPendingException = false; }

}  // namespace

FakeJniEnv::FakeJniEnv() {
  std::memset(&table_, 0, sizeof(table_));
  table_.GetStringUTFChars = GetStringUTFChars;
  table_.ReleaseStringUTFChars = ReleaseStringUTFChars;
  table_.GetArrayLength = GetArrayLength;
  table_.GetIntArrayElements = GetIntArrayElements;
  table_.ReleaseIntArrayElements = ReleaseIntArrayElements;
  table_.GetIntArrayRegion = GetIntArrayRegion;
  table_.GetObjectArrayElement = GetObjectArrayElement;
  table_.DeleteLocalRef = DeleteLocalRef;
  table_.ExceptionCheck = ExceptionCheck;
  table_.ExceptionClear = ExceptionClear;
  env_.functions = &table_;
}
