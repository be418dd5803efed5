// The pictures laid over the car's surroundings: the headlight beams and
// the other car, when they are loaded and what they cover.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "avm/gl/scene_layers.h"
#include "avm/sprites/sprite_image.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_view_fixture.h"

namespace {

TEST_F(Ground, BeamsAtSeventyTwoNeedThePartialWheelSet) {
  UploadSpriteImage(static_cast<int>(scene_->volumeLightTexture), Flat(4, 4, 255, 255, 255, 255));
  scene_->spriteAngle = 72;
  scene_->partialWheelSpritesPresent = 0;
  scene_->volumeLightLoaded = 0;
  DrawVoumeLight();
  EXPECT_EQ(scene_->volumeLightLoaded, 0);
  EXPECT_EQ(FramePixel(HostEglReadPixels(), kW / 2, kH / 2).r, 0);
  EXPECT_TRUE(TextureHasImage(scene_->volumeLightTexture));
  // At another angle whatever the texture holds is drawn and marked loaded.
  scene_->spriteAngle = 10;
  DrawVoumeLight();
  EXPECT_EQ(scene_->volumeLightLoaded, 1);
  EXPECT_GT(FramePixel(HostEglReadPixels(), kW / 2, kH / 2).r, 128);
  // At 72 with the set, the car's light1 picture is loaded (none here:
  // an empty texture).
  scene_->spriteAngle = 72;
  scene_->partialWheelSpritesPresent = 1;
  scene_->volumeLightLoaded = 0;
  DrawVoumeLight();
  EXPECT_EQ(scene_->volumeLightLoaded, 1);
  EXPECT_FALSE(TextureHasImage(scene_->volumeLightTexture));
}

TEST_F(Ground, WithoutAFiniteFrameTheOtherCarAndTheBeamsAreNotLoaded) {
  // No field of view: the rendering frame has no finite size.
  const float fovy = scene_->mainFovy;
  scene_->mainFovy = 0.0f;
  scene_->spriteAngle = 144;
  scene_->aiCarLoaded = 0;
  scene_->volumeLightLoaded = 0;
  Plant(scene_->aiCarTexture);
  Plant(scene_->volumeLightTexture);
  for (int frame = 0; frame < 100; ++frame) {
    DrawAiCar();
    DrawVoumeLight();
  }
  EXPECT_EQ(scene_->aiCarLoaded, 0);
  EXPECT_EQ(scene_->volumeLightLoaded, 0);
  EXPECT_TRUE(StillPlanted(scene_->aiCarTexture)) << "the other car was loaded";
  EXPECT_TRUE(StillPlanted(scene_->volumeLightTexture)) << "the beams were loaded";
  // With a frame to draw into, each is loaded once.
  scene_->mainFovy = fovy;
  DrawAiCar();
  DrawVoumeLight();
  EXPECT_EQ(scene_->aiCarLoaded, 1);
  EXPECT_EQ(scene_->volumeLightLoaded, 1);
  EXPECT_FALSE(StillPlanted(scene_->aiCarTexture));
}

TEST_F(Ground, OtherCarLoadsOnceAndCoversTheRenderingFrame) {
  UploadSpriteImage(static_cast<int>(scene_->aiCarTexture), Flat(4, 4, 255, 255, 255, 255));
  scene_->aiCarLoaded = 1;
  DrawAiCar();
  std::vector<uint8_t> frame = HostEglReadPixels();
  // Equal cameras: the whole viewport.
  EXPECT_GT(FramePixel(frame, 2, 2).r, 128);
  EXPECT_GT(FramePixel(frame, kW - 3, kH - 3).r, 128);
  scene_->aiCarLoaded = 0;
  DrawAiCar();
  EXPECT_EQ(scene_->aiCarLoaded, 1);
  EXPECT_FALSE(TextureHasImage(scene_->aiCarTexture));  // no warning2 picture in this car
}

}  // namespace
