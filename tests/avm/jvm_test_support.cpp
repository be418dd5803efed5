#include "tests/avm/jvm_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "host/jvm/host_jvm.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/process_runner.h"

namespace {

JNIEnv* gEnv = nullptr;
jclass gAvm = nullptr;

jmethodID Method(const char* name, const char* signature) {
  jmethodID method = gEnv->GetStaticMethodID(gAvm, name, signature);
  if (method == nullptr) {
    HostJvmTakeException(gEnv);
    ADD_FAILURE() << "AVM." << name << signature << " missing";
  }
  return method;
}

void ExpectNoException(const char* what) {
  std::string description;
  if (HostJvmTakeException(gEnv, &description)) {
    ADD_FAILURE() << what << " threw " << description;
  }
}

}  // namespace

JNIEnv* StartJavaRenderer() {
  if (gEnv != nullptr) {
    return gEnv;
  }
  std::vector<std::string> options = {"-Dcom.kestra.avm.lib=avm_testable",
                                      "-Djava.awt.headless=true"};
#ifdef AVM_TEST_JVM_HEAP
  options.push_back(AVM_TEST_JVM_HEAP);
#endif
  gEnv = HostJvmEnv(options);
  if (gEnv == nullptr) {
    std::fprintf(stderr, "the Java VM did not start\n");
    std::abort();
  }
  StartTestGlContext();
  jclass local = gEnv->FindClass("com/kestra/avm/AVM");
  if (local == nullptr) {
    std::string description;
    HostJvmTakeException(gEnv, &description);
    std::fprintf(stderr, "com.kestra.avm.AVM did not load: %s\n", description.c_str());
    std::abort();
  }
  gAvm = static_cast<jclass>(gEnv->NewGlobalRef(local));
  gEnv->DeleteLocalRef(local);
  return gEnv;
}

int JavaInitialise(const char* assetDir) {
  jstring text = assetDir != nullptr ? gEnv->NewStringUTF(assetDir) : nullptr;
  const int result =
      gEnv->CallStaticIntMethod(gAvm, Method("initialise", "(Ljava/lang/String;)I"), text);
  ExpectNoException("AVM.initialise");
  if (text != nullptr) {
    gEnv->DeleteLocalRef(text);
  }
  return result;
}

int JavaDraw(const std::vector<int>* textures) {
  jintArray array = nullptr;
  if (textures != nullptr) {
    array = gEnv->NewIntArray(static_cast<jsize>(textures->size()));
    gEnv->SetIntArrayRegion(array, 0, static_cast<jsize>(textures->size()), textures->data());
  }
  const int result = gEnv->CallStaticIntMethod(gAvm, Method("Draw", "([I)I"), array);
  ExpectNoException("AVM.Draw");
  if (array != nullptr) {
    gEnv->DeleteLocalRef(array);
  }
  return result;
}

int JavaSetCmd(int cmd, int arg) {
  const int result = gEnv->CallStaticIntMethod(gAvm, Method("SetCmd", "(II)I"), cmd, arg);
  ExpectNoException("AVM.SetCmd");
  return result;
}

int JavaSetCar(const char* name, int mode) {
  jstring text = name != nullptr ? gEnv->NewStringUTF(name) : nullptr;
  const int result = gEnv->CallStaticIntMethod(
      gAvm, Method("SetCar", "(Ljava/lang/String;I)I"), text, static_cast<jint>(mode));
  ExpectNoException("AVM.SetCar");
  if (text != nullptr) {
    gEnv->DeleteLocalRef(text);
  }
  return result;
}

int JavaSetTirePressure(const std::vector<int>* values) {
  jintArray array = nullptr;
  if (values != nullptr) {
    array = gEnv->NewIntArray(static_cast<jsize>(values->size()));
    gEnv->SetIntArrayRegion(array, 0, static_cast<jsize>(values->size()), values->data());
  }
  const int result =
      gEnv->CallStaticIntMethod(gAvm, Method("SetTirePressure", "([I)I"), array);
  ExpectNoException("AVM.SetTirePressure");
  if (array != nullptr) {
    gEnv->DeleteLocalRef(array);
  }
  return result;
}

