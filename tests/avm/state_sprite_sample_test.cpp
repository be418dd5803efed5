// The composed state images of the sample car, read back from their
// textures: the kit marks every opaque pixel with the layer it belongs to
// (whole car, wheel of a frame and steer set, lamp, door), so each case
// checks which overlays went into the picture and which stayed out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/state_sprites.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/state_sprite_support.h"
#include "tests/support/process_runner.h"
#include "tools/lib/sample_marks.h"

namespace {

namespace sm = sample_marks;

const std::filesystem::path kSampleCar = AVM_SAMPLE_CAR_DIR;

class SampleStateSprites : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    // The kit's car directory stands in for the unpacked one.
    ASSERT_EQ(symlink(kSampleCar.parent_path().c_str(), (root_ + ".tmp").c_str()), 0);
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    ASSERT_EQ(AvmSetCar(kSampleCar.filename().c_str(), 0), 1);
    scene_ = pViewParam;
    ASSERT_EQ(scene_->partialWheelSpritesPresent, 1);
    std::memset(scene_->doorOpen, 0, sizeof(scene_->doorOpen));
    scene_->lampState = 0;
    scene_->steerAngle = 0.0;
    scene_->volumeLightOn = 0;
  }

  static cv::Mat File(const std::string& relative) {
    return cv::imread((kSampleCar / relative).string(), cv::IMREAD_UNCHANGED);
  }
  // The texture read back at the size of the car file it was built on.
  cv::Mat Composed(const std::string& baseRelative) {
    const cv::Mat base = File(baseRelative);
    EXPECT_FALSE(base.empty()) << baseRelative;
    return ReadTextureImage(texture_.name(), base.cols, base.rows);
  }
  static sm::Mark WholeCar(int angle) {
    sm::Mark mark;
    mark.kind = sm::kKindWholeCar;
    mark.angle = angle;
    return mark;
  }
  static std::string AngleFile(int angle) { return "color/a/" + std::to_string(angle) + ".kes"; }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  TestTexture texture_;
};

int LampLayer(int lamp) { return sm::kLayerLamp + lamp; }
int DoorLayer(int k) { return sm::kLayerDoor + k; }

// Counts of every wheel layer (both wheels, every steer set and frame).
int AnyWheelPixels(const std::map<int, int>& layers) {
  int pixels = 0;
  for (int code = sm::kLayerFrontWheel; code < sm::kLayerLamp; ++code) {
    pixels += LayerCount(layers, code);
  }
  return pixels;
}

TEST_F(SampleStateSprites, SideViewsShowTheFramesWheelsAndTheLampOnlyInPhaseOne) {
  struct Side {
    int side;
    int angle;
    int lamp;
  };
  for (const Side& view : {Side{0, 130, sm::kLampLeft4}, Side{1, 158, sm::kLampRight5}}) {
    for (int frame = 0; frame < 6; ++frame) {
      for (int phase = 0; phase < 2; ++phase) {
        SCOPED_TRACE(testing::Message() << "angle " << view.angle << " frame " << frame << " phase "
                                        << phase);
        ASSERT_EQ(load_textureLR(view.side, frame, phase, texture_.name()), texture_.name());
        const cv::Mat image = Composed(AngleFile(view.angle));
        EXPECT_EQ(ImageMark(image), WholeCar(view.angle));
        const std::map<int, int> layers = LayerCounts(image);
        EXPECT_GT(LayerCount(layers, sm::kLayerWholeCar), 0);
        for (int other = 0; other < 6; ++other) {
          const bool shown = other == frame;
          EXPECT_EQ(LayerCount(layers, sm::WheelLayer(true, 0, other)) > 0, shown) << other;
          EXPECT_EQ(LayerCount(layers, sm::WheelLayer(false, 0, other)) > 0, shown) << other;
        }
        EXPECT_EQ(LayerCount(layers, LampLayer(view.lamp)) > 0, phase == 1);
        EXPECT_EQ(LayerCount(layers, DoorLayer(0)), 0);
      }
    }
  }
}

