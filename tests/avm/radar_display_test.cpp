// The radar display: its blink cycle, which picture each sensor value
// picks, where the level segments and the distance walls lie, and the two
// routines drawing into the real GL context.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/radar_geometry.h"
#include "avm/include/avm_radar.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/object_mesh_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

// Calls 1 to 12 draw, 13 to 25 do not, 26 to 38 do, 39 to 51 do not.
bool ShownAtCall(int call) { return call <= 12 || (call >= 26 && call <= 38); }

TEST(RadarBlink, ShownTwelveHiddenThirteenShownThirteen) {
  RadarBlink blink;
  for (int call = 1; call <= 51; ++call) {
    EXPECT_EQ(RadarBlinkStep(&blink), ShownAtCall(call)) << "call " << call;
  }
}

TEST(RadarPictures, ZonesAndLevelsPickTheirImages) {
  const int zones[][2] = {{33, 2}, {34, 1}, {100, 1}, {101, 0}, {150, 0}, {151, -1},
                          {1, 2},  {0, -1}, {-5, -1}};
  for (const auto& zone : zones) {
    EXPECT_EQ(RadarDistanceZone(zone[0]), zone[1]) << "distance " << zone[0];
  }
  EXPECT_EQ(RadarLevelImage(0, false), -1);
  EXPECT_EQ(RadarLevelImage(-1, true), -1);
  EXPECT_EQ(RadarLevelImage(1, false), 0);
  EXPECT_EQ(RadarLevelImage(3, false), 2);
  EXPECT_EQ(RadarLevelImage(2, true), 4);
  // Four-bit levels beyond the nearest show as the nearest, never past the
  // nine pictures.
  EXPECT_EQ(RadarLevelImage(4, false), 2);
  EXPECT_EQ(RadarLevelImage(15, true), 5);
  EXPECT_EQ(RadarLevelImage(255, true), 5);
}

class RadarScene : public ::testing::Test {
 protected:
  void SetUp() override {
    scene_ = new ViewParam();
    scene_->carWidth = 190;
    scene_->carLength = 523;
    scene_->topScale[0] = 1.0f;
    scene_->topScale[1] = 1.0f;
    for (int i = 0; i < 9; ++i) {
      scene_->radarTextures[i] = 100 + static_cast<uint32_t>(i);
    }
  }
  void TearDown() override { delete scene_; }
  ViewParam* scene_ = nullptr;
};

TEST_F(RadarScene, LevelSegmentsSpanTheEndWithGaps) {
  scene_->radarGroup1[0] = 1;
  scene_->radarGroup1[1] = 2;
  scene_->radarGroup1[2] = 3;
  scene_->radarGroup1[3] = 15;
  RadarQuad quads[kRadarSensors];
  ASSERT_EQ(BuildRadarLevelQuads(scene_, quads), 4);
  const float s = (190.0f + 20.0f - 15.0f) * 0.25f;
  const float m = s * 43.0f / 168.0f;
  const float y0 = 523.0f * 0.5f + 10.0f;
  // Corner square at the -x corner: outer corner first, then towards the car.
  const float corner[12] = {-105.0f, y0, 0, -105.0f, y0 - s, 0, -105.0f + s, y0, 0,
                            -105.0f + s, y0 - s, 0};
  for (int i = 0; i < 12; ++i) {
    EXPECT_NEAR(quads[0].positions[i], corner[i], 1e-4) << i;
  }
  EXPECT_EQ(quads[0].texture, 100u);
  // Sensor 1 is the first middle segment, level 2: middle image 4.
  EXPECT_EQ(quads[1].sensor, 1);
  EXPECT_EQ(quads[1].texture, 104u);
  EXPECT_NEAR(quads[1].positions[0], -105.0f + s + 5.0f, 1e-4);
  EXPECT_NEAR(quads[1].positions[4], y0 - m, 1e-4);
  EXPECT_NEAR(quads[2].positions[0], -105.0f + 2 * s + 10.0f, 1e-4);
  EXPECT_EQ(quads[2].texture, 105u);
  // The +x corner runs inwards from +105; level 15 shows as level 3.
  EXPECT_NEAR(quads[3].positions[0], 105.0f, 1e-4);
  EXPECT_NEAR(quads[3].positions[6], 105.0f - s, 1e-4);
  EXPECT_EQ(quads[3].texture, 102u);
  // The segments end exactly at the other corner.
  EXPECT_NEAR(quads[2].positions[6] + 5.0f, quads[3].positions[6], 1e-3);
}

