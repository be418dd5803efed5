// Guide lines, the radar display and objects in the host app: starts a Java
// VM with the app's class com.kestra.avm.AVM, initialises the renderer on a
// copy of the sample asset kit, unpacks and selects the sample car, and then
// acts as an app that shows parking aids around the renderer's car:
//
// - it makes the radar pictures and the guide-line pictures itself (the
//   renderer ships none), uploads them into textures of its own and hands
//   them to the renderer;
// - it creates one AvmTrack and attaches it, so that the steering and gear
//   commands tell it to rebuild its lines;
// - in the top view (screen mode 12) it sets radar levels and distances
//   through the commands and, after each renderer frame, draws the guide
//   lines for a few steering angles, forward and in reverse, and the radar;
// - in the 3D view (screen mode 5) it places a few objects through SetObj.
//
// Every picture goes to the output directory as PNG, listed with its
// caption in captions.txt.
//
//   avm_guides_demo <asset directory> <output directory>
#include <GLES2/gl2.h>
#include <jni.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "avm_matrix.h"
#include "avm_radar.h"
#include "avm_track.h"
#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;
// Commands of the renderer.
constexpr int kCmdScreenMode = 0;
constexpr int kCmdGear = 1;
constexpr int kCmdSteering = 3;
constexpr int kCmdRadarLevels = 5;
constexpr int kCmdViewAngle = 7;
constexpr int kCmdRadarBytes1 = 65;
constexpr int kCmdRadarBytes2 = 66;
constexpr int kCmdExtraLines = 67;
constexpr int kCmdRadarInputMode = 68;
constexpr int kScreenModeTop = 12;
constexpr int kScreenMode3D = 5;

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
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

// A texture of the app holding an RGBA picture (rows top first).
GLuint UploadPicture(const cv::Mat& bgra) {
  cv::Mat rgba;
  cv::cvtColor(bgra, rgba, cv::COLOR_BGRA2RGBA);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba.cols, rgba.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data);
  return name;
}

// A radar segment: a translucent field of the level's colour with a bright
// rim at the outer edge (image row 0).
cv::Mat SegmentPicture(const cv::Scalar& colour) {
  cv::Mat picture(64, 64, CV_8UC4);
  for (int y = 0; y < picture.rows; ++y) {
    const double fade = 1.0 - 0.6 * y / picture.rows;
    picture.row(y).setTo(cv::Scalar(colour[0], colour[1], colour[2], 230 * fade));
  }
  cv::rectangle(picture, cv::Rect(0, 0, 64, 10), cv::Scalar(colour[0], colour[1], colour[2], 255),
                cv::FILLED);
  cv::rectangle(picture, cv::Rect(0, 0, 64, 64), cv::Scalar(255, 255, 255, 255), 2);
  return picture;
}

// A distance wall: horizontal bars of the zone's colour.
cv::Mat WallPicture(const cv::Scalar& colour) {
  cv::Mat picture(64, 64, CV_8UC4, cv::Scalar(colour[0], colour[1], colour[2], 90));
  for (int y = 4; y < 64; y += 16) {
    cv::rectangle(picture, cv::Rect(0, y, 64, 8), cv::Scalar(colour[0], colour[1], colour[2], 240),
                  cv::FILLED);
  }
  return picture;
}

