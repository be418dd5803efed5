// The tyre billboards and the plate, drawn into the real GL context with a
// projection that shows the scene's x-z plane flat on the screen:
// x -400..400 across, z 0..120 from the bottom edge up, y dropped. A
// billboard of scene x from a to b and height h thus covers screen columns
// (a / 400 + 1) * 512 .. (b / 400 + 1) * 512 and rows 600 - 5h .. 600.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <string>

#include "avm/bridge/scene_state.h"
#include "avm/gl/shader_programs.h"
#include "avm/gl/tire_plate_display.h"
#include "avm/include/avm_image_tools.h"
#include "avm/view/car_params.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/plate_tyre_fixture.h"
#include "tests/support/process_runner.h"

namespace {

struct Box {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;  // inclusive
  bool empty() const { return right < 0; }
};

int ScreenX(double sceneX) { return static_cast<int>(std::lround((sceneX / 400.0 + 1.0) * 512.0)); }
int ScreenTop(double height) { return static_cast<int>(std::lround(600.0 - 5.0 * height)); }

// Solid colours of the icons, R, G, B.
const Rgba kLeak{255, 0, 255, 255};
const Rgba kLow{0, 255, 255, 255};
const Rgba kHigh{255, 128, 0, 255};
const Rgba kHot{128, 0, 255, 255};
const Rgba kBattery{128, 255, 128, 255};
const Rgba kPlate{255, 255, 0, 255};

class TyreDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeGlyphAssetRoot(dir_.path());
    UseSceneWithAssetRoot(root_);
    scene_ = pViewParam;
    BuildScenePrograms();
    glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
    const float lateral = 80.0f, frontAxle = 150.0f, rearAxle = -150.0f, tyreWidth = 20.0f;
    const float tires[6] = {lateral, frontAxle, rearAxle, tyreWidth, 0.0f, 0.0f};
    std::copy(tires, tires + 6, carTiresParamsCur);
    // view = identity; projection: x / 400, z / 60 - 1.
    const float projection[16] = {1.0f / 400, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f / 60, 0, 0, 0, -1, 0, 1};
    std::copy(projection, projection + 16, scene_->projMatrix);
    for (int i = 0; i < 16; ++i) {
      scene_->viewMatrix[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
    scene_->leakTexture = Solid(kLeak);
    scene_->pressureLowTexture = Solid(kLow);
    scene_->pressureHighTexture = Solid(kHigh);
    scene_->temperatureHighTexture = Solid(kHot);
    scene_->powerLowTexture = Solid(kBattery);
    scene_->plateTexture = Quadrants();
    for (int t = 0; t < 4; ++t) {
      scene_->tirePanelTextures[t] = Quadrants();
      scene_->tirePressure[t] = 230;
      scene_->tireTemperature[t] = 20;
      scene_->tirePanelReady[t] = 1;
    }
    scene_->tirePanelMode = 1;
    scene_->spriteAngle = 0;
  }

  GLuint Upload(const cv::Mat& rgba) {
    GLuint name = 0;
    CreateTexture(&name, 1);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba.cols, rgba.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data);
    return name;
  }
  GLuint Solid(const Rgba& c) {
    return Upload(cv::Mat(8, 8, CV_8UC4, cv::Scalar(c.r, c.g, c.b, 255)));
  }
  // Top-left red, top-right green, bottom-left blue, bottom-right white,
  // rows uploaded top first as Java does.
  GLuint Quadrants() {
    cv::Mat rgba;
    cv::cvtColor(QuadrantPicture(64, 64), rgba, cv::COLOR_BGR2RGBA);
    return Upload(rgba);
  }