TEST_F(RadarScene, RearEndRunsTowardsTheCarFromBelowAndZeroDrawsNothing) {
  scene_->radarGroup2[0] = 1;
  scene_->radarGroup2[3] = -2;
  RadarQuad quads[kRadarSensors];
  ASSERT_EQ(BuildRadarLevelQuads(scene_, quads), 1);
  EXPECT_EQ(quads[0].sensor, 4);
  const float y0 = -523.0f * 0.5f - 10.0f;
  EXPECT_NEAR(quads[0].positions[1], y0, 1e-4);
  EXPECT_GT(quads[0].positions[4], y0);
  scene_->radarGroup2[0] = 0;
  EXPECT_EQ(BuildRadarLevelQuads(scene_, quads), 0);
}

TEST_F(RadarScene, WallOfOneSensorStandsOnItsArc) {
  scene_->radarGroup1[0] = 50;
  RadarQuad quads[kRadarSensors];
  ASSERT_EQ(BuildRadarWallQuads(scene_, quads), 1);
  const double spread = 2.0 * std::atan(190.0 / 523.0);
  const double step = spread / 4.0;
  const double theta = 1.5707963705062866 - spread / 2.0;
  const double margin = step / 20.0;
  const double r = 523.0 / 2.0 + 50.0;
  const double x0 = r * std::cos(theta + margin);
  const double y0 = r * std::sin(theta + margin);
  const double x1 = r * std::cos(theta + step - margin);
  const double y1 = r * std::sin(theta + step - margin);
  const double h = std::hypot(x1 - x0, y1 - y0);
  const double expected[12] = {x0, y0, 0, x1, y1, 0, x0, y0, h, x1, y1, h};
  for (int i = 0; i < 12; ++i) {
    EXPECT_NEAR(quads[0].positions[i], expected[i], 1e-3) << i;
  }
  // Sensor 0 lies on the +x side, the reverse of the level display.
  EXPECT_GT(x0, 0.0);
  EXPECT_EQ(quads[0].texture, 107u);  // 50 is the middle zone
}

TEST_F(RadarScene, WallsTakeTheirZonesAndTheRearEndIsMirrored) {
  const int32_t distances[4] = {33, 34, 100, 101};
  for (int i = 0; i < 4; ++i) {
    scene_->radarGroup1[i] = distances[i];
  }
  scene_->radarGroup2[0] = 150;
  scene_->radarGroup2[1] = 151;
  scene_->radarGroup2[2] = 0;
  scene_->radarGroup2[3] = 20;
  RadarQuad quads[kRadarSensors];
  ASSERT_EQ(BuildRadarWallQuads(scene_, quads), 6);
  // Order: sensor i of the +y end, then sensor 4 + i.
  const int sensors[6] = {0, 4, 1, 2, 3, 7};
  const uint32_t textures[6] = {108, 106, 107, 107, 106, 108};
  for (int q = 0; q < 6; ++q) {
    EXPECT_EQ(quads[q].sensor, sensors[q]) << q;
    EXPECT_EQ(quads[q].texture, textures[q]) << q;
  }
  // Sensor 4 at 150: the wall of sensor 0's sector, mirrored to the -y end.
  const double spread = 2.0 * std::atan(190.0 / 523.0);
  const double angle = 1.5707963705062866 - spread / 2.0 + spread / 80.0;
  EXPECT_NEAR(quads[1].positions[0], 411.5 * std::cos(angle), 1e-3);
  EXPECT_NEAR(quads[1].positions[1], -411.5 * std::sin(angle), 1e-3);
}

