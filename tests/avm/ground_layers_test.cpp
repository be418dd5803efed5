// The layers on the ground around the car: the scrolling roadway and lanes,
// the road shifted for the other car, the flat shadow and the background
// modes.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <vector>

#include "avm/bridge/scene_state.h"
#include "avm/gl/scene_layers.h"
#include "avm/sprites/sprite_image.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_view_fixture.h"

namespace {

// --- Ground layers ----------------------------------------------------

TEST_F(Ground, PhaseAlternatesAtStandstillAndMovesWithTheSpeedClass) {
  scene_->reverseGear = 0;
  scene_->vehicleSpeed.store(0);
  gRoadwayPhase = 0;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 100);
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 0);
  const struct {
    int32_t speed;
    int step;
  } classes[] = {{1, 1}, {5000, 1}, {5001, 2}, {10000, 2}, {10001, 3}, {30000, 3}, {30001, 4}};
  for (const auto& c : classes) {
    gRoadwayPhase = 50;
    gLanePhase = 10;
    scene_->vehicleSpeed.store(c.speed);
    DrawRoadway(0);
    DrawLaneline(0);
    EXPECT_EQ(gRoadwayPhase, 50 + c.step) << c.speed;
    EXPECT_EQ(gLanePhase, 10 + c.step) << c.speed;
  }
  // Forward wraps past 99 to 0; reverse falls and wraps from 0 or below to 100.
  scene_->vehicleSpeed.store(30001);
  gRoadwayPhase = 96;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 0);
  scene_->reverseGear = 1;
  gRoadwayPhase = 10;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 6);
  gRoadwayPhase = 3;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 100);
}

TEST_F(Ground, TextureOffsetFollowsThePhase) {
  // A picture with its top quarter red and the rest green: the tile shows
  // rows v .. v + 0.75 of it, so phase 100 (v = 0) starts in red and phase 0
  // (v = 0.25) shows green only.
  cv::Mat picture = Flat(4, 16, 0, 255, 0, 255);
  picture(cv::Rect(0, 0, 4, 4)).setTo(cv::Scalar(0, 0, 255, 255));
  UploadSpriteImage(static_cast<int>(scene_->roadwayTexture), picture);
  scene_->vehicleSpeed.store(0);
  scene_->projMatrix[5] = 1.0f / 1100.0f;  // one tile, y -1100..1100, fills the height
  scene_->viewMatrix[13] = -(-22500.0f + 1100.0f) / 1.0f;  // centre the first tile
  gRoadwayPhase = 0;
  DrawRoadway(0);
  std::vector<uint8_t> frame = HostEglReadPixels();
  int red = 0;
  for (int y = 0; y < kH; ++y) {
    red += FramePixel(frame, kW / 2, y).b > 128 ? 1 : 0;  // texture B = picture R byte
  }
  EXPECT_LE(red, 1);  // at most the blended edge row
  glClear(GL_COLOR_BUFFER_BIT);
  DrawRoadway(0);  // phase 100 now
  frame = HostEglReadPixels();
  red = 0;
  for (int y = 0; y < kH; ++y) {
    red += FramePixel(frame, kW / 2, y).b > 128 ? 1 : 0;
  }
  // A quarter of the picture over three quarters of it on screen: a third
  // of the height, at the tile's far end (y + 2200 is v, the top).
  EXPECT_NEAR(red, kH / 3, 4);
  EXPECT_GT(FramePixel(frame, kW / 2, 5).b, 160);
}

TEST_F(Ground, TheOtherCarShiftsTheRoad) {
  const struct {
    int mode;
    float left, right;
  } cases[] = {{0, -555, 555}, {2, -555, 555}, {3, -455, 655}, {4, -655, 455}};
  for (const auto& c : cases) {
    scene_->aiCarMode = c.mode;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawRoadway(0);
    std::vector<uint8_t> frame = HostEglReadPixels();
    EXPECT_TRUE(LitAt(frame, c.left + 8)) << c.mode;
    EXPECT_FALSE(LitAt(frame, c.left - 8)) << c.mode;
    EXPECT_TRUE(LitAt(frame, c.right - 8)) << c.mode;
    EXPECT_FALSE(LitAt(frame, c.right + 8)) << c.mode;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawLaneline(0);
    frame = HostEglReadPixels();
    EXPECT_TRUE(LitAt(frame, c.left + 8)) << c.mode;
    EXPECT_FALSE(LitAt(frame, c.left - 8)) << c.mode;
  }
}

TEST_F(Ground, FlatShadowIsAMidGreyRectangleOfTheCarsSize) {
  scene_->carBottomIndex = 3;
  scene_->shadowLuma = 0.5f;
  scene_->carWidth = 190;
  scene_->carLength = 523;
  DrawCarBottomShadow(0);
  std::vector<uint8_t> frame = HostEglReadPixels();
  const Rgba centre = FramePixel(frame, kW / 2, kH / 2);
  EXPECT_TRUE(Near(centre, 128, 128, 128, 1));
  EXPECT_GT(FramePixel(frame, Column(90), kH / 2).r, 100);
  EXPECT_EQ(FramePixel(frame, Column(100), kH / 2).r, 0);
  const int rowInside = kH / 2 - static_cast<int>(255.0f / 1000.0f * kH / 2);
  const int rowOutside = kH / 2 - static_cast<int>(268.0f / 1000.0f * kH / 2);
  EXPECT_GT(FramePixel(frame, kW / 2, rowInside).r, 100);
  EXPECT_EQ(FramePixel(frame, kW / 2, rowOutside).r, 0);

  // The top view scales it by topScale; the picture form draws the picture.
  scene_->topScale[0] = 2.0f;
  scene_->topScale[1] = 1.0f;
  glClear(GL_COLOR_BUFFER_BIT);
  DrawCarBottomShadow(1);
  frame = HostEglReadPixels();
  EXPECT_GT(FramePixel(frame, Column(180), kH / 2).r, 100);
  EXPECT_EQ(FramePixel(frame, Column(200), kH / 2).r, 0);
  scene_->carBottomIndex = 1;
  UploadSpriteImage(static_cast<int>(scene_->carBottomTexture), Flat(4, 4, 0, 0, 255, 255));
  glClear(GL_COLOR_BUFFER_BIT);
  DrawCarBottomShadow(0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), kW / 2, kH / 2), 0, 0, 255));
}

TEST_F(Ground, BackgroundModes) {
  UploadSpriteImage(static_cast<int>(scene_->backgroundTexture), Flat(4, 4, 255, 255, 255, 255));
  const struct {
    int mode, angle;
    int32_t speed;
    int aiCar;
    bool drawn;
  } cases[] = {
      {0, 10, 0, 0, true},    {1, 144, 0, 0, false}, {1, 144, 1, 0, true},
      {1, 143, 1, 0, false},  {1, 144, 1, 3, false}, {1, 144, 1, 4, false},
      {1, 144, -1, 2, true},  {2, 144, 1, 0, false}, {-1, 144, 1, 0, false},
  };
  for (const auto& c : cases) {
    scene_->backgroundMode = c.mode;
    scene_->spriteAngle = c.angle;
    scene_->vehicleSpeed.store(c.speed);
    scene_->aiCarMode = c.aiCar;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawBackground(6);
    const Rgba pixel = FramePixel(HostEglReadPixels(), kW / 2, kH / 2);
    EXPECT_EQ(pixel.r > 128, c.drawn) << c.mode << " " << c.angle << " " << c.speed;
  }
}

}  // namespace
