// Composition rules of the state images on small hand-made cars, for what
// the sample car cannot show: missing files, paste order where overlays
// overlap, span pastes over gaps, positions outside the base, and
// arguments and flags the loaders do not know.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/state_sprites.h"
#include "avm/view/car_params.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/avm/state_sprite_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kBaseWidth = 8;
constexpr int kBaseHeight = 6;
const cv::Scalar kBaseColour(100, 100, 100, 255);
const cv::Scalar kRed(0, 0, 250, 255);
const cv::Scalar kBlue(250, 0, 0, 255);
const cv::Scalar kClear(9, 9, 9, 0);  // transparent, but not zero bytes
const char kOverlayMissing[] = "---------load_textureLR,load failed!";
const char kDoorMissing[] = "---------load_textureLR door,load failed!";

// One row: transparent, opaque, transparent, opaque.
cv::Mat GappedRow(const cv::Scalar& colour) {
  cv::Mat row = FlatImage(4, 1, kClear);
  row.at<cv::Vec4b>(0, 1) = cv::Vec4b(colour[0], colour[1], colour[2], colour[3]);
  row.at<cv::Vec4b>(0, 3) = cv::Vec4b(colour[0], colour[1], colour[2], colour[3]);
  return row;
}

class ComposedSprites : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    std::strcpy(scene_->carName, "hand");
    std::memset(scene_->doorOpen, 0, sizeof(scene_->doorOpen));
    scene_->lampState = 0;
    scene_->steerAngle = 0.0;
    scene_->volumeLightOn = 0;
    scene_->partialWheelSpritesPresent = 1;
    std::memset(carTiresOffsetCur, 0, sizeof(carTiresOffsetCur));
    std::memset(carTiresOffset2, 0, sizeof(carTiresOffset2));
    std::memset(carLampsOffset2, 0, sizeof(carLampsOffset2));
    std::memset(carDoorsOffset, 0, sizeof(carDoorsOffset));
    std::memset(carDoorsOffset2, 0, sizeof(carDoorsOffset2));
  }

  void Put(const std::string& relative, const cv::Mat& image) {
    CarFiles files;
    files.files.emplace_back(relative, EncodePng(image));
    ASSERT_TRUE(WriteCarDirectory(root_, "hand", files));
  }
  void PutBase(int angle) {
    Put("color/a/" + std::to_string(angle) + ".kes", FlatImage(kBaseWidth, kBaseHeight, kBaseColour));
  }
  cv::Mat Read() { return ReadTextureImage(texture_.name(), kBaseWidth, kBaseHeight); }
  bool ShowsPlainBase() {
    return SameImage(Read(), FlatImage(kBaseWidth, kBaseHeight, kBaseColour));
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  TestTexture texture_;
};

TEST_F(ComposedSprites, MissingOverlaysAreLoggedAndTheBaseIsStillUploaded) {
  for (int angle : {54, 72, 130, 144, 158}) {
    PutBase(angle);
  }
  LogCapture log;
  load_textureLR(0, 2, 1, texture_.name());  // front wheel, back wheel, lamp
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 3);
  EXPECT_TRUE(ShowsPlainBase());

  log.Clear();
  scene_->lampState = 3;
  load_textureFB(0, 0, 1, texture_.name());  // both back lamps
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 2);
  EXPECT_TRUE(ShowsPlainBase());

  log.Clear();
  scene_->volumeLightOn = 1;
  load_textureSome(72, 0, 1, 0, texture_.name());  // two wheels, two beams, two indicators
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 6);
  EXPECT_TRUE(ShowsPlainBase());

  log.Clear();
  scene_->doorOpen[0] = 1;
  scene_->doorOpen[1] = 1;
  load_texture_doors(2, 1, texture_.name());  // two doors, one lamp
  EXPECT_EQ(log.Count("KESTRA", kDoorMissing), 2);
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 1);
  EXPECT_TRUE(ShowsPlainBase());
  log.Clear();
  load_textureSome(72, 0, 0, 1, texture_.name());  // two beams, two doors
  EXPECT_EQ(log.Count("KESTRA", kDoorMissing), 2);
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 2);
  EXPECT_TRUE(ShowsPlainBase());
}

TEST_F(ComposedSprites, MissingBaseGivesAnEmptyTextureWithoutABaseMessage) {
  PutBase(54);
  Put("tires/left/f0.kes", FlatImage(2, 2, kRed));
  Put("tires/left/b0.kes", FlatImage(2, 2, kRed));
  load_textureFB(1, 0, 0, texture_.name());
  ASSERT_TRUE(ShowsPlainBase());
  LogCapture log;
  load_textureLR(0, 0, 0, texture_.name());  // its wheels are there, 130 is not
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
  load_textureFB(1, 0, 0, texture_.name());
  ASSERT_TRUE(ShowsPlainBase());
  load_texture_doors2(2, 0, texture_.name());
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
  load_textureSome(0, 0, 0, 0, texture_.name());  // the wheels of tires/1 are missing too
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 2);
  EXPECT_EQ(log.Lines().size(), 2u);
}

