// The renderer in the host app: starts a Java VM with the app's class
// com.kestra.avm.AVM, which loads the shipped libavm.so; initialises the
// renderer on an asset directory inside a headless GL context; switches to
// the logo screen and draws frames at the renderer's own pace, writing some
// of them as PNG pictures.
//
//   avm_renderer_demo <asset directory> <output directory> [frames]
//
// When the asset directory has no common/logo.png, the demo draws one there.
#include <jni.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// A logo for the start-up screen: a night-blue gradient, a car seen from
// above inside a ring of guide marks, and the product line.
bool MakeLogo(const std::string& path) {
  cv::Mat logo(kScreenHeight, kScreenWidth, CV_8UC3);
  for (int y = 0; y < logo.rows; ++y) {
    const double t = static_cast<double>(y) / logo.rows;
    logo.row(y).setTo(cv::Scalar(90 + 60 * t, 40 + 30 * t, 20 + 10 * t));
  }
  const cv::Point centre(kScreenWidth / 2, kScreenHeight / 2 - 40);
  for (int i = 0; i < 24; ++i) {
    const double a = i * CV_PI / 12.0;
    const cv::Point from(centre.x + static_cast<int>(170 * std::cos(a)),
                         centre.y + static_cast<int>(170 * std::sin(a)));
    const cv::Point to(centre.x + static_cast<int>(200 * std::cos(a)),
                       centre.y + static_cast<int>(200 * std::sin(a)));
    cv::line(logo, from, to, cv::Scalar(80, 200, 255), 6, cv::LINE_AA);
  }
  cv::rectangle(logo, cv::Rect(centre.x - 55, centre.y - 120, 110, 240), cv::Scalar(230, 230, 230),
                cv::FILLED, cv::LINE_AA);
  cv::rectangle(logo, cv::Rect(centre.x - 45, centre.y - 60, 90, 70), cv::Scalar(120, 80, 40),
                cv::FILLED, cv::LINE_AA);
  cv::putText(logo, "AROUND VIEW", cv::Point(centre.x - 215, kScreenHeight - 60),
              cv::FONT_HERSHEY_DUPLEX, 2.0, cv::Scalar(255, 255, 255), 3, cv::LINE_AA);
  try {
    return cv::imwrite(path, logo);
  } catch (const cv::Exception& error) {
    std::fprintf(stderr, "demo: %s\n", error.what());
    return false;
  }
}

jmethodID StaticMethod(JNIEnv* env, jclass type, const char* name, const char* signature) {
  jmethodID method = env->GetStaticMethodID(type, name, signature);
  if (method == nullptr) {
    HostJvmTakeException(env);
    std::fprintf(stderr, "demo: AVM.%s%s missing\n", name, signature);
    std::exit(1);
  }
  return method;
}

// Calls a static int method and stops the demo on a Java exception.
template <typename... Args>
jint CallInt(JNIEnv* env, jclass avm, jmethodID method, Args... args) {
  const jint result = env->CallStaticIntMethod(avm, method, args...);
  std::string description;
  if (HostJvmTakeException(env, &description)) {
    std::fprintf(stderr, "demo: Java threw %s\n", description.c_str());
    std::exit(1);
  }
  return result;
}

void PrintLoadRequests(JNIEnv* env, jclass avm) {
  auto paths = static_cast<jobjectArray>(env->CallStaticObjectMethod(
      avm, StaticMethod(env, avm, "takeLoadRequests", "()[Ljava/lang/String;")));
  if (HostJvmTakeException(env)) {
    return;
  }
  const jsize count = paths != nullptr ? env->GetArrayLength(paths) : 0;
  for (jsize i = 0; i < count; ++i) {
    auto path = static_cast<jstring>(env->GetObjectArrayElement(paths, i));
    const char* chars = env->GetStringUTFChars(path, nullptr);
    std::printf("  picture asked of Java: %s\n", chars);
    env->ReleaseStringUTFChars(path, chars);
    env->DeleteLocalRef(path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <asset directory> <output directory> [frames]\n", argv[0]);
    return 2;
  }
  std::string assets = argv[1];
  if (assets.back() != '/') {
    assets += '/';
  }
  const std::string output = argv[2];
  const int frames = argc > 3 ? std::atoi(argv[3]) : 50;
  if (frames <= 0) {
    std::fprintf(stderr, "demo: the number of frames must be positive\n");
    return 2;
  }
  mkdir(assets.c_str(), 0755);
  mkdir((assets + "common").c_str(), 0755);
  mkdir(output.c_str(), 0755);
  if (!FileExists(assets + "common/logo.png")) {
    if (!MakeLogo(assets + "common/logo.png")) {
      return 1;
    }
    std::printf("demo: drew a logo into %scommon/logo.png\n", assets.c_str());
  }

  JNIEnv* env = HostJvmEnv({"-Djava.awt.headless=true"});
  if (env == nullptr || !HostEglStart(kScreenWidth, kScreenHeight)) {
    std::fprintf(stderr, "demo: no Java VM or no headless GL context\n");
    return 1;
  }
  jclass avm = env->FindClass("com/kestra/avm/AVM");
  if (avm == nullptr) {
    HostJvmTakeException(env);
    std::fprintf(stderr, "demo: com.kestra.avm.AVM did not load\n");
    return 1;
  }
  const jmethodID initialise = StaticMethod(env, avm, "initialise", "(Ljava/lang/String;)I");
  const jmethodID setCmd = StaticMethod(env, avm, "SetCmd", "(II)I");
  const jmethodID draw = StaticMethod(env, avm, "Draw", "([I)I");

  jstring root = env->NewStringUTF(assets.c_str());
  const int initialised = CallInt(env, avm, initialise, root);
  std::printf("AVM.Init(\"%s\") = %d\n", assets.c_str(), initialised);
  PrintLoadRequests(env, avm);
  if (initialised != 1) {
    return 1;
  }
  std::printf("AVM.SetCmd(84, 0) = %d (version x 100)\n",
              CallInt(env, avm, setCmd, 84, 0));
  std::printf("AVM.SetCmd(0, 20) = %d (logo screen)\n",
              CallInt(env, avm, setCmd, 0, 20));

  jintArray noCamera = env->NewIntArray(1);
  if (noCamera == nullptr || HostJvmTakeException(env)) {
    return 1;
  }
  const jint none = -1;
  env->SetIntArrayRegion(noCamera, 0, 1, &none);
  const auto start = std::chrono::steady_clock::now();
  int written = 0;
  for (int frame = 1; frame <= frames; ++frame) {
    if (CallInt(env, avm, draw, noCamera) != 1) {
      std::fprintf(stderr, "demo: AVM.Draw failed at frame %d\n", frame);
      return 1;
    }
    if (frame == 1 || frame % 25 == 0 || frame == frames) {
      char name[64];
      std::snprintf(name, sizeof(name), "/frame_%03d.png", frame);
      if (HostEglWritePng(output + name)) {
        ++written;
      }
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  PrintLoadRequests(env, avm);
  std::printf("drew %d frames in %.2f s (%.1f frames per second); %d written to %s\n", frames,
              seconds, frames / seconds, written, output.c_str());
  return 0;
}