TEST_F(SampleStateSprites, FrontWheelSteerSetFollowsTheTruncatedSteering) {
  struct Case {
    int side;
    double steer;
    int set;  // 0 = the straight wheel
  };
  const Case cases[] = {
      {0, 4.9, 0},   {0, 5.0, 10},  {0, 9.9, 10},   {0, 10.0, 20},  {0, 14.9, 20},
      {0, 15.0, 30}, {0, 30.9, 30}, {0, 31.0, 0},   {0, 32.0, 0},   {0, -12.0, 0},
      {1, -4.9, 0},  {1, -5.0, 10}, {1, -12.0, 20}, {1, -30.0, 30}, {1, -31.0, 0},
      {1, 12.0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "side " << c.side << " steer " << c.steer);
    scene_->steerAngle = c.steer;
    load_textureLR(c.side, 2, 0, texture_.name());
    const std::map<int, int> layers = LayerCounts(Composed(AngleFile(c.side == 0 ? 130 : 158)));
    for (int set : {0, 10, 20, 30}) {
      EXPECT_EQ(LayerCount(layers, sm::WheelLayer(true, set, 2)) > 0, set == c.set) << set;
    }
    // The back wheel never steers.
    EXPECT_GT(LayerCount(layers, sm::WheelLayer(false, 0, 2)), 0);
  }
}

TEST_F(SampleStateSprites, EndViewsLightTheIndicatorsOfLampStateAndIgnoreTheWheelFrame) {
  struct End {
    int side;
    int angle;
    int rightLamp;
    int leftLamp;
  };
  struct Lamps {
    int32_t lampState;
    bool right;
    bool left;
  };
  for (const End& view : {End{0, 144, sm::kLampBack5, sm::kLampBack4},
                          End{1, 54, sm::kLampFront0, sm::kLampFront1}}) {
    for (const Lamps& lamps : {Lamps{3, true, true}, Lamps{2, true, false}, Lamps{1, false, true},
                               Lamps{0, false, false}, Lamps{-1, false, false}}) {
      SCOPED_TRACE(testing::Message() << "angle " << view.angle << " lampState " << lamps.lampState);
      scene_->lampState = lamps.lampState;
      load_textureFB(view.side, 0, 1, texture_.name());
      const cv::Mat lit = Composed(AngleFile(view.angle));
      EXPECT_EQ(ImageMark(lit), WholeCar(view.angle));
      const std::map<int, int> layers = LayerCounts(lit);
      EXPECT_EQ(LayerCount(layers, LampLayer(view.rightLamp)) > 0, lamps.right);
      EXPECT_EQ(LayerCount(layers, LampLayer(view.leftLamp)) > 0, lamps.left);
      EXPECT_EQ(AnyWheelPixels(layers), 0);
      // Phase 0 is the plain picture, and so is every wheel frame of it.
      for (int frame = 0; frame < 6; ++frame) {
        load_textureFB(view.side, frame, 0, texture_.name());
        EXPECT_TRUE(SameImage(Composed(AngleFile(view.angle)), File(AngleFile(view.angle)))) << frame;
        load_textureFB(view.side, frame, 1, texture_.name());
        EXPECT_TRUE(SameImage(Composed(AngleFile(view.angle)), lit)) << frame;
      }
    }
  }
}

TEST_F(SampleStateSprites, SideDoorsShowOverTheBasesOwnWheels) {
  // Flags 0 and 1 at 130: door/left/d0 and door/left/d2; the kit's d2 is
  // empty (those doors are on the far side), so only d0 shows.
  scene_->doorOpen[0] = 1;
  scene_->doorOpen[1] = 1;
  load_texture_doors(1, 0, texture_.name());
  cv::Mat image = Composed(AngleFile(130));
  EXPECT_EQ(ImageMark(image), WholeCar(130));
  std::map<int, int> layers = LayerCounts(image);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LayerCount(layers, DoorLayer(k)) > 0, k == 0) << k;
  }
  EXPECT_EQ(AnyWheelPixels(layers), 0);  // the base's own wheels
  EXPECT_EQ(LayerCount(layers, LampLayer(sm::kLampLeft4)), 0);
  load_texture_doors(1, 1, texture_.name());
  EXPECT_GT(LayerCount(LayerCounts(Composed(AngleFile(130))), LampLayer(sm::kLampLeft4)), 0);

  // Flags 1, 2 and 3 at 158: door/right/d1 (empty) and door/right/d5, and
  // the right lamp in phase 1.
  scene_->doorOpen[0] = 0;
  scene_->doorOpen[2] = 1;
  scene_->doorOpen[3] = 1;
  load_texture_doors(2, 1, texture_.name());
  image = Composed(AngleFile(158));
  EXPECT_EQ(ImageMark(image), WholeCar(158));
  layers = LayerCounts(image);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LayerCount(layers, DoorLayer(k)) > 0, k == 5) << k;
  }
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampRight5)), 0);
}