TEST_F(ComposedSprites, DoorSpansOverwriteGapsWhereLampPixelsDoNot) {
  PutBase(130);
  Put("color/light/left/4.kes", GappedRow(kRed));
  Put("color/door/left/d0.kes", GappedRow(kBlue));
  carLampsOffset2[4] = {2, 3, 0, 0};
  carDoorsOffset[0] = {2, 3, 0, 0};
  load_textureLR(0, 0, 1, texture_.name());
  cv::Mat image = Read();
  EXPECT_TRUE(PixelIs(image, 2, 3, kBaseColour));
  EXPECT_TRUE(PixelIs(image, 3, 3, kRed));
  EXPECT_TRUE(PixelIs(image, 4, 3, kBaseColour));  // the lamp's gap
  EXPECT_TRUE(PixelIs(image, 5, 3, kRed));

  scene_->doorOpen[0] = 1;
  load_texture_doors(1, 0, texture_.name());
  image = Read();
  EXPECT_TRUE(PixelIs(image, 2, 3, kBaseColour));  // before the first opaque pixel
  EXPECT_TRUE(PixelIs(image, 3, 3, kBlue));
  EXPECT_TRUE(PixelIs(image, 4, 3, kClear));  // the door's gap is copied
  EXPECT_TRUE(PixelIs(image, 5, 3, kBlue));
  EXPECT_TRUE(PixelIs(image, 3, 2, kBaseColour));
}

TEST_F(ComposedSprites, LaterOverlaysWinWhereTheyOverlap) {
  // End lamps: the right indicator's first, then the left's.
  PutBase(144);
  Put("color/light/back/5.kes", FlatImage(2, 2, kRed));
  Put("color/light/back/4.kes", FlatImage(2, 2, kBlue));
  carLampsOffset2[24] = {1, 1, 0, 0};
  carLampsOffset2[25] = {1, 1, 0, 0};
  scene_->lampState = 3;
  load_textureFB(0, 0, 1, texture_.name());
  EXPECT_TRUE(PixelIs(Read(), 1, 1, kBlue));
  scene_->lampState = 2;
  load_textureFB(0, 0, 1, texture_.name());
  EXPECT_TRUE(PixelIs(Read(), 1, 1, kRed));

  // Doors: the first pair's image, then the second pair's.
  PutBase(54);
  Put("color/door/front/d4.kes", FlatImage(2, 2, kRed));
  Put("color/door/front/d5.kes", FlatImage(2, 2, kBlue));
  carDoorsOffset2[18 + 4] = {3, 2, 0, 0};
  carDoorsOffset2[18 + 5] = {4, 2, 0, 0};
  for (int flag = 0; flag < 4; ++flag) {
    scene_->doorOpen[flag] = 1;
  }
  load_texture_doors2(1, 0, texture_.name());
  const cv::Mat doors = Read();
  EXPECT_TRUE(PixelIs(doors, 3, 2, kRed));
  EXPECT_TRUE(PixelIs(doors, 4, 2, kBlue));
  EXPECT_TRUE(PixelIs(doors, 5, 3, kBlue));

  // Front quarter: wheels, then beams, then indicators front2/2, front2/3.
  PutBase(72);
  Put("tires/73/f1.kes", FlatImage(1, 1, kRed));
  Put("color/light/front2/0.kes", FlatImage(1, 1, kBlue));
  Put("color/light/front2/2.kes", FlatImage(1, 1, kRed));
  Put("color/light/front2/3.kes", FlatImage(1, 1, kBlue));
  carTiresOffset2[8] = {0, 0, 0, 0};
  carLampsOffset2[32] = {0, 0, 0, 0};
  carLampsOffset2[34] = {5, 5, 0, 0};
  carLampsOffset2[35] = {5, 5, 0, 0};
  scene_->volumeLightOn = 1;
  scene_->lampState = 3;
  load_textureSome(72, 1, 1, 0, texture_.name());
  const cv::Mat quarter = Read();
  EXPECT_TRUE(PixelIs(quarter, 0, 0, kBlue));
  EXPECT_TRUE(PixelIs(quarter, 5, 5, kBlue));
}

