// The sample car through whole frames of the renderer, without the Java VM:
// at each state angle the frame loop composes the image its animation
// calls for (told by the layer code the kit hides in every opaque pixel:
// base, wheel of which frame, which lamp, which door), and the frame shows
// exactly that image on the car's quad; the top view likewise.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/sprite_quad.h"
#include "avm/view/car_params.h"
#include "avm/view/frame_loop.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/sprite_pixels.h"
#include "tests/support/process_runner.h"
#include "tools/lib/sample_marks.h"

namespace {

namespace sm = sample_marks;

const std::string kSampleAssets = AVM_SAMPLE_ASSETS_DIR;

class SampleCarView : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StartTestGlContext();
    dir_ = new TempDir();
    root_ = MakeAssetRoot(dir_->path());
    ASSERT_TRUE(WriteFile(root_ + "common/demo.car", ReadFile(kSampleAssets + "/common/demo.car")));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
    ASSERT_EQ(AvmSetCar("demo", 2), 1);
    scene_ = pViewParam;
    ASSERT_EQ(scene_->partialWheelSpritesPresent, 1);
    ASSERT_EQ(scene_->doorSpritesAvailable, 1);
    ASSERT_EQ(scene_->topGeometryValid, 1);
    scene_->screenMode = 5;
    scene_->backgroundOn = 0;
    scene_->roadwayOn = 0;
    scene_->laneOn = 0;
    scene_->bottomShadowOn = 0;
    scene_->volumeLightOn = 0;
    scene_->aiCarMode = 0;
    scene_->plateShown = 0;
    scene_->steerAngle = 0.0;
    scene_->reverseGear = 0;
    NearestCarTextures(scene_);
  }

  void RestAt(int angle) {
    scene_->spriteAngle = angle;
    scene_->spriteAngleTarget = angle;
    std::memset(scene_->frameLoaded, 0, sizeof(scene_->frameLoaded));
  }

  // Size of the base picture of an angle, as stored in the car.
  static void BaseSize(int angle, int* width, int* height) {
    const cv::Mat image = cv::imread(root_ + ".tmp/demo/color/a/" + std::to_string(angle) + ".kes",
                                     cv::IMREAD_UNCHANGED);
    *width = image.cols;
    *height = image.rows;
  }

  // The state image the current frame drew.
  Picture CurrentStateImage() {
    int width = 0;
    int height = 0;
    BaseSize(scene_->spriteAngle, &width, &height);
    return TexturePicture(scene_->frameTextures[scene_->blinkPhase][scene_->wheelFrame], width,
                          height);
  }

  static TempDir* dir_;
  static std::string root_;
  ViewParam* scene_ = nullptr;
};

TempDir* SampleCarView::dir_ = nullptr;
std::string SampleCarView::root_;

TEST_F(SampleCarView, SideViewTurnsItsWheelsAndBlinksItsOwnIndicator) {
  RestAt(130);
  scene_->lampState = 1;
  scene_->vehicleSpeed.store(10001);
  std::set<int> framesSeen;
  for (int i = 0; i < 30; ++i) {
    AvmDraw();
    const int w = scene_->wheelFrame;
    const Picture image = CurrentStateImage();
    const std::map<int, int> layers = LayerCounts(image);
    ASSERT_TRUE(Has(layers, sm::kLayerWholeCar));
    std::set<int> expected = {sm::WheelLayer(true, 0, w), sm::WheelLayer(false, 0, w)};
    if (scene_->blinkPhase == 1) {
      expected.insert(sm::kLayerLamp + sm::kLampLeft4);
    }
    EXPECT_EQ(OverlayLayers(layers), expected) << "frame " << i;
    framesSeen.insert(w);
  }
  EXPECT_EQ(framesSeen.size(), 6u);
}

