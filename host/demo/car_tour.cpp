#include "host/demo/car_tour.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "avm/bridge/scene_state.h"
#include "host/demo/demo_java.h"
#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"

namespace {

// Commands of the app's protocol used by the tour.
constexpr int kCmdScreenMode = 0;
constexpr int kCmdGear = 1;
constexpr int kCmdSpeed = 2;
constexpr int kCmdDoors = 4;
constexpr int kCmdLamps = 6;
constexpr int kCmdViewAngle = 7;
constexpr int kCmdSmoothRotation = 73;
constexpr int kCmdOtherCar = 100;
constexpr int kCmdBeams = 102;
constexpr int kCmdGroundShadow = 106;

constexpr int kStateAngles[8] = {0, 24, 54, 72, 96, 130, 144, 158};
constexpr int kTourSpeed = 10001;  // wheels advance one frame per frame

struct SceneView {
  int spriteAngle;
  int spriteAngleTarget;
  int blinkPhase;
  int wheelFrame;
};

// What the frame loop shows now, read under the scene lock (the demo watches
// the renderer through the testable build of the library).
SceneView Watch() {
  std::lock_guard<std::mutex> lock(gBridge.sceneMutex);
  const ViewParam* scene = pViewParam;
  return SceneView{scene->spriteAngle, scene->spriteAngleTarget, scene->blinkPhase,
                   scene->wheelFrame};
}

// The smallest whole number of degrees that the smooth view-angle command
// turns into the sprite angle.
int DegreesOf(int spriteAngle) { return static_cast<int>(std::ceil(spriteAngle * 1.875)); }

// Turns the 3D view to a sprite angle and draws until it rests there.
void TurnTo(DemoApp& app, int spriteAngle) {
  char what[64];
  std::snprintf(what, sizeof(what), "view to sprite angle %d", spriteAngle);
  DemoCommand(app, kCmdViewAngle, DegreesOf(spriteAngle), what);
  for (int frame = 0; frame < 400; ++frame) {
    DemoFrame(app);
    const SceneView view = Watch();
    if (view.spriteAngle == view.spriteAngleTarget) {
      return;
    }
  }
  std::fprintf(stderr, "demo: the view did not reach angle %d\n", spriteAngle);
}

// Draws until the blink phase is the one asked for (at most one cycle).
void DrawUntilBlink(DemoApp& app, int phase) {
  for (int frame = 0; frame < 30; ++frame) {
    DemoFrame(app);
    if (Watch().blinkPhase == phase) {
      return;
    }
  }
}

cv::Mat GrabFrame() {
  std::vector<uint8_t> rgba = HostEglReadPixels();
  cv::Mat frame(HostEglHeight(), HostEglWidth(), CV_8UC4, rgba.data());
  cv::Mat bgr;
  cv::cvtColor(frame, bgr, cv::COLOR_RGBA2BGR);
  return bgr;
}

// Frames side by side, shrunk by scale, each with its label.
void WriteSheet(DemoApp& app, const std::string& name, const std::vector<cv::Mat>& frames,
                const std::vector<std::string>& labels, int columns, double scale,
                const std::string& caption) {
  if (frames.empty()) {
    return;
  }
  const int cellW = static_cast<int>(frames[0].cols * scale);
  const int cellH = static_cast<int>(frames[0].rows * scale);
  const int rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
  cv::Mat sheet(rows * cellH, columns * cellW, CV_8UC3, cv::Scalar(30, 30, 30));
  for (size_t i = 0; i < frames.size(); ++i) {
    cv::Mat cell;
    cv::resize(frames[i], cell, cv::Size(cellW, cellH), 0, 0, cv::INTER_AREA);
    const int x = static_cast<int>(i % columns) * cellW;
    const int y = static_cast<int>(i / columns) * cellH;
    cell.copyTo(sheet(cv::Rect(x, y, cellW, cellH)));
    if (i < labels.size()) {
      cv::putText(sheet, labels[i], cv::Point(x + 6, y + 22), cv::FONT_HERSHEY_SIMPLEX, 0.6,
                  cv::Scalar(255, 255, 255), 2, cv::LINE_AA);
    }
  }
  try {
    if (cv::imwrite(app.output + "/" + name, sheet)) {
      std::fprintf(app.captions, "%s\t%s\n", name.c_str(), caption.c_str());
      std::printf("demo: wrote %s\n", name.c_str());
    }
  } catch (const cv::Exception& error) {
    std::fprintf(stderr, "demo: %s\n", error.what());
  }
}

void StateAngles(DemoApp& app) {
  for (int angle : kStateAngles) {
    TurnTo(app, angle);
    DrawUntilBlink(app, 1);
    char name[64];
    char caption[256];
    std::snprintf(name, sizeof(name), "angle_%03d.png", angle);
    std::snprintf(caption, sizeof(caption),
                  "3D view resting at sprite angle %d (%.1f degrees): the composed state image "
                  "with the wheels turning at speed %d, both indicators lit (blink phase 1) and "
                  "the headlight beams on; roadway, lane lines and background scroll under it.",
                  angle, angle * 1.875, kTourSpeed);
    DemoPicture(app, name, caption);
  }
}

void WheelsAndBlinking(DemoApp& app) {
  TurnTo(app, 130);
  std::vector<cv::Mat> frames;
  std::vector<std::string> labels;
  for (int i = 0; i < 6; ++i) {
    DemoFrame(app);
    const SceneView view = Watch();
    frames.push_back(GrabFrame());
    labels.push_back("wheel frame " + std::to_string(view.wheelFrame) + ", blink " +
                     std::to_string(view.blinkPhase));
  }
  WriteSheet(app, "wheels_130.png", frames, labels, 3, 0.5,
             "Six consecutive frames at angle 130 (left side) at speed 10001: the wheel frame "
             "advances by one every frame, so the wheels turn.");
  DemoCommand(app, kCmdLamps, 1, "left indicator only");
  TurnTo(app, 54);
  frames.clear();
  labels.clear();
  DrawUntilBlink(app, 1);
  frames.push_back(GrabFrame());
  labels.push_back("left indicator lit");
  DrawUntilBlink(app, 0);
  frames.push_back(GrabFrame());
  labels.push_back("dark");
  WriteSheet(app, "blink_054.png", frames, labels, 2, 0.5,
             "Angle 54 (front) with only the left indicator on: lit for 12 frames, dark for 12.");
  DemoCommand(app, kCmdLamps, 3, "both indicators");
}

void Doors(DemoApp& app) {
  const struct {
    int angle;
    int doors;
    const char* what;
  } cases[] = {
      {130, 0x1, "door 0 open"},
      {130, 0x5, "doors 0 and 2 open"},
      {130, 0xF, "all four doors open"},
      {158, 0xA, "doors 1 and 3 open"},
      {54, 0x3, "doors 0 and 1 open"},
      {144, 0xC, "doors 2 and 3 open"},
      {72, 0x4, "door 2 open"},
  };
  for (const auto& c : cases) {
    TurnTo(app, c.angle);
    DemoCommand(app, kCmdDoors, c.doors, c.what);
    DrawUntilBlink(app, 1);
    char name[64];
    char caption[256];
    std::snprintf(name, sizeof(name), "doors_%03d_%x.png", c.angle, c.doors);
    std::snprintf(caption, sizeof(caption),
                  "Angle %d with %s: the door pictures are pasted over the base, whose own wheels "
                  "show (no wheel animation while doors are open).",
                  c.angle, c.what);
    DemoPicture(app, name, caption);
  }
  DemoCommand(app, kCmdDoors, 0, "doors shut");
}

void OtherCarAndGround(DemoApp& app) {
  TurnTo(app, 144);
  DemoCommand(app, kCmdOtherCar, 2, "the other car shown");
  DrawUntilBlink(app, 1);
  DemoPicture(app, "other_car_144.png",
              "Angle 144 (from behind) with the other car shown (mode 2) and the beams lit.");
  DemoCommand(app, kCmdOtherCar, 1, "the other car hidden");
  DemoCommand(app, kCmdSpeed, 30001, "fast");
  std::vector<cv::Mat> frames;
  std::vector<std::string> labels;
  for (int i = 0; i < 3; ++i) {
    DemoFrame(app);
    frames.push_back(GrabFrame());
    labels.push_back("frame " + std::to_string(i + 1) + ", forward");
  }
  DemoCommand(app, kCmdGear, 1, "reverse gear");
  for (int i = 0; i < 3; ++i) {
    DemoFrame(app);
    frames.push_back(GrabFrame());
    labels.push_back("frame " + std::to_string(i + 1) + ", reverse");
  }
  DemoCommand(app, kCmdGear, 0, "forward gear");
  WriteSheet(app, "ground_scroll.png", frames, labels, 3, 0.5,
             "Angle 144 at speed 30001: the roadway and lane lines move 4 steps per frame, "
             "towards the camera driving forward and away from it in reverse.");
  DemoCommand(app, kCmdSpeed, kTourSpeed, "back to the tour speed");
}

void TopViewDoors(DemoApp& app) {
  DemoCommand(app, kCmdScreenMode, 12, "2D top view");
  std::vector<cv::Mat> frames;
  std::vector<std::string> labels;
  for (int doors = 0; doors < 16; ++doors) {
    DemoCommand(app, kCmdDoors, doors, "door combination");
    DemoFrame(app);
    DemoFrame(app);
    frames.push_back(GrabFrame());
    char label[32];
    std::snprintf(label, sizeof(label), "doors %d%d%d%d", doors & 1, (doors >> 1) & 1,
                  (doors >> 2) & 1, (doors >> 3) & 1);
    labels.push_back(label);
  }
  WriteSheet(app, "top_doors.png", frames, labels, 4, 0.4,
             "The 2D top view for all sixteen door combinations (flags of doors 0, 1, 2, 3): the "
             "top picture with the open doors pasted in, on the car's shadow.");
  DemoPicture(app, "top_all_doors.png", "The 2D top view with all four doors open, full size.");
  DemoCommand(app, kCmdDoors, 0, "doors shut");
  DemoCommand(app, kCmdScreenMode, 5, "3D view");
}

}  // namespace