TEST_F(SampleStateSprites, EndDoorsAndTheirLamps) {
  // All four doors at 54: door/front/d4 then d5.
  for (int flag = 0; flag < 4; ++flag) {
    scene_->doorOpen[flag] = 1;
  }
  scene_->lampState = 3;
  load_texture_doors2(1, 0, texture_.name());
  cv::Mat image = Composed(AngleFile(54));
  EXPECT_EQ(ImageMark(image), WholeCar(54));
  std::map<int, int> layers = LayerCounts(image);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LayerCount(layers, DoorLayer(k)) > 0, k == 4 || k == 5) << k;
  }
  EXPECT_EQ(LayerCount(layers, LampLayer(sm::kLampFront0)), 0);
  load_texture_doors2(1, 1, texture_.name());
  layers = LayerCounts(Composed(AngleFile(54)));
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampFront0)), 0);
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampFront1)), 0);

  // Flag 3 alone at 144, right indicator only: door/back/d3 and back/5.
  std::memset(scene_->doorOpen, 0, sizeof(scene_->doorOpen));
  scene_->doorOpen[3] = 1;
  scene_->lampState = 2;
  load_texture_doors2(2, 1, texture_.name());
  image = Composed(AngleFile(144));
  EXPECT_EQ(ImageMark(image), WholeCar(144));
  layers = LayerCounts(image);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LayerCount(layers, DoorLayer(k)) > 0, k == 3) << k;
  }
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampBack5)), 0);
  EXPECT_EQ(LayerCount(layers, LampLayer(sm::kLampBack4)), 0);
}

TEST_F(SampleStateSprites, TopViewDoorsOnTopImageZeroWithoutLamps) {
  scene_->doorOpen[3] = 1;
  scene_->lampState = 3;
  load_texture_doors(0, 1, texture_.name());
  const cv::Mat image = Composed("color/top/top0000.kes");
  const sm::Mark mark = ImageMark(image);
  EXPECT_EQ(mark.kind, sm::kKindTopImage);
  EXPECT_EQ(mark.number, 0);
  const std::map<int, int> layers = LayerCounts(image);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LayerCount(layers, DoorLayer(k)) > 0, k == 3) << k;
  }
  for (int lamp = 0; lamp <= sm::kLampFront2_3; ++lamp) {
    EXPECT_EQ(LayerCount(layers, LampLayer(lamp)), 0) << lamp;
  }
}

TEST_F(SampleStateSprites, PartialViewsTakeTheirOwnWheelFolders) {
  for (int angle : {0, 24, 72, 96}) {
    for (int frame = 0; frame < 6; ++frame) {
      SCOPED_TRACE(testing::Message() << "angle " << angle << " frame " << frame);
      load_textureSome(angle, frame, 0, 0, texture_.name());
      const cv::Mat image = Composed(AngleFile(angle));
      EXPECT_EQ(ImageMark(image), WholeCar(angle));
      const std::map<int, int> layers = LayerCounts(image);
      for (int other = 0; other < 6; ++other) {
        EXPECT_EQ(LayerCount(layers, sm::WheelLayer(true, 0, other)) > 0, other == frame) << other;
        EXPECT_EQ(LayerCount(layers, sm::WheelLayer(false, 0, other)) > 0, other == frame) << other;
      }
    }
  }
}

