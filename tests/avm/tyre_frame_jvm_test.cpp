// The tyre billboards and the number plate in whole frames of AVM.Draw,
// with the sample car selected through the Java class and readings sent
// through AVM.SetTirePressure: what the frame loop, the car drawer and the
// real 3D view make of them on screen. The icons are replaced by two-tone
// pictures (the left half one colour, the right half its half brightness),
// so that every icon can be found, measured and read for its orientation in
// the frame, and the car's own pictures at the angles looked from are made
// transparent, so that the car (drawn after the billboards) hides none of
// them. Where a billboard should appear is worked out here from the tyre
// table and the scene's own view and projection.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/view/car_params.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/avm/plate_tyre_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

void NoSleep(uint32_t) {}

// Angles the tests look from; none is a state angle, where the car would be
// composed from parts. 0 is seen from the side (the billboards edge-on), 30
// and 60 from the end of tyres 1 and 3, 110 and 170 from the other end.
constexpr int kLookAngles[] = {0, 30, 60, 110, 170};

struct Box {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;  // inclusive
  int pixels = 0;
  bool empty() const { return pixels == 0; }
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

struct Tone {
  int r, g, b;
};
struct Icon {
  const char* file;
  Tone left;
};
Tone Half(const Tone& t) { return {t.r / 2, t.g / 2, t.b / 2}; }

const Icon kLeak{"leak.png", {255, 0, 255}};
const Icon kLow{"pressure_low.png", {0, 255, 255}};
const Icon kHigh{"pressure_high.png", {255, 128, 0}};
const Icon kHot{"temperature_high.png", {128, 0, 255}};
const Icon kBattery{"power_low.png", {128, 255, 128}};

bool Is(const HostPixel& p, const Tone& t) {
  return std::abs(p.r - t.r) <= 2 && std::abs(p.g - t.g) <= 2 && std::abs(p.b - t.b) <= 2;
}

bool ShowsIcon(const HostPixel& p, const Icon& icon) {
  return Is(p, icon.left) || Is(p, Half(icon.left));
}

template <typename Test>
Box BoxOf(const std::vector<uint8_t>& frame, Test test) {
  Box box;
  for (int y = 0; y < kTestScreenHeight; ++y) {
    for (int x = 0; x < kTestScreenWidth; ++x) {
      if (test(HostEglPixel(frame, x, y))) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
        ++box.pixels;
      }
    }
  }
  return box;
}

Box IconBox(const std::vector<uint8_t>& frame, const Icon& icon) {
  return BoxOf(frame, [&](const HostPixel& p) { return ShowsIcon(p, icon); });
}

// Pixels where two frames differ.
Box Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  Box box;
  for (int y = 0; y < kTestScreenHeight; ++y) {
    for (int x = 0; x < kTestScreenWidth; ++x) {
      const HostPixel p = HostEglPixel(a, x, y);
      const HostPixel q = HostEglPixel(b, x, y);
      if (p.r != q.r || p.g != q.g || p.b != q.b) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
        ++box.pixels;
      }
    }
  }
  return box;
}

// A screen position, x from the left and y from the top, in pixels.
struct Point {
  double x, y;
};

// Readings as AVM.SetTirePressure takes them; every tyre without a reading
// at first (-1 is refused and leaves the start value, no reading).
struct Readings {
  int pressure[4] = {-1, -1, -1, -1};
  int temperature[4] = {20, 20, 20, 20};
  int pressureAlarm[4] = {0, 0, 0, 0};
  int leak[4] = {0, 0, 0, 0};
  int tempAlarm[4] = {0, 0, 0, 0};
  int batteryLow[4] = {0, 0, 0, 0};
  int temperatureUnit = 0;

  std::vector<int> Array() const {
    std::vector<int> e;
    for (const int* block : {pressure, temperature, pressureAlarm, leak, tempAlarm, batteryLow}) {
      e.insert(e.end(), block, block + 4);
    }
    e.insert(e.end(), {0, temperatureUnit, 0});  // units and panel style
    return e;
  }
};

class TyreFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    StartJavaRenderer();
    root_ = MakeGlyphAssetRoot(dir_.path(), true);
    ASSERT_TRUE(WriteFile(root_ + "common/demo.car",
                          ReadFile(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car")));
    for (const Icon& icon : {kLeak, kLow, kHigh, kHot, kBattery}) {
      ASSERT_TRUE(WriteIcon(root_ + "common/" + icon.file, icon.left));
    }
    ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
    ASSERT_EQ(JavaSetCar("demo.car", 1), 1);
    for (int angle : kLookAngles) {
      ASSERT_TRUE(MakeTransparent(root_ + ".tmp/demo/color/a/" + std::to_string(angle) + ".kes"));
    }
    ASSERT_EQ(JavaSetCar("demo", 2), 1);
    gFrameClock = FrameClock{GetTickCount, NoSleep};
    scene_ = pViewParam;
    // The car alone on black: no ground layers.
    for (int command : {106, 107, 108, 109}) {
      ASSERT_EQ(JavaSetCmd(command, 0), 1);
    }
    ASSERT_EQ(JavaSetCmd(0, 5), 1);
    ASSERT_EQ(JavaSetCmd(73, 1), 1);  // smooth rotation reaches every angle
    ASSERT_EQ(JavaSetCmd(15, 0), 1);  // no plate unless a test shows it
  }
  void TearDown() override { gFrameClock = FrameClock{GetTickCount, SleepMilliseconds}; }

  static bool MakeTransparent(const std::string& path) {
    const cv::Mat car = cv::imread(path, cv::IMREAD_UNCHANGED);
    std::vector<uint8_t> png;
    if (car.empty() ||
        !cv::imencode(".png", cv::Mat(car.rows, car.cols, CV_8UC4, cv::Scalar(0, 0, 0, 0)), png)) {
      return false;
    }
    return WriteFile(path, std::string(png.begin(), png.end()));
  }

  static bool WriteIcon(const std::string& path, const Tone& left) {
    cv::Mat icon(32, 32, CV_8UC4, cv::Scalar(left.b, left.g, left.r, 255));
    const Tone right = Half(left);
    icon(cv::Rect(16, 0, 16, 32)).setTo(cv::Scalar(right.b, right.g, right.r, 255));
    return cv::imwrite(path, icon);
  }

  // Turns the view with the angle command and draws until it rests there.
  void TurnTo(int angle) {
    ASSERT_EQ(JavaSetCmd(7, static_cast<int>(std::ceil(angle * 1.875))), 1);
    for (int frame = 0; frame < 200 && scene_->spriteAngle != angle; ++frame) {
      ASSERT_EQ(JavaDraw(&camera_), 1);
    }
    ASSERT_EQ(scene_->spriteAngle, angle);
  }

  // Panel mode, the view turned to the angle: the frame before any panel.
  std::vector<uint8_t> BarePanelView(int angle) {
    TurnTo(angle);
    EXPECT_EQ(JavaSetCmd(75, 1), 1);
    return Draw();
  }

  std::vector<uint8_t> Draw() {
    EXPECT_EQ(JavaDraw(&camera_), 1);
    return HostEglReadPixels();
  }

  void Send(const Readings& r) {
    const std::vector<int> e = r.Array();
    ASSERT_EQ(JavaSetTirePressure(&e), 1);
  }

  // Scene point (x, y, z) through the frame's projection and view and the
  // main viewport, to screen pixels.
  Point Project(double x, double y, double z) const {
    const float* v = scene_->viewMatrix;
    const float* p = scene_->projMatrix;
    const double in[4] = {x, y, z, 1.0};
    double eye[4] = {0, 0, 0, 0};
    double clip[4] = {0, 0, 0, 0};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        eye[r] += v[c * 4 + r] * in[c];
      }
    }
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        clip[r] += p[c * 4 + r] * eye[c];
      }
    }
    const float* port = scene_->mainViewport;
    const double glX = port[0] + (clip[0] / clip[3] + 1.0) * 0.5 * port[2];
    const double glY = port[1] + (clip[1] / clip[3] + 1.0) * 0.5 * port[3];
    return {glX, kTestScreenHeight - glY};
  }

  // The billboard of width w and height h beside tyre t in slot k, as the
  // tyre table places it: x_a, x_b and y.
  void Billboard(int t, int k, double w, double* xa, double* xb, double* y) const {
    const double lateral = carTiresParamsCur[0];
    const double tyreWidth = carTiresParamsCur[3];
    *xa = (t == 0 || t == 1) ? (-lateral - w * (k + 1)) - tyreWidth * 0.5 - 5.0
                             : lateral + tyreWidth * 0.5 + 5.0 + w * k;
    *xb = *xa + w;
    *y = (t == 0 || t == 2) ? carTiresParamsCur[1] : carTiresParamsCur[2];
  }

  // The screen box the billboard covers.
  Box Expected(int t, int k, double w, double h) const {
    double xa = 0, xb = 0, y = 0;
    Billboard(t, k, w, &xa, &xb, &y);
    Box box;
    for (const Point& q : {Project(xa, y, 0), Project(xa, y, h), Project(xb, y, 0), Project(xb, y, h)}) {
      box.left = std::min(box.left, static_cast<int>(std::lround(q.x)));
      box.right = std::max(box.right, static_cast<int>(std::lround(q.x)) - 1);
      box.top = std::min(box.top, static_cast<int>(std::lround(q.y)));
      box.bottom = std::max(box.bottom, static_cast<int>(std::lround(q.y)) - 1);
    }
    box.pixels = 1;
    return box;
  }

  static void ExpectBox(const Box& got, const Box& want, const std::string& what) {
    ASSERT_FALSE(got.empty()) << what << ": nothing drawn";
    EXPECT_NEAR(got.left, want.left, 2) << what;
    EXPECT_NEAR(got.right, want.right, 2) << what;
    EXPECT_NEAR(got.top, want.top, 2) << what;
    EXPECT_NEAR(got.bottom, want.bottom, 2) << what;
  }

  // The icon half seen at the billboard's x_a end: the picture's left half
  // when its texture coordinates run from x_a, the right half when mirrored.
  bool LeftHalfAtOuterEnd(const std::vector<uint8_t>& frame, int t, double w, const Icon& icon) {
    double xa = 0, xb = 0, y = 0;
    Billboard(t, 0, w, &xa, &xb, &y);
    const Point near = Project(xa + (xb - xa) * 0.2, y, w * 0.5);
    const HostPixel p =
        HostEglPixel(frame, static_cast<int>(near.x), static_cast<int>(near.y));
    EXPECT_TRUE(ShowsIcon(p, icon)) << "no icon at tyre " << t;
    return Is(p, icon.left);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  const std::vector<int> camera_ = {0};
};