int DemoCommand(DemoApp& app, int command, int argument, const char* what) {
  const jint result = CallInt(app.env, app.avm, app.setCmd, command, argument);
  std::printf("AVM.SetCmd(%d, %d) = %d (%s)\n", command, argument, result, what);
  return result;
}

void DemoFrame(DemoApp& app) {
  const jint result = app.env->CallStaticIntMethod(app.avm, app.draw, app.camera);
  if (HostJvmTakeException(app.env) || result != 1) {
    std::fprintf(stderr, "demo: AVM.Draw failed\n");
    std::exit(1);
  }
}

void DemoPicture(DemoApp& app, const std::string& name, const std::string& caption) {
  if (HostEglWritePng(app.output + "/" + name)) {
    std::fprintf(app.captions, "%s\t%s\n", name.c_str(), caption.c_str());
    std::printf("demo: wrote %s\n", name.c_str());
  }
}

void RunCarTour(DemoApp& app) {
  DemoCommand(app, kCmdScreenMode, 5, "3D view");
  DemoCommand(app, kCmdSmoothRotation, 1, "smooth rotation, to reach every state angle");
  DemoCommand(app, kCmdSpeed, kTourSpeed, "speed");
  DemoCommand(app, kCmdLamps, 3, "both indicators");
  DemoCommand(app, kCmdBeams, 1, "headlight beams");
  DemoCommand(app, kCmdGroundShadow, 1, "shadow under the car");
  StateAngles(app);
  WheelsAndBlinking(app);
  Doors(app);
  OtherCarAndGround(app);
  TopViewDoors(app);
}
