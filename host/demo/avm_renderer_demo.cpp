// The renderer in the host app: starts a Java VM with the app's class
// com.kestra.avm.AVM and initialises the renderer on an asset directory
// inside a headless GL context. When the directory holds the car package
// common/demo.car, the app unpacks it (AVM.SetCar("demo.car", 1)) and
// selects the car before the first frame (AVM.SetCar("demo", 3)), which
// loads its first 24 view angles at once. Then the logo screen is drawn for
// the given number of frames, at the renderer's own pace, some written as
// PNG pictures; then the 3D view (screen mode 5) until the renderer has
// loaded all 192 angles, one per idle frame besides those the turning view
// needs. Every frame logs how many angles are loaded. At the end every
// angle's texture is read back and laid out in one picture, angles.png.
//
//   avm_renderer_demo <asset directory> <output directory> [frames]
//
// The app's class loads avm_testable, the renderer's objects with every
// symbol visible, so that the demo can watch the loading in the scene
// record. When the asset directory has no common/logo.png, the demo draws
// one there.
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

#include <GLES2/gl2.h>

#include <mutex>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "host/demo/car_tour.h"
#include "host/demo/demo_java.h"
#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;

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

// Angles whose image the renderer has loaded, read under the scene lock.
int LoadedAngles() {
  std::lock_guard<std::mutex> lock(gBridge.sceneMutex);
  int count = 0;
  for (const AngleMark& mark : pViewParam->angleLoaded) {
    count += mark.loaded != 0 ? 1 : 0;
  }
  return count;
}