// The two exported routines through the real context, in the top view.
class RadarDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    scene_->topScale[0] = 1.0f;
    scene_->topScale[1] = 1.0f;
    // Picture i is grey level 20 * (i + 1), so that the frame tells it.
    ASSERT_TRUE(ShowRadarFromAbove(scene_));
  }

  Rgba PixelAt(float x, float y) {
    const float viewport[4] = {0.0f, 0.0f, static_cast<float>(kTestScreenWidth),
                               static_cast<float>(kTestScreenHeight)};
    const ScreenPoint p = ProjectToScreen(scene_->viewMatrix, scene_->projMatrix, viewport,
                                          kTestScreenHeight, x, y, 0.0f);
    return FramePixel(HostEglReadPixels(), p.x, p.y);
  }

  void ClearFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

// Both routines keep their cycle for the life of the library: each is
// followed through its first calls in one test.
TEST_F(RadarDraw, LevelDisplayBlinksAndShowsTheMiddleImageOfLevelTwo) {
  scene_->radarGroup1[1] = 2;
  const float s = (190.0f + 20.0f - 15.0f) * 0.25f;
  const float x = -105.0f + s + 5.0f + s * 0.5f;
  const float y = 261.5f + 10.0f - 2.0f;
  for (int call = 1; call <= 38; ++call) {
    ClearFrame();
    DrawRadarStatic();
    const Rgba pixel = PixelAt(x, y);
    if (ShownAtCall(call)) {
      EXPECT_TRUE(Near(pixel, 100, 100, 100)) << "call " << call;  // picture 4
    } else {
      EXPECT_TRUE(Near(pixel, 0, 0, 0)) << "call " << call;
    }
  }
  // Calls 39 to 51 are hidden, 52 on shown again: there, in distance mode,
  // the values are centimetres and draw no level segment, not even 2 cm.
  for (int call = 39; call <= 51; ++call) {
    DrawRadarStatic();
  }
  scene_->radarInputMode = 1;
  for (int32_t distance : {2, 255}) {
    scene_->radarGroup1[1] = distance;
    ClearFrame();
    DrawRadarStatic();
    EXPECT_TRUE(Near(PixelAt(x, y), 0, 0, 0)) << distance << " cm";
  }
  scene_->radarInputMode = 0;
  scene_->radarGroup1[1] = 2;
  ClearFrame();
  DrawRadarStatic();  // call 54, shown
  EXPECT_TRUE(Near(PixelAt(x, y), 100, 100, 100));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RadarDraw, DistanceDisplayDrawsWallsOnlyInDistanceMode) {
  scene_->radarInputMode = 1;
  scene_->radarGroup1[0] = 30;  // nearest zone: picture 8
  scene_->radarGroup1[3] = 120;
  // The camera looks down: the wall of sensor 0 shows as its foot, seen
  // from the side it leans. Look along it from a low camera instead.
  LookAt(scene_->viewMatrix, 0.0f, -600.0f, 300.0f, 0.0f, 300.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  RadarQuad quads[kRadarSensors];
  ASSERT_EQ(BuildRadarWallQuads(scene_, quads), 2);
  const float* p = quads[0].positions;
  const float midX = (p[0] + p[3]) * 0.5f;
  const float midY = (p[1] + p[4]) * 0.5f;
  const float height = p[8];
  const float viewport[4] = {0.0f, 0.0f, static_cast<float>(kTestScreenWidth),
                             static_cast<float>(kTestScreenHeight)};
  const ScreenPoint wall = ProjectToScreen(scene_->viewMatrix, scene_->projMatrix, viewport,
                                           kTestScreenHeight, midX, midY, height * 0.5f);
  ClearFrame();
  DrawRadar();  // call 1: shown
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), wall.x, wall.y), 180, 180, 180));
  scene_->radarInputMode = 2;  // no display for other modes
  ClearFrame();
  DrawRadar();  // call 2
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), wall.x, wall.y), 0, 0, 0));
}

TEST_F(RadarDraw, OnlyNineTextureNamesAreTaken) {
  LogCapture log;
  const uint32_t names[10] = {};
  EXPECT_EQ(AvmSetRadarTextures(names, 10), 0);
  EXPECT_EQ(AvmSetRadarTextures(nullptr, 9), 0);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------SetRadarTextures:"), 2);
}

}  // namespace