TEST_F(SampleStateSprites, FrontQuarterBeamsAndIndicators) {
  // Beams only with volumeLightOn, indicators only in phase 1 and by
  // lampState; 96 has no beams however volumeLightOn is set.
  scene_->volumeLightOn = 1;
  scene_->lampState = 3;
  load_textureSome(72, 1, 1, 0, texture_.name());
  std::map<int, int> layers = LayerCounts(Composed(AngleFile(72)));
  for (int lamp : {sm::kLampFront2_0, sm::kLampFront2_1, sm::kLampFront2_2, sm::kLampFront2_3}) {
    EXPECT_GT(LayerCount(layers, LampLayer(lamp)), 0) << lamp;
  }
  EXPECT_GT(LayerCount(layers, sm::WheelLayer(true, 0, 1)), 0);

  scene_->lampState = 1;
  load_textureSome(72, 1, 1, 0, texture_.name());
  layers = LayerCounts(Composed(AngleFile(72)));
  EXPECT_EQ(LayerCount(layers, LampLayer(sm::kLampFront2_2)), 0);
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampFront2_3)), 0);

  scene_->volumeLightOn = 0;
  load_textureSome(72, 1, 0, 0, texture_.name());
  layers = LayerCounts(Composed(AngleFile(72)));
  for (int lamp : {sm::kLampFront2_0, sm::kLampFront2_1, sm::kLampFront2_2, sm::kLampFront2_3}) {
    EXPECT_EQ(LayerCount(layers, LampLayer(lamp)), 0) << lamp;
  }

  scene_->volumeLightOn = 1;
  load_textureSome(96, 1, 0, 0, texture_.name());
  layers = LayerCounts(Composed(AngleFile(96)));
  for (int lamp = 0; lamp <= sm::kLampFront2_3; ++lamp) {
    EXPECT_EQ(LayerCount(layers, LampLayer(lamp)), 0) << lamp;
  }
}

TEST_F(SampleStateSprites, FrontQuarterDoorModeShowsBeamsAndDoorsInEitherPhase) {
  scene_->doorOpen[2] = 1;
  scene_->volumeLightOn = 1;
  scene_->lampState = 3;
  load_textureSome(72, 0, 0, 1, texture_.name());
  const cv::Mat dark = Composed(AngleFile(72));
  const std::map<int, int> layers = LayerCounts(dark);
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampFront2_0)), 0);
  EXPECT_GT(LayerCount(layers, LampLayer(sm::kLampFront2_1)), 0);
  EXPECT_EQ(LayerCount(layers, LampLayer(sm::kLampFront2_2)), 0);
  EXPECT_EQ(LayerCount(layers, LampLayer(sm::kLampFront2_3)), 0);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LayerCount(layers, DoorLayer(k)) > 0, k == 1) << k;
  }
  EXPECT_EQ(AnyWheelPixels(layers), 0);
  load_textureSome(72, 0, 1, 1, texture_.name());
  EXPECT_TRUE(SameImage(Composed(AngleFile(72)), dark));
}

TEST_F(SampleStateSprites, WithoutThePartialWheelSetsThePlainPictureShows) {
  scene_->partialWheelSpritesPresent = 0;
  scene_->volumeLightOn = 1;
  scene_->lampState = 3;
  scene_->doorOpen[0] = 1;
  for (int doorMode : {0, 1}) {
    load_textureSome(72, 3, 1, doorMode, texture_.name());
    EXPECT_TRUE(SameImage(Composed(AngleFile(72)), File(AngleFile(72)))) << doorMode;
  }
  load_textureSome(24, 3, 0, 0, texture_.name());
  EXPECT_TRUE(SameImage(Composed(AngleFile(24)), File(AngleFile(24))));
}

TEST_F(SampleStateSprites, TopViewJoinsHalvesOfTheKitsImages) {
  // 1 1 0 0: left half of top1000 (its mark sits in row 0 on the left), the
  // right half of top0100.
  scene_->doorOpen[0] = 1;
  scene_->doorOpen[1] = 1;
  load_texture_top(texture_.name());
  const cv::Mat right = File("color/top/top0100.kes");
  const cv::Mat left = File("color/top/top1000.kes");
  const cv::Mat image = Composed("color/top/top0100.kes");
  ASSERT_FALSE(image.empty());
  const sm::Mark mark = ImageMark(image);
  EXPECT_EQ(mark.kind, sm::kKindTopImage);
  EXPECT_EQ(mark.number, 1000);
  const int half = left.cols / 2;
  EXPECT_TRUE(SameImage(image.colRange(0, half), left.colRange(0, half)));
  EXPECT_TRUE(SameImage(image.colRange(half, image.cols), right.colRange(half, right.cols)));
  // The doors of both halves differ from the plain car.
  EXPECT_FALSE(SameImage(image, File("color/top/top0000.kes")));
}

}  // namespace
