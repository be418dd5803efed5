// The plate and tyre setters through the app's Java class in a real Java
// VM: what they store, what they refuse, and the pictures that follow.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/tire_plate_display.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/avm/plate_tyre_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

void NoSleep(uint32_t) {}

// The 27 elements: pressures, temperatures, pressure alarms, leaks,
// temperature alarms, battery flags (four each), pressure unit,
// temperature unit, panel style.
struct Readings {
  int pressure[4] = {230, 230, 230, 230};
  int temperature[4] = {20, 20, 20, 20};
  int pressureAlarm[4] = {0, 0, 0, 0};
  int leak[4] = {0, 0, 0, 0};
  int tempAlarm[4] = {0, 0, 0, 0};
  int batteryLow[4] = {0, 0, 0, 0};
  int pressureUnit = 0;
  int temperatureUnit = 0;
  int style = 0;

  std::vector<int> Array() const {
    std::vector<int> e;
    for (const int* block : {pressure, temperature, pressureAlarm, leak, tempAlarm, batteryLow}) {
      e.insert(e.end(), block, block + 4);
    }
    e.push_back(pressureUnit);
    e.push_back(temperatureUnit);
    e.push_back(style);
    return e;
  }
};

class TyreSetters : public ::testing::Test {
 protected:
  void SetUp() override {
    StartJavaRenderer();
    root_ = MakeGlyphAssetRoot(dir_.path(), true);
  }
  void Initialise() {
    ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
    scene_ = pViewParam;
  }
  void MarkAllReady() {
    for (int t = 0; t < 4; ++t) {
      scene_->tirePanelReady[t] = 1;
    }
  }
  std::vector<int> Ready() const {
    return {scene_->tirePanelReady[0], scene_->tirePanelReady[1], scene_->tirePanelReady[2],
            scene_->tirePanelReady[3]};
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

// Runs first in this program: the library has not been initialised yet.
TEST_F(TyreSetters, BeforeInitialisationBothAnswerMinusNine) {
  ASSERT_EQ(gBridge.initialised.load(), 0) << "must run before any initialisation";
  const std::vector<int> readings = Readings().Array();
  EXPECT_EQ(JavaSetTirePressure(&readings), -9);
  EXPECT_EQ(JavaSetTirePressure(nullptr), -9);
  EXPECT_EQ(JavaGenPlate(0, "AB1234", 0), -9);
}

TEST_F(TyreSetters, ReadingsOutsideTheirRangesAreIgnored) {
  Initialise();
  MarkAllReady();
  Readings r;
  const int pressures[4] = {1000, -1, 999, 0};
  const int temperatures[4] = {-100, -99, 99, 100};
  const int alarms[4] = {3, 1, 2, -1};
  for (int t = 0; t < 4; ++t) {
    r.pressure[t] = pressures[t];
    r.temperature[t] = temperatures[t];
    r.pressureAlarm[t] = alarms[t];
  }
  const std::vector<int> e = r.Array();
  EXPECT_EQ(JavaSetTirePressure(&e), 1);
  // The start values -1 and 100 stay where nothing valid arrived.
  EXPECT_EQ(std::vector<int>(scene_->tirePressure, scene_->tirePressure + 4),
            (std::vector<int>{-1, -1, 999, 0}));
  EXPECT_EQ(std::vector<int>(scene_->tireTemperature, scene_->tireTemperature + 4),
            (std::vector<int>{100, -99, 99, 100}));
  EXPECT_EQ(std::vector<int>(scene_->tirePressureAlarm, scene_->tirePressureAlarm + 4),
            (std::vector<int>{0, 1, 2, 0}));
  // Only tyres whose values changed are composed again.
  EXPECT_EQ(Ready(), (std::vector<int>{1, 0, 0, 0}));
}

TEST_F(TyreSetters, SameReadingsTwiceKeepThePanelsAndAStyleChangeDropsThemAll) {
  Initialise();
  Readings r;
  std::vector<int> e = r.Array();
  ASSERT_EQ(JavaSetTirePressure(&e), 1);
  MarkAllReady();
  ASSERT_EQ(JavaSetTirePressure(&e), 1);
  EXPECT_EQ(Ready(), (std::vector<int>{1, 1, 1, 1}));

  // Leak, alarms, battery and units are stored but mark nothing.
  r.leak[2] = 1;
  r.tempAlarm[1] = 1;
  r.batteryLow[3] = 1;
  r.pressureAlarm[0] = 2;
  r.pressureUnit = 2;
  r.temperatureUnit = 1;
  e = r.Array();
  ASSERT_EQ(JavaSetTirePressure(&e), 1);
  EXPECT_EQ(Ready(), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(scene_->tireLeak[2], 1);
  EXPECT_EQ(scene_->tireTempAlarm[1], 1);
  EXPECT_EQ(scene_->tireBatteryLow[3], 1);
  EXPECT_EQ(scene_->tirePressureAlarm[0], 2);
  EXPECT_EQ(scene_->pressureUnit, 2);
  EXPECT_EQ(scene_->temperatureUnit, 1);
  // A panel that could not be made (2) is tried again on a change of unit.
  scene_->tirePanelReady[1] = 2;
  r.pressureUnit = 0;
  e = r.Array();
  ASSERT_EQ(JavaSetTirePressure(&e), 1);
  EXPECT_EQ(Ready(), (std::vector<int>{1, 0, 1, 1}));

  r.style = 1;
  e = r.Array();
  ASSERT_EQ(JavaSetTirePressure(&e), 1);
  EXPECT_EQ(Ready(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(scene_->tirePanelStyle, 1);
}

TEST_F(TyreSetters, HostileArraysAreRefusedWithoutStoringAnything) {
  Initialise();
  MarkAllReady();
  LogCapture log;
  EXPECT_EQ(JavaSetTirePressure(nullptr), 0);
  Readings r;
  r.style = 2;
  r.pressure[0] = 100;
  std::vector<int> e = r.Array();
  for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{26}}) {
    const std::vector<int> shorter(e.begin(), e.begin() + static_cast<long>(length));
    EXPECT_EQ(JavaSetTirePressure(&shorter), 0) << length;
  }
  std::vector<int> longer = e;
  longer.push_back(5);
  EXPECT_EQ(JavaSetTirePressure(&longer), 0);
  longer.resize(100000, 7);
  EXPECT_EQ(JavaSetTirePressure(&longer), 0);
  EXPECT_EQ(scene_->tirePressure[0], -1);
  EXPECT_EQ(scene_->tirePanelStyle, 0);
  EXPECT_EQ(Ready(), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(log.Count("KESTRA", "---------SetTirePressure:no array"), 1);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------SetTirePressure:"), 6);
}

TEST_F(TyreSetters, GenPlateMakesThePictureAndAsksForItsReload) {
  Initialise();
  gFrameClock = FrameClock{GetTickCount, NoSleep};
  const std::string platePath = root_ + "common/plate/plate.png";
  const std::string first = ReadFile(platePath);
  ASSERT_FALSE(first.empty());

  // Style 3 and up, bad texts and a null text: 0, the picture untouched.
  EXPECT_EQ(JavaGenPlate(0, "AB1234", 3), 0);
  EXPECT_EQ(JavaGenPlate(0, "AB1234", -1), 0);
  EXPECT_EQ(JavaGenPlate(0, "AB12", 0), 0);
  EXPECT_EQ(JavaGenPlate(0, "AB 234", 1), 0);
  EXPECT_EQ(JavaGenPlate(12, "AB1234", 1), 0);
  EXPECT_EQ(JavaGenPlate(0, nullptr, 0), 0);
  EXPECT_EQ(ReadFile(platePath), first);
  EXPECT_EQ(scene_->plateReload, 0);

  EXPECT_EQ(JavaGenPlate(5, "kz4711", 1), 1);
  EXPECT_EQ(scene_->plateReload, 1);
  const cv::Mat plate = cv::imread(platePath, cv::IMREAD_UNCHANGED);
  EXPECT_EQ(plate.size(), cv::Size(80, 25));
  EXPECT_NE(ReadFile(platePath), first);

  // The next frame loads it into the plate texture.
  TakeLoadRequests();
  EXPECT_EQ(JavaDraw(nullptr), 1);
  const std::vector<std::string> requests = TakeLoadRequests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), root_ + "/common/plate/plate.png"),
            requests.end());
  EXPECT_EQ(scene_->plateReload, 0);
  gFrameClock = FrameClock{GetTickCount, SleepMilliseconds};
}

// A plate text is read as far as it is drawn: the first six characters of
// a text that is not seven long, whatever follows them.
TEST_F(TyreSetters, GenPlateTakesTextsWhoseUndrawnTailHasNoGlyph) {
  Initialise();
  const std::string platePath = root_ + "common/plate/plate.png";
  ASSERT_EQ(JavaGenPlate(5, "KZ4711", 1), 1);
  const cv::Mat plain = cv::imread(platePath, cv::IMREAD_UNCHANGED);
  ASSERT_FALSE(plain.empty());
  for (const char* text : {"KZ4711-X", "KZ4711 \n"}) {
    ASSERT_EQ(JavaGenPlate(0, "AB1234", 0), 1);
    scene_->plateReload = 0;
    EXPECT_EQ(JavaGenPlate(5, text, 1), 1) << text;
    EXPECT_EQ(scene_->plateReload, 1) << text;
    const cv::Mat plate = cv::imread(platePath, cv::IMREAD_UNCHANGED);
    ASSERT_EQ(plate.size(), plain.size()) << text;
    EXPECT_EQ(cv::norm(plate, plain, cv::NORM_INF), 0.0) << text;
  }
}

// From the Java readings to the texture: the panel that DrawTirePressure
// composes is loaded through Java into the tyre's texture.
TEST_F(TyreSetters, PanelReachesTheTyreTextureThroughJava) {
  Initialise();
  ASSERT_EQ(JavaSetCmd(75, 1), 1);
  Readings r;
  r.pressure[2] = 245;
  r.temperature[2] = -12;
  r.leak[2] = 1;
  const std::vector<int> e = r.Array();
  ASSERT_EQ(JavaSetTirePressure(&e), 1);
  ASSERT_EQ(scene_->tirePanelReady[2], 0);
  TakeLoadRequests();
  LoadIdentityMatrix4x4(scene_->viewMatrix);
  LoadIdentityMatrix4x4(scene_->projMatrix);
  DrawTirePressure(2);
  EXPECT_EQ(scene_->tirePanelReady[2], 1);
  EXPECT_EQ(TakeLoadRequests(), (std::vector<std::string>{root_ + "/common/pressure/pressure.png"}));
  const cv::Mat panel = cv::imread(root_ + "common/pressure/pressure.png", cv::IMREAD_UNCHANGED);
  ASSERT_EQ(panel.type(), CV_8UC4);
  cv::Mat rgba;
  cv::cvtColor(panel, rgba, cv::COLOR_BGRA2RGBA);
  const std::vector<uint8_t> texture = ReadTexture(scene_->tirePanelTextures[2], 80, 50);
  ASSERT_EQ(texture.size(), static_cast<std::size_t>(80 * 50 * 4));
  EXPECT_EQ(std::vector<uint8_t>(rgba.data, rgba.data + texture.size()), texture);
  // Ready now: the next frame draws without composing again.
  DrawTirePressure(2);
  EXPECT_TRUE(TakeLoadRequests().empty());
}

}  // namespace