  std::vector<uint8_t> Frame(const std::function<void()>& draw) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    draw();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return HostEglReadPixels();
  }
  std::vector<uint8_t> Tyre(int t) {
    return Frame([t] { DrawTirePressure(t); });
  }

  static Box Drawn(const std::vector<uint8_t>& frame) {
    Box box;
    for (int y = 0; y < kTestScreenHeight; ++y) {
      for (int x = 0; x < kTestScreenWidth; ++x) {
        const Rgba p = FramePixel(frame, x, y);
        if (p.r + p.g + p.b > 0) {
          box.left = std::min(box.left, x);
          box.right = std::max(box.right, x);
          box.top = std::min(box.top, y);
          box.bottom = std::max(box.bottom, y);
        }
      }
    }
    return box;
  }

  // The drawing covers scene x from a to b, z from 0 to h (one pixel slack).
  static void ExpectCovers(const std::vector<uint8_t>& frame, double a, double b, double h) {
    const Box box = Drawn(frame);
    ASSERT_FALSE(box.empty());
    EXPECT_NEAR(box.left, ScreenX(a), 1);
    EXPECT_NEAR(box.right + 1, ScreenX(b), 1);
    EXPECT_NEAR(box.top, ScreenTop(h), 1);
    EXPECT_EQ(box.bottom, kTestScreenHeight - 1);
  }

  static Rgba At(const std::vector<uint8_t>& frame, double x, double z) {
    return FramePixel(frame, ScreenX(x), ScreenTop(z));
  }
  static bool Is(const Rgba& p, const Rgba& c) { return Near(p, c.r, c.g, c.b, 2); }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

// The outer tyres' faces are at x = -95 (tyres 0, 1) and 95 (tyres 2, 3):
// 80 from the centre line, half a 20-wide tyre, then 5 units of gap.
TEST_F(TyreDisplay, PanelUpToNineNineNineIconsFromAThousand) {
  scene_->tirePressure[0] = 999;
  std::vector<uint8_t> frame = Tyre(0);
  ExpectCovers(frame, -183, -95, 56);
  EXPECT_TRUE(Is(At(frame, -170, 50), {255, 0, 0, 255}));   // image top-left: red
  EXPECT_TRUE(Is(At(frame, -105, 5), {255, 255, 255, 255}));  // bottom-right: white

  scene_->tirePressure[0] = 1000;
  scene_->tireLeak[0] = 1;
  frame = Tyre(0);
  ExpectCovers(frame, -139, -95, 44);
  EXPECT_TRUE(Is(At(frame, -117, 22), kLeak));

  // No reading yet (the start value) also shows the icons; without any
  // warning nothing at all.
  scene_->tirePressure[0] = -1;
  EXPECT_TRUE(Is(At(Tyre(0), -117, 22), kLeak));
  scene_->tireLeak[0] = 0;
  EXPECT_TRUE(Drawn(Tyre(0)).empty());
  // Panel mode off: the icon rules, whatever the reading.
  scene_->tirePressure[0] = 230;
  scene_->tirePanelMode = 0;
  scene_->tireTempAlarm[0] = 1;
  EXPECT_TRUE(Is(At(Tyre(0), -117, 22), kHot));
}

TEST_F(TyreDisplay, TemperatureOutOfRangeShowsTheUpperHalfOnly) {
  for (int temperature : {100, -100}) {
    scene_->tireTemperature[2] = temperature;
    const std::vector<uint8_t> frame = Tyre(2);
    ExpectCovers(frame, 95, 183, 28);
    // The lower half of the quad shows the image's upper half.
    EXPECT_TRUE(Is(At(frame, 105, 3), {255, 0, 0, 255})) << temperature;
    EXPECT_TRUE(Is(At(frame, 170, 3), {0, 255, 0, 255})) << temperature;
  }
  scene_->tireTemperature[2] = 99;
  const std::vector<uint8_t> frame = Tyre(2);
  ExpectCovers(frame, 95, 183, 56);
  EXPECT_TRUE(Is(At(frame, 105, 3), {0, 0, 255, 255}));
}