// A guide line: s across the band, t along it; a solid core with soft
// edges, dashed towards its far end.
cv::Mat LinePicture(const cv::Scalar& colour) {
  cv::Mat picture(256, 16, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  for (int y = 0; y < picture.rows; ++y) {
    const bool gap = y > 160 && (y / 16) % 2 == 1;
    for (int x = 0; x < picture.cols; ++x) {
      const int edge = std::min(x, picture.cols - 1 - x);
      const int alpha = gap ? 0 : (edge >= 3 ? 255 : 80 * edge);
      picture.at<cv::Vec4b>(y, x) = cv::Vec4b(static_cast<uchar>(colour[0]),
                                              static_cast<uchar>(colour[1]),
                                              static_cast<uchar>(colour[2]),
                                              static_cast<uchar>(alpha));
    }
  }
  return picture;
}

// The radar routines blink: of their calls 1 to 12 are shown, then 13
// hidden, 13 shown, and so on.
bool RadarShownAtCall(int call) { return call <= 12 || ((call - 13) / 13) % 2 == 1; }

struct App {
  JNIEnv* env;
  jclass avm;
  jmethodID setCmd;
  jmethodID draw;
  jmethodID setObj;
  jintArray camera;
  std::string output;
  std::ofstream captions;
  int radarCalls = 0;

  int Cmd(int cmd, int arg, const char* what) {
    const int result = CallInt(env, avm, setCmd, cmd, arg);
    std::printf("AVM.SetCmd(%d, %d) = %d (%s)\n", cmd, arg, result, what);
    return result;
  }

  bool Frame() {
    if (CallInt(env, avm, draw, camera) != 1) {
      std::fprintf(stderr, "demo: AVM.Draw failed\n");
      return false;
    }
    return true;
  }

  // The frame as the screen shows it: blending leaves partial alpha in the
  // frame buffer, which a display ignores, so the picture is written opaque.
  void Save(const std::string& name, const std::string& caption) {
    std::vector<uint8_t> rgba = HostEglReadPixels();
    const cv::Mat frame(kScreenHeight, kScreenWidth, CV_8UC4, rgba.data());
    cv::Mat bgr;
    cv::cvtColor(frame, bgr, cv::COLOR_RGBA2BGR);
    if (cv::imwrite(output + "/" + name, bgr)) {
      captions << name << '\t' << caption << '\n';
      std::printf("wrote %s: %s\n", name.c_str(), caption.c_str());
    } else {
      std::fprintf(stderr, "demo: could not write %s\n", name.c_str());
    }
  }

  // Frames until the next radar call is a shown one, so that each picture
  // has the radar on; the renderer's frame comes first every time.
  bool FrameWithRadarShown() {
    while (!RadarShownAtCall(radarCalls + 1)) {
      if (!Frame()) {
        return false;
      }
      DrawRadar();
      ++radarCalls;
    }
    return Frame();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <asset directory> <output directory>\n", argv[0]);
    return 2;
  }
  std::string assets = argv[1];
  if (assets.back() != '/') {
    assets += '/';
  }
  if (!FileExists(assets + "common/demo.car")) {
    std::fprintf(stderr, "demo: %s is not a copy of the sample asset kit\n", assets.c_str());
    return 1;
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
  App app{env, avm, StaticMethod(env, avm, "SetCmd", "(II)I"),
          StaticMethod(env, avm, "Draw", "([I)I"), StaticMethod(env, avm, "SetObj", "([[I)I"),
          env->NewIntArray(1), argv[2], {}};
  mkdir(app.output.c_str(), 0755);
  app.captions.open(app.output + "/captions.txt");
  // The renderer draws its scene only over a camera picture; the host has
  // no camera, so the app hands texture 0 (black) as the picture.
  const jint cameraTexture = 0;
  env->SetIntArrayRegion(app.camera, 0, 1, &cameraTexture);

  const jmethodID initialise = StaticMethod(env, avm, "initialise", "(Ljava/lang/String;)I");
  const jmethodID setCar = StaticMethod(env, avm, "SetCar", "(Ljava/lang/String;I)I");
  const int initialised = CallInt(env, avm, initialise, env->NewStringUTF(assets.c_str()));
  std::printf("AVM.Init(\"%s\") = %d\n", assets.c_str(), initialised);
  if (initialised != 1) {
    return 1;
  }
  std::printf("AVM.SetCar(\"demo.car\", 1) = %d (unpack)\n",
              CallInt(env, avm, setCar, env->NewStringUTF("demo.car"), 1));
  std::printf("AVM.SetCar(\"demo\", 3) = %d (select)\n",
              CallInt(env, avm, setCar, env->NewStringUTF("demo"), 3));

  // The app's own pictures: green, amber and red for levels 1 to 3 (corner
  // and middle segments alike), and walls for the far, middle and near zone.
  const cv::Scalar green(60, 200, 60), amber(0, 170, 255), red(40, 40, 230);
  uint32_t radar[9];
  const cv::Scalar levelColours[3] = {green, amber, red};
  for (int level = 0; level < 3; ++level) {
    radar[level] = UploadPicture(SegmentPicture(levelColours[level]));
    radar[3 + level] = UploadPicture(SegmentPicture(levelColours[level]));
    radar[6 + level] = UploadPicture(WallPicture(levelColours[level]));
  }
  std::printf("AvmSetRadarTextures(9) = %d\n", AvmSetRadarTextures(radar, 9));
  const GLuint mainLine = UploadPicture(LinePicture(cv::Scalar(0, 220, 255)));
  const GLuint extraA = UploadPicture(LinePicture(cv::Scalar(255, 200, 0)));
  const GLuint extraB = UploadPicture(LinePicture(cv::Scalar(255, 80, 200)));
  std::printf("AvmSetTrackTextures = %d\n", AvmSetTrackTextures(mainLine, extraA, extraB));

  AvmTrack track;
  std::printf("AvmTrack: wheelbase %.1f, side offset %.6f\n", track.wheelbase, track.sideOffset);
  std::printf("AvmAttachGuideTrack = %d\n", AvmAttachGuideTrack(&track));

  app.Cmd(kCmdScreenMode, kScreenModeTop, "top view");
  for (int warmUp = 0; warmUp < 3; ++warmUp) {
    app.Frame();
  }
  float view[16];
  float proj[16];

  // Radar levels, four 4-bit levels per end; bit 16 picks the rear group.
  app.Cmd(kCmdRadarInputMode, 0, "radar values are levels");
  app.Cmd(kCmdRadarLevels, 1 | (2 << 4) | (3 << 8) | (1 << 12), "front sensors 1, 2, 3, 1");
  app.Cmd(kCmdRadarLevels, 0x10000 | 0 | (1 << 4) | (2 << 8) | (0 << 12), "rear sensors 0, 1, 2, 0");

  struct Guide {
    const char* name;
    int gear;
    int steer;
    int extraLines;
    const char* caption;
  };
  const Guide guides[] = {
      {"guides_forward_straight.png", 0, 0, 0,
       "Top view, driving forward with the wheel straight: two straight guide bands ahead of the "
       "car, radar levels at both ends (front 1-2-3-1, rear 0-1-2-0)"},
      {"guides_forward_left15.png", 0, 15, 0,
       "Top view, forward, steering 15 degrees left: the guide arcs bend left around the turning "
       "centre on the rear axle"},
      {"guides_forward_right25.png", 0, -25, 1,
       "Top view, forward, steering 25 degrees right, extra lines on (command 67 = 1): four arcs"},
      {"guides_reverse_straight.png", 1, 0, 0,
       "Top view, reverse gear, wheel straight: the bands run backwards from behind the car"},
      {"guides_reverse_left20.png", 1, 20, 2,
       "Top view, reverse, steering 20 degrees left, extra lines 2: the rear arcs and the second "
       "pair"},
  };
  for (const Guide& guide : guides) {
    app.Cmd(kCmdGear, guide.gear, guide.gear == 1 ? "reverse" : "forward");
    app.Cmd(kCmdSteering, guide.steer, "steering");
    app.Cmd(kCmdExtraLines, guide.extraLines, "extra lines");
    if (!app.FrameWithRadarShown()) {
      return 1;
    }
    AvmGetFrameMatrices(view, proj);
    const float steer = static_cast<float>(guide.steer);
    if (guide.gear == 0) {
      if (guide.steer == 0) {
        track.Front(view, proj);
      } else if (guide.steer > 0) {
        track.FrontLeft(view, proj, steer);
      } else {
        track.FrontRight(view, proj, -steer);
      }
    } else {
      if (guide.steer == 0) {
        track.Back(view, proj);
      } else if (guide.steer > 0) {
        track.BackLeft(view, proj, steer);
      } else {
        track.BackRight(view, proj, -steer);
      }
    }
    DrawRadar();
    ++app.radarCalls;
    app.Save(guide.name, guide.caption);
  }

  // Distances in centimetres, one byte per sensor (byte 3 is sensor 0).
  app.Cmd(kCmdGear, 1, "reverse");
  app.Cmd(kCmdSteering, 0, "steering");
  app.Cmd(kCmdExtraLines, 0, "extra lines");
  app.Cmd(kCmdRadarInputMode, 1, "radar values are distances");
  app.Cmd(kCmdRadarBytes1, static_cast<int>(0x00000000u), "front sensors clear");
  app.Cmd(kCmdRadarBytes2, static_cast<int>((140u << 24) | (60u << 16) | (25u << 8) | 120u),
          "rear sensors 140, 60, 25, 120 cm");
  if (!app.FrameWithRadarShown()) {
    return 1;
  }
  AvmGetFrameMatrices(view, proj);
  track.Back(view, proj);
  DrawRadar();
  ++app.radarCalls;
  app.Save("radar_distances_top.png",
           "Top view, reverse: radar distance walls behind the car at 140, 60, 25 and 120 cm "
           "(far zone green, middle amber, near red), seen from above");

  // The 3D view: walls standing on their arcs and objects around the car.
  app.Cmd(kCmdScreenMode, kScreenMode3D, "3D view");
  app.Cmd(kCmdViewAngle, 300, "view from behind, to the right");
  const int objects[][8] = {
      {1, 0, 0, 0, 230, 40, 40, 255},      // red, straight ahead
      {1, 0, -180, 120, 40, 120, 230, 255},  // blue, ahead and to the left
      {1, 0, 200, -250, 250, 200, 30, 255},  // yellow, right of the front
      {1, 0, 60, -1150, 60, 200, 80, 255},   // green, behind the car
  };
  jclass intArray = env->FindClass("[I");
  jobjectArray outer = env->NewObjectArray(4, intArray, nullptr);
  for (jsize i = 0; i < 4; ++i) {
    jintArray inner = env->NewIntArray(8);
    env->SetIntArrayRegion(inner, 0, 8, objects[i]);
    env->SetObjectArrayElement(outer, i, inner);
    env->DeleteLocalRef(inner);
  }
  std::printf("AVM.SetObj(4 objects) = %d\n", CallInt(env, avm, app.setObj, outer));
  for (int frame = 0; frame < 200; ++frame) {
    app.Frame();
  }
  if (!app.FrameWithRadarShown()) {
    return 1;
  }
  AvmGetFrameMatrices(view, proj);
  DrawRadar();
  ++app.radarCalls;
  app.Save("objects_3d.png",
           "3D view from behind on the right: four objects set through AVM.SetObj (red ahead, blue "
           "ahead left, yellow right, green behind) and the radar distance walls behind the car");

  std::printf("AvmAttachGuideTrack(null) = %d\n", AvmAttachGuideTrack(nullptr));
  return 0;
}