// With panel mode on, 999 is a reading: the frame composes the panel, loads
// it through Java and shows it; 1000 is none, and the tyre falls back to its
// icons. A leak with high pressure shows the leak icon alone.
TEST_F(TyreFrames, PanelAtNineNineNineIconsAtAThousandAndOnlyTheLeakIcon) {
  const std::vector<uint8_t> bare = BarePanelView(170);
  Readings r;
  r.pressure[2] = 999;
  Send(r);
  TakeLoadRequests();
  const std::vector<uint8_t> panel = Draw();
  EXPECT_EQ(scene_->tirePanelReady[2], 1);
  EXPECT_EQ(TakeLoadRequests(), (std::vector<std::string>{root_ + "/common/pressure/pressure.png"}));
  ExpectBox(Difference(panel, bare), Expected(2, 0, 88, 56), "panel of tyre 2");

  // Readings of 1000 are refused by the setter; the display's own rule is
  // met by a reading that the frame sees as none.
  scene_->tirePressure[2] = 1000;
  r.pressure[2] = -1;
  r.leak[2] = 1;
  r.pressureAlarm[2] = 2;
  Send(r);
  const std::vector<uint8_t> icons = Draw();
  ExpectBox(IconBox(icons, kLeak), Expected(2, 0, 44, 44), "leak icon of tyre 2");
  EXPECT_TRUE(IconBox(icons, kHigh).empty()) << "the high-pressure icon is outranked";
  // Nothing else: what changed is the leak icon's billboard alone.
  ExpectBox(Difference(icons, bare), Expected(2, 0, 44, 44), "all that changed");
}

