// The car views through the app's Java class in a real Java VM, as the app
// drives them: unpack and select the sample car, turn the 3D view to a state
// angle with commands, and let the frames of AVM.Draw compose and show the
// car with turning wheels, a blinking indicator and open doors; then the top
// view.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/sprite_quad.h"
#include "avm/view/car_params.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/driver_view.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/avm/sprite_pixels.h"
#include "tests/support/process_runner.h"

namespace {

namespace sm = sample_marks;

void NoSleep(uint32_t) {}

class JavaCarView : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = JavaStartWithCar(dir_.path(), std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car");
    ASSERT_FALSE(root_.empty());
    gFrameClock = FrameClock{GetTickCount, NoSleep};
    scene_ = pViewParam;
    // Only the car: the layers under it are tested on their own.
    for (int command : {106, 107, 108, 109}) {
      ASSERT_EQ(JavaSetCmd(command, 0), 1);
    }
    ASSERT_EQ(JavaSetCmd(0, 5), 1);
    ASSERT_EQ(JavaSetCmd(73, 1), 1);  // smooth rotation reaches every angle
  }
  void TearDown() override { gFrameClock = FrameClock{GetTickCount, SleepMilliseconds}; }

  // Turns the view with the angle command and draws until it rests there.
  void TurnTo(int angle) {
    ASSERT_EQ(JavaSetCmd(7, static_cast<int>(std::ceil(angle * 1.875))), 1);
    for (int frame = 0; frame < 200 && scene_->spriteAngle != angle; ++frame) {
      ASSERT_EQ(JavaDraw(&camera_), 1);
    }
    ASSERT_EQ(scene_->spriteAngle, angle);
    ASSERT_EQ(scene_->spriteAngleTarget, angle);
    for (const auto& row : scene_->frameTextures) {
      for (uint32_t texture : row) {
        Nearest(texture);
      }
    }
  }

  Picture StateImage() {
    const cv::Mat base = cv::imread(
        root_ + ".tmp/demo/color/a/" + std::to_string(scene_->spriteAngle) + ".kes",
        cv::IMREAD_UNCHANGED);
    return TexturePicture(scene_->frameTextures[scene_->blinkPhase][scene_->wheelFrame], base.cols,
                          base.rows);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  const std::vector<int> camera_ = {0};
};

TEST_F(JavaCarView, SideViewWheelsTurnAndTheLeftIndicatorBlinks) {
  TurnTo(130);
  ASSERT_EQ(JavaSetCmd(2, 10001), 1);
  ASSERT_EQ(JavaSetCmd(6, 1), 1);
  std::set<int> wheelFrames;
  int litFrames = 0;
  for (int frame = 0; frame < 24; ++frame) {
    ASSERT_EQ(JavaDraw(&camera_), 1);
    const int w = scene_->wheelFrame;
    wheelFrames.insert(w);
    std::set<int> expected = {sm::WheelLayer(true, 0, w), sm::WheelLayer(false, 0, w)};
    if (scene_->blinkPhase == 1) {
      expected.insert(sm::kLayerLamp + sm::kLampLeft4);
      ++litFrames;
    }
    const Picture image = StateImage();
    EXPECT_EQ(OverlayLayers(LayerCounts(image)), expected) << "frame " << frame;
    float quad[12];
    ASSERT_TRUE(WholeCarSpriteQuad(scene_, carCordCur[130], SpriteEdges::kHalfPixelFurther, quad));
    ExpectFrameShows(HostEglReadPixels(), quad, scene_->mainViewport, image);
  }
  EXPECT_EQ(wheelFrames.size(), 6u);
  EXPECT_EQ(litFrames, 12);
  // The right indicator does not blink on the left side.
  ASSERT_EQ(JavaSetCmd(6, 2), 1);
  for (int frame = 0; frame < 24; ++frame) {
    ASSERT_EQ(JavaDraw(&camera_), 1);
    EXPECT_EQ(scene_->blinkPhase, 0);
  }
}

TEST_F(JavaCarView, DoorsOpenAtTheFrontAndInTheTopView) {
  TurnTo(54);
  ASSERT_EQ(JavaSetCmd(4, 0xF), 1);
  ASSERT_EQ(JavaDraw(&camera_), 1);
  std::set<int> doors;
  for (int layer : OverlayLayers(LayerCounts(StateImage()))) {
    doors.insert(layer);
  }
  EXPECT_EQ(doors, (std::set<int>{sm::kLayerDoor + 4, sm::kLayerDoor + 5}));

  ASSERT_EQ(JavaSetCmd(0, 12), 1);
  ASSERT_EQ(JavaSetCmd(4, 0x2), 1);
  ASSERT_EQ(JavaDraw(&camera_), 1);
  Nearest(scene_->topViewTexture);
  const cv::Mat top =
      cv::imread(root_ + ".tmp/demo/color/top/top0000.kes", cv::IMREAD_UNCHANGED);
  const Picture image = TexturePicture(scene_->topViewTexture, top.cols, top.rows);
  EXPECT_EQ(OverlayLayers(LayerCounts(image)), (std::set<int>{sm::kLayerDoor + 2}));
  const std::vector<uint8_t> frame = HostEglReadPixels();
  // Somewhere inside the top viewport the car is drawn.
  int lit = 0;
  for (int y = 0; y < kTestScreenHeight; ++y) {
    for (int x = 0; x < kTestScreenWidth; ++x) {
      const HostPixel p = HostEglPixel(frame, x, y);
      lit += (p.r | p.g | p.b) != 0 ? 1 : 0;
    }
  }
  EXPECT_GT(lit, 1000);
}

// A car whose picture of an angle is wider than the GPU takes: selected
// after the sample car was shown at that angle, the frame shows no car
// there rather than the sample car's picture the textures held before.
TEST_F(JavaCarView, APictureTooLargeForTheGpuShowsNoCarNotThePreviousOne) {
  TurnTo(130);
  Screen screen;
  ASSERT_EQ(JavaDraw(&camera_), 1);
  screen.Read();
  ASSERT_TRUE(Has(SeenLayers(screen, scene_->mainViewport), sm::kLayerWholeCar));

  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  ASSERT_GT(maxSide, 0);
  std::error_code error;
  std::filesystem::copy(root_ + ".tmp/demo", root_ + ".tmp/wide",
                        std::filesystem::copy_options::recursive, error);
  ASSERT_FALSE(error) << error.message();
  // Within the decoder's own budget of pixels, one column beyond the GPU's.
  const cv::Mat wide(20, maxSide + 1, CV_8UC4, cv::Scalar(90, 60, 30, 255));
  ASSERT_TRUE(cv::imwrite(root_ + ".tmp/wide/color/a/130.png", wide));
  std::filesystem::rename(root_ + ".tmp/wide/color/a/130.png", root_ + ".tmp/wide/color/a/130.kes",
                          error);
  ASSERT_FALSE(error) << error.message();

  ASSERT_EQ(JavaSetCar("wide", 2), 1);
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_EQ(JavaDraw(&camera_), 1);
    ASSERT_EQ(scene_->spriteAngle, 130);
    screen.Read();
    EXPECT_TRUE(SeenLayers(screen, scene_->mainViewport).empty()) << "frame " << frame;
  }
  EXPECT_FALSE(TextureHasImage(scene_->angleTextures[130].texture));
  EXPECT_FALSE(TextureHasImage(scene_->frameTextures[scene_->blinkPhase][scene_->wheelFrame]));
  ASSERT_EQ(JavaSetCar("demo", 2), 1);
}

}  // namespace