TEST_F(SampleCarView, FrameShowsTheComposedImageOnTheCarsQuad) {
  for (int angle : {0, 24, 54, 72, 96, 130, 144, 158}) {
    RestAt(angle);
    scene_->lampState = -1;
    scene_->vehicleSpeed.store(10001);
    AvmDraw();
    const Picture image = CurrentStateImage();
    float quad[12];
    ASSERT_TRUE(WholeCarSpriteQuad(scene_, carCordCur[angle], SpriteEdges::kHalfPixelFurther, quad));
    ExpectFrameShows(HostEglReadPixels(), quad, scene_->mainViewport, image);
  }
  // A view that is not at a state angle shows the whole-car image.
  RestAt(100);
  AvmDraw();
  int width = 0;
  int height = 0;
  BaseSize(100, &width, &height);
  const Picture image = TexturePicture(scene_->angleTextures[100].texture, width, height);
  float quad[12];
  ASSERT_TRUE(WholeCarSpriteQuad(scene_, carCordCur[100], SpriteEdges::kWhole, quad));
  ExpectFrameShows(HostEglReadPixels(), quad, scene_->mainViewport, image);
}

TEST_F(SampleCarView, WheelSpeedsAndReverseAtThePartialViews) {
  RestAt(24);
  scene_->vehicleSpeed.store(1500);
  AvmDraw();
  const int standing = scene_->wheelFrame;
  for (int i = 0; i < 5; ++i) {
    AvmDraw();
    EXPECT_EQ(scene_->wheelFrame, standing);
  }
  scene_->reverseGear = 1;
  scene_->vehicleSpeed.store(30001);
  AvmDraw();
  int previous = scene_->wheelFrame;
  for (int i = 0; i < 4; ++i) {
    AvmDraw();
    EXPECT_EQ(scene_->wheelFrame, (previous + 4) % 6);  // two frames back per frame
    previous = scene_->wheelFrame;
    const std::map<int, int> layers = LayerCounts(CurrentStateImage());
    EXPECT_EQ(OverlayLayers(layers), (std::set<int>{sm::WheelLayer(true, 0, previous),
                                                    sm::WheelLayer(false, 0, previous)}));
  }
}

TEST_F(SampleCarView, EndViewsBlinkTheLampsOfTheLampState) {
  const struct {
    int angle;
    int32_t lampState;
    std::set<int> lit;
  } cases[] = {
      {144, 3, {sm::kLayerLamp + sm::kLampBack4, sm::kLayerLamp + sm::kLampBack5}},
      {144, 1, {sm::kLayerLamp + sm::kLampBack4}},
      {54, 2, {sm::kLayerLamp + sm::kLampFront0}},
      {54, 3, {sm::kLayerLamp + sm::kLampFront0, sm::kLayerLamp + sm::kLampFront1}},
      {54, -1, {}},
  };
  for (const auto& c : cases) {
    RestAt(c.angle);
    scene_->lampState = c.lampState;
    scene_->vehicleSpeed.store(0);
    scene_->blinkCounter = 11;
    scene_->blinkPhase = 0;
    AvmDraw();  // the counter reaches 12: lit
    ASSERT_EQ(scene_->blinkPhase, 1) << c.angle << " " << c.lampState;
    EXPECT_EQ(OverlayLayers(LayerCounts(CurrentStateImage())), c.lit)
        << c.angle << " " << c.lampState;
    scene_->blinkCounter = 23;
    AvmDraw();  // dark
    ASSERT_EQ(scene_->blinkPhase, 0);
    EXPECT_TRUE(OverlayLayers(LayerCounts(CurrentStateImage())).empty());
  }
}

TEST_F(SampleCarView, DoorModeShowsTheDoorsWithTheBasesWheels) {
  const struct {
    int angle;
    int doors;
    std::set<int> doorLayers;
  } cases[] = {
      // The sample's door pictures show only the doors the camera sees.
      {130, 0x5, {sm::kLayerDoor + 4}},
      {130, 0x1, {sm::kLayerDoor + 0}},
      {158, 0xA, {sm::kLayerDoor + 5}},
      {54, 0xF, {sm::kLayerDoor + 4, sm::kLayerDoor + 5}},
      {144, 0x8, {sm::kLayerDoor + 3}},
      {72, 0x4, {sm::kLayerDoor + 1}},
  };
  for (const auto& c : cases) {
    RestAt(c.angle);
    for (int door = 0; door < 4; ++door) {
      scene_->doorOpen[door] = (c.doors >> door) & 1;
    }
    scene_->lampState = 0;
    scene_->vehicleSpeed.store(10001);
    AvmDraw();
    EXPECT_EQ(scene_->wheelFrame, 0);
    std::set<int> doors;
    for (const auto& [layer, count] : LayerCounts(CurrentStateImage())) {
      if (layer >= sm::kLayerDoor && layer < sm::kLayerDoor + 6) {
        doors.insert(layer);
      } else {
        EXPECT_EQ(layer, sm::kLayerWholeCar) << c.angle;  // no wheel or lamp pasted
      }
    }
    EXPECT_EQ(doors, c.doorLayers) << c.angle;
  }
}