int JavaGenPlate(int region, const char* text, int style) {
  jstring string = text != nullptr ? gEnv->NewStringUTF(text) : nullptr;
  const int result = gEnv->CallStaticIntMethod(
      gAvm, Method("GenPlate", "(ILjava/lang/String;I)I"), region, string, style);
  ExpectNoException("AVM.GenPlate");
  if (string != nullptr) {
    gEnv->DeleteLocalRef(string);
  }
  return result;
}

std::vector<int> TakeNotifications() {
  auto array = static_cast<jintArray>(
      gEnv->CallStaticObjectMethod(gAvm, Method("takeNotifications", "()[I")));
  ExpectNoException("AVM.takeNotifications");
  std::vector<int> codes;
  if (array != nullptr) {
    codes.resize(static_cast<std::size_t>(gEnv->GetArrayLength(array)));
    gEnv->GetIntArrayRegion(array, 0, static_cast<jsize>(codes.size()), codes.data());
    gEnv->DeleteLocalRef(array);
  }
  return codes;
}

std::vector<std::string> TakeLoadRequests() {
  auto array = static_cast<jobjectArray>(
      gEnv->CallStaticObjectMethod(gAvm, Method("takeLoadRequests", "()[Ljava/lang/String;")));
  ExpectNoException("AVM.takeLoadRequests");
  std::vector<std::string> paths;
  if (array != nullptr) {
    const jsize count = gEnv->GetArrayLength(array);
    for (jsize i = 0; i < count; ++i) {
      auto text = static_cast<jstring>(gEnv->GetObjectArrayElement(array, i));
      const char* chars = gEnv->GetStringUTFChars(text, nullptr);
      paths.emplace_back(chars);
      gEnv->ReleaseStringUTFChars(text, chars);
      gEnv->DeleteLocalRef(text);
    }
    gEnv->DeleteLocalRef(array);
  }
  return paths;
}

int LoadCallCount() {
  const int count = gEnv->CallStaticIntMethod(gAvm, Method("loadCallCount", "()I"));
  ExpectNoException("AVM.loadCallCount");
  return count;
}

void SetDeviceStorageRoot(const std::string& root) {
  jstring text = root.empty() ? nullptr : gEnv->NewStringUTF(root.c_str());
  gEnv->CallStaticVoidMethod(gAvm, Method("setDeviceStorageRoot", "(Ljava/lang/String;)V"), text);
  ExpectNoException("AVM.setDeviceStorageRoot");
  if (text != nullptr) {
    gEnv->DeleteLocalRef(text);
  }
}

void SetJavaSwitch(const char* name, bool value) {
  jfieldID field = gEnv->GetStaticFieldID(gAvm, name, "Z");
  ASSERT_NE(field, nullptr) << name;
  gEnv->SetStaticBooleanField(gAvm, field, value ? JNI_TRUE : JNI_FALSE);
}

std::string JavaStartWithCar(const std::string& dir, const std::string& packagePath) {
  StartJavaRenderer();
  const std::string root = MakeAssetRoot(dir);
  const std::string file = packagePath.substr(packagePath.rfind('/') + 1);
  const std::string car = file.substr(0, file.rfind(".car"));
  const std::string package = ReadFile(packagePath);
  if (package.empty() || !WriteFile(root + "common/" + file, package)) {
    ADD_FAILURE() << "no car package at " << packagePath;
    return std::string();
  }
  const int initialised = JavaInitialise(root.c_str());
  const int unpacked = initialised == 1 ? JavaSetCar(file.c_str(), 1) : 0;
  const int selected = unpacked == 1 ? JavaSetCar(car.c_str(), 2) : 0;
  if (selected != 1) {
    ADD_FAILURE() << "initialise " << initialised << ", unpack " << unpacked << ", select "
                  << selected;
    return std::string();
  }
  return root;
}