TEST_F(TyreDisplay, LeakOutranksHighPressureAndIsPassedAsStatusThree) {
  scene_->tirePanelMode = 0;
  scene_->tireLeak[1] = 1;
  scene_->tirePressureAlarm[1] = 2;
  // Tyre 1 at angle 0: 33-wide icons.
  std::vector<uint8_t> frame = Tyre(1);
  ExpectCovers(frame, -128, -95, 33);
  EXPECT_TRUE(Is(At(frame, -111, 16), kLeak));
  scene_->tireBatteryLow[1] = 1;
  frame = Tyre(1);
  ExpectCovers(frame, -161, -95, 33);
  EXPECT_TRUE(Is(At(frame, -111, 16), kLeak));
  EXPECT_TRUE(Is(At(frame, -145, 16), kBattery));

  // In panel mode the generator gets status 3 (the leak icon) for it.
  scene_->tirePanelMode = 1;
  scene_->tirePanelReady[1] = 0;
  scene_->tireTemperature[1] = 31;
  frame = Tyre(1);
  EXPECT_EQ(scene_->tirePanelReady[1], 1);
  const std::string panelPath = root_ + "common/pressure/pressure.png";
  const std::string drawnPanel = ReadFile(panelPath);
  ASSERT_EQ(genTirePressure(230, 2, 31, 0, 3, 0, 0, 0), 1);
  EXPECT_EQ(ReadFile(panelPath), drawnPanel);
  ASSERT_EQ(genTirePressure(230, 2, 31, 0, 2, 0, 0, 0), 1);
  EXPECT_NE(ReadFile(panelPath), drawnPanel);
}

TEST_F(TyreDisplay, IconPriorityAndTheBatteryIcon) {
  scene_->tirePanelMode = 0;
  scene_->tirePressureAlarm[3] = 1;
  scene_->tireTempAlarm[3] = 1;
  EXPECT_TRUE(Is(At(Tyre(3), 111, 16), kLow));
  scene_->tirePressureAlarm[3] = 2;
  EXPECT_TRUE(Is(At(Tyre(3), 111, 16), kHigh));
  scene_->tirePressureAlarm[3] = 0;
  EXPECT_TRUE(Is(At(Tyre(3), 111, 16), kHot));
  // The battery alone takes the first icon's place.
  scene_->tireTempAlarm[3] = 0;
  scene_->tireBatteryLow[3] = 1;
  std::vector<uint8_t> frame = Tyre(3);
  ExpectCovers(frame, 95, 128, 33);
  EXPECT_TRUE(Is(At(frame, 111, 16), kBattery));
  // Beside a first icon it goes one slot further out.
  scene_->tireTempAlarm[3] = 1;
  frame = Tyre(3);
  ExpectCovers(frame, 95, 161, 33);
  EXPECT_TRUE(Is(At(frame, 145, 16), kBattery));
}

TEST_F(TyreDisplay, BillboardSizeAndMirroringFollowTheViewSide) {
  for (int angle : {0, 96, 150, 191}) {
    scene_->spriteAngle = angle;
    ExpectCovers(Tyre(0), -183, -95, 56);
    ExpectCovers(Tyre(1), -161, -95, 42);
    std::vector<uint8_t> frame = Tyre(2);
    ExpectCovers(frame, 95, 183, 56);
    EXPECT_TRUE(Is(At(frame, 105, 50), {255, 0, 0, 255})) << angle;
    ExpectCovers(Tyre(3), 95, 161, 42);
  }
  for (int angle : {1, 48, 95}) {
    scene_->spriteAngle = angle;
    ExpectCovers(Tyre(0), -161, -95, 42);
    std::vector<uint8_t> frame = Tyre(1);
    ExpectCovers(frame, -183, -95, 56);
    // Mirrored left to right: green top-left, red top-right.
    EXPECT_TRUE(Is(At(frame, -170, 50), {0, 255, 0, 255})) << angle;
    EXPECT_TRUE(Is(At(frame, -105, 50), {255, 0, 0, 255})) << angle;
    ExpectCovers(Tyre(2), 95, 161, 42);
    ExpectCovers(Tyre(3), 95, 183, 56);
  }
  // Icons too: 44 for tyres 0 and 2 at angle 0, for 1 and 3 at 1..95.
  scene_->tirePanelMode = 0;
  for (int t = 0; t < 4; ++t) {
    scene_->tireLeak[t] = 1;
  }
  scene_->spriteAngle = 0;
  ExpectCovers(Tyre(2), 95, 139, 44);
  ExpectCovers(Tyre(3), 95, 128, 33);
  scene_->spriteAngle = 95;
  ExpectCovers(Tyre(2), 95, 128, 33);
  ExpectCovers(Tyre(3), 95, 139, 44);
}