TEST_F(SampleCarView, BeamsAtSeventyTwoAndOneFortyFour) {
  RestAt(72);
  scene_->volumeLightOn = 1;
  scene_->lampState = 0;
  scene_->vehicleSpeed.store(0);
  AvmDraw();
  const std::set<int> layers = OverlayLayers(LayerCounts(CurrentStateImage()));
  EXPECT_TRUE(layers.count(sm::kLayerLamp + sm::kLampFront2_0));
  EXPECT_TRUE(layers.count(sm::kLayerLamp + sm::kLampFront2_1));
  ASSERT_EQ(scene_->volumeLightLoaded, 1);
  sm::Mark mark;
  std::vector<uint8_t> row = ReadTexture(scene_->volumeLightTexture, sm::kHeaderPixels, 1);
  ASSERT_TRUE(sm::ReadMark(row.data(), sm::kHeaderPixels, 1, 4, &mark));
  EXPECT_EQ(mark.kind, sm::kKindCarPicture);
  EXPECT_EQ(mark.number, 2);  // light1
  // The angle command that turns the view away makes the next beams load anew.
  scene_->volumeLightLoaded = 0;
  RestAt(144);
  AvmDraw();
  row = ReadTexture(scene_->volumeLightTexture, sm::kHeaderPixels, 1);
  ASSERT_TRUE(sm::ReadMark(row.data(), sm::kHeaderPixels, 1, 4, &mark));
  EXPECT_EQ(mark.number, 0);  // light2
  // The other car at 144.
  scene_->aiCarMode = 2;
  scene_->aiCarLoaded = 0;
  AvmDraw();
  ASSERT_EQ(scene_->aiCarLoaded, 1);
  row = ReadTexture(scene_->aiCarTexture, sm::kHeaderPixels, 1);
  ASSERT_TRUE(sm::ReadMark(row.data(), sm::kHeaderPixels, 1, 4, &mark));
  EXPECT_EQ(mark.number, 1);  // warning2
}

TEST_F(SampleCarView, TopViewDrawsTheDoorStateOnTheTopQuad) {
  scene_->screenMode = 12;
  const cv::Mat top = cv::imread(root_ + ".tmp/demo/color/top/top0000.kes", cv::IMREAD_UNCHANGED);
  for (int doors : {0x0, 0x1, 0x6, 0xF}) {
    for (int door = 0; door < 4; ++door) {
      scene_->doorOpen[door] = (doors >> door) & 1;
    }
    scene_->topViewDirty = 1;
    AvmDraw();
    EXPECT_EQ(scene_->topViewDirty, 0);
    const Picture image = TexturePicture(scene_->topViewTexture, top.cols, top.rows);
    std::set<int> doorLayers;
    for (const auto& [layer, count] : LayerCounts(image)) {
      if (layer >= sm::kLayerDoor && layer < sm::kLayerDoor + 6) {
        doorLayers.insert(layer - sm::kLayerDoor);
      }
    }
    std::set<int> expected;
    const bool d0 = doors & 1, d1 = doors & 2, d2 = doors & 4, d3 = doors & 8;
    if (d0 || d2) {
      expected.insert(d0 && d2 ? 4 : d0 ? 0 : 1);
    }
    if (d1 || d3) {
      expected.insert(d1 && d3 ? 5 : d1 ? 2 : 3);
    }
    EXPECT_EQ(doorLayers, expected) << doors;
    float quad[12];
    ASSERT_TRUE(TopSpriteQuad(scene_, quad));
    // The shadow under the car is drawn first; take it out of the frame.
    scene_->carBottomIndex = 1;
    glBindTexture(GL_TEXTURE_2D, scene_->carBottomTexture);
    const uint8_t clear[4] = {0, 0, 0, 0};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, clear);
    AvmDraw();
    ExpectFrameShows(HostEglReadPixels(), quad, scene_->topViewport, image);
  }
}

}  // namespace
