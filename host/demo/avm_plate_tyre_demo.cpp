// The number plate and the tyre panels in the host app: starts a Java VM
// with the app's class com.kestra.avm.AVM, initialises the renderer on an
// asset directory (a copy of the sample kit) in a headless GL context,
// unpacks and selects the sample car, sets a plate text (AVM.GenPlate) and
// tyre readings (AVM.SetTirePressure: one tyre with a leak, one running hot,
// one with a low sensor battery, one normal), switches the panels and the
// plate on and draws the 3D view (screen mode 5) at a few view angles,
// writing each as a PNG frame. Then it copies the generated plate.png and
// pressure.png and reads every composed tyre panel back from its texture.
// Every picture is listed with a caption in captions.txt.
//
//   avm_plate_tyre_demo <asset directory> <output directory>
//
// The app's class loads avm_testable, so that the demo can see in the scene
// record which angle the view has reached and which panels are composed.
#include <GLES2/gl2.h>
#include <jni.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "host/demo/demo_java.h"
#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;
constexpr int kScreenMode3D = 5;
constexpr int kCmdScreenMode = 0;
constexpr int kCmdViewAngle = 7;
constexpr int kCmdPlateShown = 15;
constexpr int kCmdTirePanelMode = 75;

const char kPlateText[] = "KZ4711";
constexpr int kPlateRegion = 3;
constexpr int kPlateStyle = 0;

bool CopyFile(const std::string& from, const std::string& to) {
  std::ifstream source(from, std::ios::binary);
  std::ofstream target(to, std::ios::binary);
  target << source.rdbuf();
  return source.good() && target.good();
}

// The tyre array as the app sends it: pressures, temperatures, pressure
// alarms, leaks, temperature alarms, battery flags (four each), then the
// pressure unit, the temperature unit and the panel style.
std::vector<jint> TyreReadings() {
  const jint pressure[4] = {118, 236, 241, 239};    // tyre 0 losing air
  const jint temperature[4] = {24, 93, 27, 26};     // tyre 1 running hot
  const jint pressureAlarm[4] = {1, 0, 0, 0};       // tyre 0 pressure low
  const jint leak[4] = {1, 0, 0, 0};                // tyre 0 leaking
  const jint temperatureAlarm[4] = {0, 1, 0, 0};
  const jint batteryLow[4] = {0, 0, 1, 0};          // tyre 2's sensor
  std::vector<jint> e;
  for (const jint* block : {pressure, temperature, pressureAlarm, leak, temperatureAlarm, batteryLow}) {
    e.insert(e.end(), block, block + 4);
  }
  e.push_back(0);  // pressure unit 0 (kPa)
  e.push_back(0);  // temperature unit 0 (degrees Celsius)
  e.push_back(0);  // panel style 0
  return e;
}

struct SceneView {
  int spriteAngle;
  int spriteAngleTarget;
  int panelsReady[4];
};

SceneView Look() {
  std::lock_guard<std::mutex> lock(gBridge.sceneMutex);
  SceneView view{pViewParam->spriteAngle, pViewParam->spriteAngleTarget, {}};
  for (int t = 0; t < 4; ++t) {
    view.panelsReady[t] = pViewParam->tirePanelReady[t];
  }
  return view;
}