TEST_F(TyreDisplay, AFailedPanelWaitsForNewReadings) {
  const std::string dir = root_ + "common/pressure/";
  ASSERT_EQ(std::rename((dir + "background0.bin").c_str(), (dir + "held.bin").c_str()), 0);
  ASSERT_EQ(std::rename((dir + "background0.png").c_str(), (dir + "held.png").c_str()), 0);
  scene_->tirePanelReady[0] = 0;
  EXPECT_TRUE(Drawn(Tyre(0)).empty());
  EXPECT_EQ(scene_->tirePanelReady[0], 2);
  EXPECT_FALSE(FileExists(dir + "pressure.png"));

  // Not tried again on the next frames, even once the sheet is back...
  ASSERT_EQ(std::rename((dir + "held.bin").c_str(), (dir + "background0.bin").c_str()), 0);
  EXPECT_TRUE(Drawn(Tyre(0)).empty());
  EXPECT_FALSE(FileExists(dir + "pressure.png"));
  // ...but as soon as the readings setter marks the panel stale.
  scene_->tirePanelReady[0] = 0;
  ExpectCovers(Tyre(0), -183, -95, 56);
  EXPECT_EQ(scene_->tirePanelReady[0], 1);
  EXPECT_TRUE(FileExists(dir + "pressure.png"));
}

TEST_F(TyreDisplay, PlateQuadsOnlyWithPlateGeometry) {
  // Quad 0 upright from x -50 to 50, quad 1 from 150 to 250, both 10..30 high.
  const float quads[24] = {-50, 0, 30, -50, 0, 10, 50, 0, 30, 50, 0, 10,
                           150, 0, 30, 150, 0, 10, 250, 0, 30, 250, 0, 10};
  std::copy(quads, quads + 24, carPlateCordCur);
  scene_->plateGeometryValid = 0;
  for (int angle : {24, 48, 72, 120, 168}) {
    scene_->spriteAngle = angle;
    EXPECT_TRUE(Drawn(Frame([] { DrawPlateNumber(1); })).empty());
    EXPECT_TRUE(Drawn(Frame([] { DrawPlateNumber(0); })).empty());
  }
  scene_->plateGeometryValid = 1;
  std::vector<uint8_t> frame = Frame([] { DrawPlateNumber(1); });
  Box box = Drawn(frame);
  EXPECT_NEAR(box.left, ScreenX(-50), 1);
  EXPECT_NEAR(box.right + 1, ScreenX(50), 1);
  EXPECT_NEAR(box.top, ScreenTop(30), 1);
  EXPECT_NEAR(box.bottom + 1, ScreenTop(10), 1);
  EXPECT_TRUE(Is(At(frame, -40, 28), {255, 0, 0, 255}));
  frame = Frame([] { DrawPlateNumber(0); });
  box = Drawn(frame);
  EXPECT_NEAR(box.left, ScreenX(150), 1);
  EXPECT_NEAR(box.right + 1, ScreenX(250), 1);
  EXPECT_TRUE(Is(At(frame, 240, 12), {255, 255, 255, 255}));
}

}  // namespace