TEST_F(ComposedSprites, BothDoorPairsOfASideComeFromThatSidesFolder) {
  // Flags 0 and 1 at 130: door/left/d0 at carDoorsOffset entry 0, then
  // door/left/d2 at entry 2; door/right/d2 is not read.
  PutBase(130);
  Put("color/door/left/d0.kes", FlatImage(1, 1, kRed));
  Put("color/door/left/d2.kes", FlatImage(1, 1, kBlue));
  Put("color/door/right/d2.kes", FlatImage(8, 6, kClear));
  carDoorsOffset[0] = {1, 1, 0, 0};
  carDoorsOffset[2] = {3, 1, 0, 0};
  carDoorsOffset[6 + 2] = {0, 0, 0, 0};
  scene_->doorOpen[0] = 1;
  scene_->doorOpen[1] = 1;
  load_texture_doors(1, 0, texture_.name());
  const cv::Mat image = Read();
  EXPECT_TRUE(PixelIs(image, 1, 1, kRed));
  EXPECT_TRUE(PixelIs(image, 3, 1, kBlue));
  EXPECT_TRUE(PixelIs(image, 2, 1, kBaseColour));
  // The top view places its doors at entries 12 + k.
  Put("color/top/top0000.kes", FlatImage(kBaseWidth, kBaseHeight, kBaseColour));
  Put("color/door/top/d3.kes", FlatImage(1, 1, kRed));
  carDoorsOffset[12 + 3] = {6, 5, 0, 0};
  std::memset(scene_->doorOpen, 0, sizeof(scene_->doorOpen));
  scene_->doorOpen[3] = 1;
  load_texture_doors(0, 1, texture_.name());
  EXPECT_TRUE(PixelIs(Read(), 6, 5, kRed));
}

TEST_F(ComposedSprites, OverlaysReachingOutsideTheBaseAreClipped) {
  PutBase(130);
  Put("tires/left/f0.kes", FlatImage(4, 4, kRed));
  Put("tires/left/b0.kes", FlatImage(4, 4, kBlue));
  Put("color/light/left/4.kes", FlatImage(4, 4, kRed));
  carTiresOffsetCur[0] = {INT32_MAX, INT32_MIN, 0, 0};
  carTiresOffsetCur[1] = {-3, -2, 0, 0};
  carLampsOffset2[4] = {kBaseWidth - 1, kBaseHeight - 1, 0, 0};
  load_textureLR(0, 0, 1, texture_.name());
  const cv::Mat image = Read();
  EXPECT_TRUE(PixelIs(image, 0, 0, kBlue));
  EXPECT_TRUE(PixelIs(image, 0, 1, kBlue));
  EXPECT_TRUE(PixelIs(image, 1, 0, kBaseColour));
  EXPECT_TRUE(PixelIs(image, 0, 2, kBaseColour));
  EXPECT_TRUE(PixelIs(image, kBaseWidth - 1, kBaseHeight - 1, kRed));
  EXPECT_TRUE(PixelIs(image, kBaseWidth - 2, kBaseHeight - 1, kBaseColour));
}

TEST_F(ComposedSprites, UnknownViewsAndAnglesLeaveTheTextureAlone) {
  PutBase(130);
  load_textureLR(0, 0, 0, texture_.name());
  ASSERT_TRUE(ShowsPlainBase());
  LogCapture log;
  EXPECT_EQ(load_textureLR(2, 0, 0, texture_.name()), texture_.name());
  EXPECT_EQ(load_textureFB(-1, 0, 0, texture_.name()), texture_.name());
  EXPECT_EQ(load_texture_doors(3, 0, texture_.name()), texture_.name());
  EXPECT_EQ(load_texture_doors2(0, 0, texture_.name()), texture_.name());
  EXPECT_EQ(load_textureSome(130, 0, 0, 0, texture_.name()), texture_.name());
  EXPECT_TRUE(ShowsPlainBase());
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_textureLR,side 2 unknown"));
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_textureFB,side -1 unknown"));
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_texture_doors,view 3 unknown"));
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_texture_doors2,view 0 unknown"));
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_textureSome,angle 130 unknown"));
  EXPECT_EQ(log.Lines().size(), 5u);
}

TEST_F(ComposedSprites, OddValuesInTheRecordPickNoImage) {
  PutBase(130);
  Put("color/door/left/d0.kes", FlatImage(2, 2, kRed));
  Put("tires/left/f0.kes", FlatImage(1, 1, kBlue));
  carTiresOffsetCur[0] = {6, 4, 0, 0};
  // Only a flag of exactly 1 opens a door.
  scene_->doorOpen[0] = 2;
  scene_->doorOpen[1] = -1;
  LogCapture log;
  load_texture_doors(1, 0, texture_.name());
  EXPECT_TRUE(ShowsPlainBase());
  EXPECT_EQ(log.Count("KESTRA", kDoorMissing), 0);
  // Steering that is not a number shows the straight wheel.
  for (double steer : {std::nan(""), 1e300, -1e300}) {
    scene_->steerAngle = steer;
    load_textureLR(0, 0, 0, texture_.name());
    EXPECT_TRUE(PixelIs(Read(), 6, 4, kBlue)) << steer;
  }
}

TEST_F(ComposedSprites, PathsThatDoNotFitAreMissingFiles) {
  PutBase(130);
  const std::string longName(250 - root_.size(), 'n');
  std::strcpy(scene_->carName, longName.c_str());
  LogCapture log;
  load_textureLR(0, 0, 0, texture_.name());
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------path too long"), 3);  // base, two wheels
  EXPECT_EQ(log.Count("KESTRA", kOverlayMissing), 2);
}

}  // namespace