// A texture's image, width x height, read through a framebuffer, written as
// the picture Java uploaded (R, G, B, A, first row on top).
bool WriteTexture(GLuint texture, int width, int height, const std::string& path) {
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  bool written = false;
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
    cv::Mat rgba(height, width, CV_8UC4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data);
    cv::Mat bgra;
    cv::cvtColor(rgba, bgra, cv::COLOR_RGBA2BGRA);
    cv::Mat large;
    cv::resize(bgra, large, cv::Size(width * 4, height * 4), 0, 0, cv::INTER_NEAREST);
    written = cv::imwrite(path, large);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  return written;
}

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
  const std::string output = argv[2];
  mkdir(output.c_str(), 0755);
  if (!FileExists(assets + "common/demo.car") || !FileExists(assets + "common/plate/number0.bin")) {
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
  const jmethodID initialise = StaticMethod(env, avm, "initialise", "(Ljava/lang/String;)I");
  const jmethodID setCmd = StaticMethod(env, avm, "SetCmd", "(II)I");
  const jmethodID draw = StaticMethod(env, avm, "Draw", "([I)I");
  const jmethodID setCar = StaticMethod(env, avm, "SetCar", "(Ljava/lang/String;I)I");
  const jmethodID genPlate = StaticMethod(env, avm, "GenPlate", "(ILjava/lang/String;I)I");
  const jmethodID setTires = StaticMethod(env, avm, "SetTirePressure", "([I)I");

  const int initialised = CallInt(env, avm, initialise, env->NewStringUTF(assets.c_str()));
  std::printf("AVM.Init(\"%s\") = %d\n", assets.c_str(), initialised);
  if (initialised != 1) {
    return 1;
  }
  std::printf("AVM.SetCar(\"demo.car\", 1) = %d (unpack)\n",
              CallInt(env, avm, setCar, env->NewStringUTF("demo.car"), 1));
  std::printf("AVM.SetCar(\"demo\", 3) = %d (select)\n",
              CallInt(env, avm, setCar, env->NewStringUTF("demo"), 3));

  const int plate = CallInt(env, avm, genPlate, kPlateRegion, env->NewStringUTF(kPlateText), kPlateStyle);
  std::printf("AVM.GenPlate(%d, \"%s\", %d) = %d\n", kPlateRegion, kPlateText, kPlateStyle, plate);
  const std::vector<jint> readings = TyreReadings();
  jintArray tyres = env->NewIntArray(static_cast<jsize>(readings.size()));
  env->SetIntArrayRegion(tyres, 0, static_cast<jsize>(readings.size()), readings.data());
  std::printf("AVM.SetTirePressure(27 readings) = %d\n", CallInt(env, avm, setTires, tyres));
  std::printf("AVM.SetCmd(75, 1) = %d (tyre panels)\n", CallInt(env, avm, setCmd, kCmdTirePanelMode, 1));
  std::printf("AVM.SetCmd(15, 1) = %d (plate shown)\n", CallInt(env, avm, setCmd, kCmdPlateShown, 1));
  std::printf("AVM.SetCmd(0, 5) = %d (3D view)\n", CallInt(env, avm, setCmd, kCmdScreenMode, kScreenMode3D));

  jintArray camera = env->NewIntArray(1);
  const jint cameraName = 0;
  env->SetIntArrayRegion(camera, 0, 1, &cameraName);
  std::ofstream captions(output + "/captions.txt");

  // Sprite angle 0 looks at the car's right side, 48 (90 degrees) at its
  // front, 144 (270 degrees) at its rear. The billboards stand across the
  // car, so they face the camera from the ends and are seen edge-on from
  // straight beside the car: the stops look from the ends and obliquely.
  struct Stop {
    int degrees;
    bool panels;  // generated panels (command 75), or warning icons
    const char* name;
    const char* caption;
  };
  const Stop stops[] = {
      {45, true, "view_045.png",
       "3D view from the front right: plate on the front, panels beside the right-hand tyres"},
      {45, false, "view_045_icons.png",
       "the same with panels off: warning icons instead, here tyre 2's sensor battery alone in the "
       "first place"},
      {90, true, "view_090.png",
       "3D view from the front: the front tyres' panels beside the car (tyre 0's leak and low "
       "pressure in red on the right), the rear tyres' larger ones behind it"},
      {135, true, "view_135.png",
       "3D view from the front left: panels beside the left-hand tyres"},
      {135, false, "view_135_icons.png",
       "the same with panels off: the leak icon (outranking the low pressure) at tyre 0, the "
       "temperature icon at tyre 1"},
      {270, true, "view_270.png",
       "3D view from behind: plate on the rear, tyre 1's temperature alarm in red on the left"},
  };
  for (const Stop& stop : stops) {
    std::printf("AVM.SetCmd(75, %d) = %d (tyre panels)\n", stop.panels ? 1 : 0,
                CallInt(env, avm, setCmd, kCmdTirePanelMode, stop.panels ? 1 : 0));
    std::printf("AVM.SetCmd(7, %d) = %d (view angle)\n", stop.degrees,
                CallInt(env, avm, setCmd, kCmdViewAngle, stop.degrees));
    // The view turns a little per frame; draw until it rests, then two more.
    int frames = 0;
    for (int settled = 0; settled < 3 && frames < 400; ++frames) {
      if (CallInt(env, avm, draw, camera) != 1) {
        std::fprintf(stderr, "demo: AVM.Draw failed\n");
        return 1;
      }
      const SceneView view = Look();
      settled = view.spriteAngle == view.spriteAngleTarget ? settled + 1 : 0;
    }
    const SceneView view = Look();
    const char* name = stop.name;
    // The panels are composed by the car drawers; a build without them
    // shows the ground layers only, and the caption says so.
    const bool panelsDrawn = view.panelsReady[0] + view.panelsReady[1] + view.panelsReady[2] +
                                 view.panelsReady[3] > 0;
    if (HostEglWritePng(output + "/" + name)) {
      captions << name << '\t';
      if (panelsDrawn) {
        captions << stop.caption;
      } else {
        captions << "3D view at " << stop.degrees
                 << " degrees; this build does not draw the car yet, so neither its tyre panels nor its plate";
      }
      captions << " (sprite angle " << view.spriteAngle << ")\n";
    }
    std::printf("view %d degrees after %d frames: sprite angle %d, panels ready %d %d %d %d\n",
                stop.degrees, frames, view.spriteAngle, view.panelsReady[0], view.panelsReady[1],
                view.panelsReady[2], view.panelsReady[3]);
  }

  if (CopyFile(assets + "common/plate/plate.png", output + "/plate.png")) {
    captions << "plate.png\tplate.png made by AVM.GenPlate(" << kPlateRegion << ", \"" << kPlateText
             << "\", " << kPlateStyle << "): blue plate, region glyph " << kPlateRegion << "\n";
  }
  if (FileExists(assets + "common/pressure/pressure.png") &&
      CopyFile(assets + "common/pressure/pressure.png", output + "/pressure.png")) {
    captions << "pressure.png\tpressure.png as the last composed tyre panel left it\n";
  } else {
    std::printf("no pressure.png yet: no frame has drawn a tyre panel\n");
  }
  const char* const tyreCaptions[4] = {
      "tyre 0 panel: 118 kPa with pressure alarm and the leak icon",
      "tyre 1 panel: 93 degrees in alarm glyphs with the temperature alarm icon",
      "tyre 2 panel: normal readings (its low sensor battery shows as an icon only without panels)",
      "tyre 3 panel: normal readings",
  };
  const SceneView view = Look();
  for (int t = 0; t < 4; ++t) {
    if (view.panelsReady[t] != 1) {
      continue;
    }
    const std::string name = "tyre_" + std::to_string(t) + "_panel.png";
    if (WriteTexture(pViewParam->tirePanelTextures[t], 80, 50, output + "/" + name)) {
      captions << name << '\t' << tyreCaptions[t] << " (its texture read back, 4x enlarged)\n";
    }
  }
  std::printf("pictures listed in %s/captions.txt\n", output.c_str());
  return 0;
}