// A texture's image, width x height RGBA, read through a framebuffer.
cv::Mat ReadTexture(GLuint texture, int width, int height) {
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  cv::Mat rgba;
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
    rgba.create(height, width, CV_8UC4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  return rgba;
}

// Every angle's texture next to the others, 16 per row, each compared with
// the file it was loaded from. The texture holds the decoded bytes (B, G,
// R, A) unchanged, so it is written back as a BGRA picture as it stands.
void WriteAngleSheet(const std::string& carDirectory, const std::string& path) {
  constexpr int kColumns = 16;
  constexpr int kCellWidth = 160;
  constexpr int kCellHeight = 90;
  cv::Mat sheet(kCellHeight * (kSpriteAngles / kColumns), kCellWidth * kColumns, CV_8UC3,
                cv::Scalar(40, 40, 40));
  int matching = 0;
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    const cv::Mat file = cv::imread(carDirectory + "color/a/" + std::to_string(angle) + ".kes",
                                    cv::IMREAD_UNCHANGED);
    if (file.empty() || file.type() != CV_8UC4) {
      continue;
    }
    const cv::Mat texture = ReadTexture(pViewParam->angleTextures[angle].texture, file.cols, file.rows);
    if (texture.empty()) {
      continue;
    }
    if (cv::norm(texture, file, cv::NORM_INF) == 0.0) {
      ++matching;
    }
    cv::Mat bgr;
    cv::cvtColor(texture, bgr, cv::COLOR_BGRA2BGR);
    const double scale = std::min(static_cast<double>(kCellWidth - 4) / bgr.cols,
                                  static_cast<double>(kCellHeight - 4) / bgr.rows);
    cv::Mat thumb;
    cv::resize(bgr, thumb, cv::Size(), scale, scale, cv::INTER_AREA);
    const int x = (angle % kColumns) * kCellWidth + (kCellWidth - thumb.cols) / 2;
    const int y = (angle / kColumns) * kCellHeight + (kCellHeight - thumb.rows) / 2;
    thumb.copyTo(sheet(cv::Rect(x, y, thumb.cols, thumb.rows)));
  }
  std::printf("%d of %d angle textures hold exactly the bytes of their color/a/<n>.kes\n", matching,
              kSpriteAngles);
  try {
    if (cv::imwrite(path, sheet)) {
      std::printf("angle textures laid out in %s\n", path.c_str());
    }
  } catch (const cv::Exception& error) {
    std::fprintf(stderr, "demo: %s\n", error.what());
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

  JNIEnv* env = HostJvmEnv({"-Dcom.kestra.avm.lib=avm_testable", "-Djava.awt.headless=true"});
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
  const jmethodID setCar = StaticMethod(env, avm, "SetCar", "(Ljava/lang/String;I)I");

  jstring root = env->NewStringUTF(assets.c_str());
  const int initialised = CallInt(env, avm, initialise, root);
  std::printf("AVM.Init(\"%s\") = %d\n", assets.c_str(), initialised);
  PrintLoadRequests(env, avm);
  if (initialised != 1) {
    return 1;
  }
  std::printf("AVM.SetCmd(84, 0) = %d (version x 100)\n",
              CallInt(env, avm, setCmd, 84, 0));
  const bool withCar = FileExists(assets + "common/demo.car");
  if (withCar) {
    jstring package = env->NewStringUTF("demo.car");
    jstring car = env->NewStringUTF("demo");
    std::printf("AVM.SetCar(\"demo.car\", 1) = %d (unpack into %s.tmp/demo/)\n",
                CallInt(env, avm, setCar, package, 1), assets.c_str());
    std::printf("AVM.SetCar(\"demo\", 3) = %d (select before the first frame)\n",
                CallInt(env, avm, setCar, car, 3));
    std::printf("after selection: %d of %d angles loaded\n", LoadedAngles(), kSpriteAngles);
  } else {
    std::printf("no common/demo.car in %s: logo screen only\n", assets.c_str());
  }
  std::printf("AVM.SetCmd(0, 20) = %d (logo screen)\n",
              CallInt(env, avm, setCmd, 0, 20));

  std::FILE* captions = std::fopen((output + "/captions.txt").c_str(), "w");
  if (captions == nullptr) {
    std::fprintf(stderr, "demo: cannot write %s/captions.txt\n", output.c_str());
    return 1;
  }
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
    if (withCar) {
      std::printf("frame %d (logo): %d of %d angles loaded\n", frame, LoadedAngles(), kSpriteAngles);
    }
    if (frame == 1 || frame % 25 == 0 || frame == frames) {
      char name[64];
      std::snprintf(name, sizeof(name), "/frame_%03d.png", frame);
      if (HostEglWritePng(output + name)) {
        ++written;
        if (frame == 1) {
          std::fprintf(captions, "%s\t%s\n", name + 1,
                       "The logo screen (screen mode 20) that the renderer shows at start-up.");
        }
      }
    }
  }
  // The 3D view: the frame loop loads the angle it shows, the draw method
  // one more per idle frame, until every angle is there.
  if (withCar) {
    std::printf("AVM.SetCmd(0, 5) = %d (3D view)\n", CallInt(env, avm, setCmd, 0, 5));
    const jint cameraName = 0;
    jintArray camera = env->NewIntArray(1);
    if (camera == nullptr || HostJvmTakeException(env)) {
      return 1;
    }
    env->SetIntArrayRegion(camera, 0, 1, &cameraName);
    int frame = 0;
    for (int loaded = LoadedAngles(); loaded < kSpriteAngles && frame < 2000;
         loaded = LoadedAngles()) {
      if (CallInt(env, avm, draw, camera) != 1) {
        std::fprintf(stderr, "demo: AVM.Draw failed in the 3D view\n");
        return 1;
      }
      ++frame;
      std::printf("frame %d (3D view, angle %d): %d of %d angles loaded\n", frames + frame,
                  pViewParam->spriteAngle, LoadedAngles(), kSpriteAngles);
    }
    std::printf("all %d angles loaded after %d frames of the 3D view\n", LoadedAngles(), frame);
    WriteAngleSheet(assets + ".tmp/demo/", output + "/angles.png");
    std::fprintf(captions, "angles.png\t%s\n",
                 "Every one of the 192 whole-car textures the renderer loaded, read back from GL "
                 "(16 per row, angle 0 top left).");
    DemoApp app;
    app.env = env;
    app.avm = avm;
    app.setCmd = setCmd;
    app.draw = draw;
    app.camera = camera;
    app.output = output;
    app.captions = captions;
    RunCarTour(app);
  }
  std::fclose(captions);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  PrintLoadRequests(env, avm);
  std::printf("drew %d frames in %.2f s (%.1f frames per second); %d written to %s\n", frames,
              seconds, frames / seconds, written, output.c_str());
  return 0;
}