TEST_F(TyreFrames, TemperaturesOutOfRangeShowTheHalfHeightPanel) {
  const std::vector<uint8_t> bare = BarePanelView(110);
  Readings r;
  r.pressure[0] = 230;
  for (int temperature : {99, 100, -100}) {
    // -100 and 100 are refused by the setter: the frame meets them as
    // start value (100) or as whatever another path stored.
    r.temperature[0] = temperature;
    Send(r);
    scene_->tireTemperature[0] = temperature;
    scene_->tirePanelReady[0] = 0;
    const double height = temperature == 99 ? 56 : 28;
    ExpectBox(Difference(Draw(), bare), Expected(0, 0, 88, height),
              "panel at " + std::to_string(temperature));
  }
}

// A temperature beyond what the panel draws needs no temperature unit: a
// unit of -1 still gives the tyre its panel (here with the leak), composed
// once and not again every frame.
TEST_F(TyreFrames, NegativeTemperatureUnitWithoutTemperatureLineKeepsThePanel) {
  const std::vector<uint8_t> bare = BarePanelView(170);
  Readings r;
  r.pressure[2] = 230;
  r.temperature[2] = 99;
  r.leak[2] = 1;
  r.temperatureUnit = -1;
  Send(r);
  TakeLoadRequests();
  LogCapture log;
  ExpectBox(Difference(Draw(), bare), Expected(2, 0, 88, 56), "panel of tyre 2");
  EXPECT_EQ(scene_->tirePanelReady[2], 1);
  Draw();
  EXPECT_EQ(TakeLoadRequests(), (std::vector<std::string>{root_ + "/common/pressure/pressure.png"}));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------genTirePressure"), 0);
}

TEST_F(TyreFrames, BatteryAloneTakesTheFirstSlotAndGoesBesideAnotherIcon) {
  TurnTo(170);
  Readings r;
  r.batteryLow[0] = 1;
  Send(r);
  std::vector<uint8_t> frame = Draw();
  ExpectBox(IconBox(frame, kBattery), Expected(0, 0, 44, 44), "battery alone");
  r.tempAlarm[0] = 1;
  Send(r);
  frame = Draw();
  ExpectBox(IconBox(frame, kHot), Expected(0, 0, 44, 44), "temperature icon");
  ExpectBox(IconBox(frame, kBattery), Expected(0, 1, 44, 44), "battery beside it");
}

// At angle 0 the tyres of the first axle (0 and 2) carry the large
// billboards, at 1..95 those of the other one (1 and 3), whose pictures run
// mirrored so that they read the right way round from that side.
TEST_F(TyreFrames, BillboardSizeAndMirroringFollowTheViewSide) {
  const Icon* icons[4] = {&kLeak, &kLow, &kHigh, &kHot};
  Readings r;
  r.leak[0] = 1;
  r.pressureAlarm[1] = 1;
  r.pressureAlarm[2] = 2;
  r.tempAlarm[3] = 1;
  Send(r);
  for (int angle : kLookAngles) {
    TurnTo(angle);
    const std::vector<uint8_t> frame = Draw();
    const bool mirrored = angle >= 1 && angle <= 95;
    for (int t = 0; t < 4; ++t) {
      const bool firstAxle = t == 0 || t == 2;
      const double side = firstAxle != mirrored ? 44 : 33;
      const std::string what = "tyre " + std::to_string(t) + " at " + std::to_string(angle);
      const Box box = IconBox(frame, *icons[t]);
      const Box want = Expected(t, 0, side, side);
      if (angle == 0) {
        // Edge-on: a sliver whose length across the screen is the
        // billboard's width seen in depth.
        ASSERT_FALSE(box.empty()) << what;
        EXPECT_NEAR(box.left, want.left, 2) << what;
        EXPECT_NEAR(box.right, want.right, 2) << what;
        continue;
      }
      ExpectBox(box, want, what);
      EXPECT_EQ(LeftHalfAtOuterEnd(frame, t, side, *icons[t]), !mirrored) << what;
    }
  }
}

