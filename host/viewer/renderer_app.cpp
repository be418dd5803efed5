#include "host/viewer/renderer_app.h"

#include <android/log.h>
#include <jni.h>

#include <cstring>
#include <mutex>

#include "host/jvm/host_jvm.h"

namespace {

// The renderer's log tag.
constexpr const char* kRendererTag = "KESTRA";
// A refusal is explained by a few lines; a renderer that logs without end
// (a broken car's every frame) must not grow the capture without end.
constexpr std::size_t kMaxCapturedLines = 256;

struct App {
  JNIEnv* env = nullptr;
  jclass avm = nullptr;
  jmethodID initialise = nullptr;
  jmethodID setCar = nullptr;
  jmethodID setCmd = nullptr;
  jmethodID draw = nullptr;
  jintArray camera = nullptr;
};
App gApp;

std::mutex gLogMutex;
std::FILE* gLogFile = nullptr;  // null: standard error through the log library
bool gCapturing = false;
std::vector<std::string> gCaptured;

void ViewerLogger(const __android_logger_data* data, const char* message) {
  const char* tag = data->tag != nullptr ? data->tag : "";
  const char* text = message != nullptr ? message : "";
  std::lock_guard<std::mutex> lock(gLogMutex);
  if (gCapturing && std::strcmp(tag, kRendererTag) == 0 && gCaptured.size() < kMaxCapturedLines) {
    gCaptured.emplace_back(text);
  }
  if (gLogFile != nullptr) {
    std::fprintf(gLogFile, "%s: %s\n", tag, text);
  } else {
    __android_log_stderr_logger(data, message);
  }
}

bool Method(const char* name, const char* signature, jmethodID* method, std::string* error) {
  *method = gApp.env->GetStaticMethodID(gApp.avm, name, signature);
  if (*method == nullptr) {
    HostJvmTakeException(gApp.env);
    *error = std::string("the app's class has no method ") + name + signature;
    return false;
  }
  return true;
}

int Checked(jint result) {
  std::string description;
  if (HostJvmTakeException(gApp.env, &description)) {
    std::fprintf(stderr, "avm-viewer: Java threw %s\n", description.c_str());
    return kJavaFailed;
  }
  return result;
}

}  // namespace

bool StartRendererApp(std::string* error) {
  __android_log_set_logger(ViewerLogger);
  // AWT stays headless: the class decodes pictures with ImageIO and needs
  // no display of its own.
  gApp.env = HostJvmEnv({"-Djava.awt.headless=true"});
  if (gApp.env == nullptr) {
    *error = "the Java VM did not start";
    return false;
  }
  jclass local = gApp.env->FindClass("com/kestra/avm/AVM");
  std::string description;
  if (local == nullptr || HostJvmTakeException(gApp.env, &description)) {
    *error = "the app's class com.kestra.avm.AVM did not load (" + description + ")";
    return false;
  }
  gApp.avm = static_cast<jclass>(gApp.env->NewGlobalRef(local));
  gApp.env->DeleteLocalRef(local);
  if (!Method("initialise", "(Ljava/lang/String;)I", &gApp.initialise, error) ||
      !Method("SetCar", "(Ljava/lang/String;I)I", &gApp.setCar, error) ||
      !Method("SetCmd", "(II)I", &gApp.setCmd, error) ||
      !Method("Draw", "([I)I", &gApp.draw, error)) {
    return false;
  }
  jintArray camera = gApp.env->NewIntArray(1);
  if (camera == nullptr || HostJvmTakeException(gApp.env)) {
    *error = "no memory for the camera array";
    return false;
  }
  const jint cameraTexture = 0;
  gApp.env->SetIntArrayRegion(camera, 0, 1, &cameraTexture);
  gApp.camera = static_cast<jintArray>(gApp.env->NewGlobalRef(camera));
  gApp.env->DeleteLocalRef(camera);
  return true;
}

int AppInitialise(const std::string& assetRoot) {
  jstring root = gApp.env->NewStringUTF(assetRoot.c_str());
  const int result = Checked(gApp.env->CallStaticIntMethod(gApp.avm, gApp.initialise, root));
  gApp.env->DeleteLocalRef(root);
  return result;
}

int AppSetCar(const std::string& name, int mode) {
  jstring text = gApp.env->NewStringUTF(name.c_str());
  const int result = Checked(gApp.env->CallStaticIntMethod(gApp.avm, gApp.setCar, text, mode));
  gApp.env->DeleteLocalRef(text);
  return result;
}

int AppSetCmd(int command, int argument) {
  return Checked(gApp.env->CallStaticIntMethod(gApp.avm, gApp.setCmd, command, argument));
}

int AppDraw() { return Checked(gApp.env->CallStaticIntMethod(gApp.avm, gApp.draw, gApp.camera)); }

void SetRendererLogFile(std::FILE* file) {
  std::lock_guard<std::mutex> lock(gLogMutex);
  gLogFile = file;
}

void StartLogCapture() {
  std::lock_guard<std::mutex> lock(gLogMutex);
  gCaptured.clear();
  gCapturing = true;
}

std::vector<std::string> TakeCapturedLog() {
  std::lock_guard<std::mutex> lock(gLogMutex);
  gCapturing = false;
  std::vector<std::string> lines;
  lines.swap(gCaptured);
  return lines;
}
