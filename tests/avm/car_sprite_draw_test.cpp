// The car quad as the car drawer puts it on the screen: brightness against
// transparency, what is drawn with no sprite ready, damaged tables and the
// top view without its geometry.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include <opencv2/core.hpp>

#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/sprites/sprite_image.h"
#include "avm/view/car_params.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_view_fixture.h"

namespace {

// --- The car quad -----------------------------------------------------

class CarQuad : public CarView {
 protected:
  void SetUp() override {
    CarView::SetUp();
    RestAt(10);
    scene_->carSpritesPresent = 1;
    scene_->carSpriteReady = 1;
    scene_->singleTextureMode = 0;
    // Left half transparent, right half opaque white.
    cv::Mat picture = Flat(8, 8, 255, 255, 255, 255);
    picture(cv::Rect(0, 0, 4, 8)).setTo(cv::Scalar(0, 0, 0, 0));
    UploadSpriteImage(static_cast<int>(scene_->angleTextures[10].texture), picture);
    UploadSpriteImage(static_cast<int>(scene_->frameTextures[0][0]), picture);
    scene_->blinkPhase = 0;
    scene_->wheelFrame = 0;
    glViewport(0, 0, kW, kH);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  }
  Rgba Left() { return FramePixel(HostEglReadPixels(), kW / 4, kH / 2); }
  Rgba Right() { return FramePixel(HostEglReadPixels(), 3 * kW / 4, kH / 2); }
};

TEST_F(CarQuad, BrightnessScalesTheColourNotTheTransparency) {
  scene_->carBrightness = 1.0f;
  DrawCar3D_All();
  EXPECT_TRUE(Near(Right(), 255, 255, 255));
  EXPECT_TRUE(Near(Left(), 0, 0, 255));
  scene_->carBrightness = 0.0f;
  DrawCar3D_All();
  EXPECT_TRUE(Near(Right(), 0, 0, 0));  // black, and opaque over the blue
  EXPECT_TRUE(Near(Left(), 0, 0, 255));
}

TEST_F(CarQuad, NoSpriteReadyDrawsNoWholeCarButTheStateSpriteAnyway) {
  scene_->carBrightness = 1.0f;
  scene_->carSpriteReady = 0;
  DrawCar3D_All();
  EXPECT_TRUE(Near(Right(), 0, 0, 255));
  DrawCar3D_Some();
  EXPECT_TRUE(Near(Right(), 255, 255, 255));
}

TEST_F(CarQuad, DamagedTablesDrawNothingAndRaiseNoError) {
  scene_->carBrightness = 1.0f;
  while (glGetError() != GL_NO_ERROR) {
  }
  carPicSizeCur[2] = 1.0f;
  DrawCar3D_All();
  DrawCar3D_Some();
  carPicSizeCur[2] = 101.0f;
  carCordCur[10][2] = std::numeric_limits<float>::quiet_NaN();
  DrawCar3D_All();
  carCordCur[10][2] = 101.0f;
  scene_->mainAspect = 0.0f;
  DrawCar3D_Some();
  EXPECT_TRUE(Near(Right(), 0, 0, 255));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The angle outside the tables draws nothing either.
  scene_->mainAspect = carLookatAllCur[5];
  scene_->spriteAngle = 192;
  DrawCar3D_All();
  scene_->spriteAngle = -1;
  DrawCar3D_Some();
  EXPECT_TRUE(Near(Right(), 0, 0, 255));
}

TEST_F(CarQuad, TopViewWithoutGeometryDrawsNothing) {
  UploadSpriteImage(static_cast<int>(scene_->topViewTexture), Flat(8, 8, 255, 255, 255, 255));
  const float top[5] = {200.0f, 600.0f, 100.0f, 400.0f, 900.0f};
  std::memcpy(carTop2Cur, top, sizeof(top));
  scene_->topViewDirty = 1;
  scene_->topGeometryValid = 0;
  DrawCar3D_Top();
  EXPECT_EQ(scene_->topViewDirty, 0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), kW / 2, kH / 2), 0, 0, 255));
  // With it, the loader's picture (empty here: no car) is drawn; a planted
  // one shows when nothing is dirty.
  UploadSpriteImage(static_cast<int>(scene_->topViewTexture), Flat(8, 8, 255, 255, 255, 255));
  scene_->topGeometryValid = 1;
  DrawCar3D_Top();
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), kW / 2, kH / 2), 255, 255, 255));
}

}  // namespace