TEST_F(TyreFrames, NoPlateWithoutPlateGeometry) {
  ASSERT_EQ(JavaGenPlate(3, "KZ4711", 1), 1);
  TurnTo(48);
  const std::vector<uint8_t> hidden = Draw();
  ASSERT_EQ(JavaSetCmd(15, 1), 1);
  ASSERT_EQ(scene_->plateGeometryValid, 1);
  const Box plate = Difference(Draw(), hidden);
  EXPECT_GT(plate.pixels, 100) << "the sample car's plate is not drawn";
  // The same car without plate quads: nothing at any angle.
  scene_->plateGeometryValid = 0;
  for (int angle : {48, 24, 72, 144}) {
    TurnTo(angle);
    ASSERT_EQ(JavaSetCmd(15, 0), 1);
    const std::vector<uint8_t> without = Draw();
    ASSERT_EQ(JavaSetCmd(15, 1), 1);
    EXPECT_TRUE(Difference(Draw(), without).empty()) << "angle " << angle;
  }
}

// Panels that cannot be made, frame after frame: the sheets are missing,
// or the readings carry a unit the generator refuses. Each such state
// writes one line over a hundred frames (four tyres each), and is not
// worked on again until new readings arrive.
TEST_F(TyreFrames, FailingPanelsLogOnceAndWaitForNewReadings) {
  const std::vector<uint8_t> bare = BarePanelView(170);
  const std::string dir = root_ + "common/pressure/";
  for (const char* name : {"background0.bin", "background0.png"}) {
    ASSERT_EQ(std::rename((dir + name).c_str(), (dir + name + ".held").c_str()), 0);
  }
  Readings r;
  for (int t = 0; t < 4; ++t) {
    r.pressure[t] = 230;
  }
  Send(r);
  TakeLoadRequests();
  {
    LogCapture log;
    for (int frame = 0; frame < 100; ++frame) {
      ASSERT_TRUE(Difference(Draw(), bare).empty()) << "frame " << frame;
    }
    EXPECT_EQ(log.CountPrefix("KESTRA", "---------genTirePressure"), 1);
    EXPECT_EQ(log.Count("KESTRA", "---------genTirePressure:" + dir + "/background0.bin missing"), 1);
  }
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(scene_->tirePanelReady[t], 2) << t;
  }
  EXPECT_TRUE(TakeLoadRequests().empty());
  // The sheet comes back: the failed panels wait for new readings.
  ASSERT_EQ(std::rename((dir + "background0.bin.held").c_str(), (dir + "background0.bin").c_str()),
            0);
  EXPECT_TRUE(Difference(Draw(), bare).empty());
  EXPECT_FALSE(FileExists(dir + "pressure.png"));
  r.pressure[2] = 231;
  {
    LogCapture log;
    Send(r);
    ExpectBox(Difference(Draw(), bare), Expected(2, 0, 88, 56), "panel with the new reading");
    EXPECT_EQ(scene_->tirePanelReady[2], 1);
    EXPECT_EQ(TakeLoadRequests(), (std::vector<std::string>{root_ + "/common/pressure/pressure.png"}));
    EXPECT_EQ(log.Count("KESTRA", "---------genTirePressure:panels made again"), 1);
  }

  // New readings with a temperature unit the generator refuses.
  r.temperatureUnit = -1;
  for (int t = 0; t < 4; ++t) {
    r.pressure[t] = 232;
  }
  {
    LogCapture log;
    Send(r);
    for (int frame = 0; frame < 100; ++frame) {
      ASSERT_TRUE(Difference(Draw(), bare).empty()) << "frame " << frame;
    }
    EXPECT_EQ(log.CountPrefix("KESTRA", "---------genTirePressure"), 1);
    EXPECT_EQ(log.CountPrefix("KESTRA", "---------genTirePressure:refused"), 1);
  }
  // A unit it takes: the panels that failed are made again.
  r.temperatureUnit = 0;
  Send(r);
  EXPECT_FALSE(Difference(Draw(), bare).empty());
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(scene_->tirePanelReady[t], 1) << t;
  }
}

}  // namespace
