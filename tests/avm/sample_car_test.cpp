// The sample car of the asset kit through the renderer, without the Java
// VM: its package unpacks to the same tree the kit wrote, its params.bin
// passes every check, and after selection each angle's texture holds that
// angle's picture, told by the mark the kit hides in its first row.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/whole_car_sprites.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"
#include "tools/lib/sample_marks.h"

namespace {

const std::string kSampleAssets = AVM_SAMPLE_ASSETS_DIR;
const std::string kSampleCar = AVM_SAMPLE_CAR_DIR;

// The mark of the picture a texture holds, read from its first row.
bool TextureMark(uint32_t texture, sample_marks::Mark* mark) {
  const std::vector<uint8_t> row = ReadTexture(texture, sample_marks::kHeaderPixels, 1);
  return sample_marks::ReadMark(row.data(), sample_marks::kHeaderPixels, 1, 4, mark);
}

sample_marks::Mark WholeCarMark(int angle) {
  sample_marks::Mark mark;
  mark.kind = sample_marks::kKindWholeCar;
  mark.angle = angle;
  return mark;
}

class SampleCar : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_TRUE(WriteFile(root_ + "common/demo.car", ReadFile(kSampleAssets + "/common/demo.car")));
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(SampleCar, PackageUnpacksToTheKitsCarDirectory) {
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  const std::string unpacked = root_ + ".tmp/demo";
  const std::vector<std::string> paths = ListTree(unpacked);
  ASSERT_EQ(paths, ListTree(kSampleCar));
  ASSERT_GT(paths.size(), 300u);
  for (const std::string& path : paths) {
    if (std::filesystem::is_regular_file(unpacked + "/" + path)) {
      ASSERT_EQ(ReadFile(unpacked + "/" + path), ReadFile(kSampleCar + "/" + path)) << path;
    }
  }
  // Nothing beside the car in the unpack area.
  EXPECT_EQ(ListTree(root_ + ".tmp").size(), paths.size() + 1);
  LogCapture log;
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  EXPECT_EQ(log.CountPrefix("KESTRA", "load car:"), 0);  // up to date
}

TEST_F(SampleCar, ParamsPassEveryCheck) {
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  LogCapture log;
  ASSERT_EQ(AvmSetCar("demo", 2), 1);
  int parameterLines = 0;
  for (const std::string& line : log.Messages("KESTRA")) {
    if (line.rfind("------", 0) == 0 && line.rfind("---------", 0) != 0) {
      ++parameterLines;
      EXPECT_EQ(line.find("fail"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(parameterLines, 8);  // tyres, camera, picture size, five overlay tables
  EXPECT_EQ(scene_->topGeometryValid, 1);
  EXPECT_EQ(scene_->plateGeometryValid, 1);
  EXPECT_EQ(scene_->doorSpritesAvailable, 1);
  EXPECT_EQ(scene_->carSpritesPresent, 1);
  EXPECT_EQ(scene_->partialWheelSpritesPresent, 1);
  EXPECT_GT(scene_->carLength, scene_->carWidth);
}

TEST_F(SampleCar, EveryAngleTextureHoldsItsPicture) {
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  ASSERT_EQ(AvmSetCar("demo", 10), 1);
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    ASSERT_EQ(scene_->angleLoaded[angle].loaded, 1);
    sample_marks::Mark mark;
    ASSERT_TRUE(TextureMark(scene_->angleTextures[angle].texture, &mark)) << angle;
    EXPECT_EQ(mark, WholeCarMark(angle)) << angle;
  }
  // The whole picture, byte for byte as decoded, for a few angles.
  for (int angle : {0, 17, 96, 191}) {
    const cv::Mat file =
        cv::imread(root_ + ".tmp/demo/color/a/" + std::to_string(angle) + ".kes", cv::IMREAD_UNCHANGED);
    ASSERT_EQ(file.type(), CV_8UC4);
    const std::vector<uint8_t> pixels =
        ReadTexture(scene_->angleTextures[angle].texture, file.cols, file.rows);
    ASSERT_EQ(pixels.size(), file.total() * 4);
    EXPECT_EQ(std::memcmp(pixels.data(), file.data, pixels.size()), 0) << angle;
  }
}

TEST_F(SampleCar, NumberedLayoutReadsCarAndColourFolders) {
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  ASSERT_EQ(AvmSetCar("demo", 2), 1);
  // car3/color2/a/17.kes holds the sample's picture of angle 90, so the
  // mark tells which of the two files was read.
  std::filesystem::create_directories(root_ + ".tmp/car3/color2/a");
  ASSERT_TRUE(WriteFile(root_ + ".tmp/car3/color2/a/17.kes", ReadFile(kSampleCar + "/color/a/90.kes")));
  GLuint texture = 0;
  glGenTextures(1, &texture);
  sample_marks::Mark mark;
  load_textureAll2(static_cast<int>(texture), 17);
  ASSERT_TRUE(TextureMark(texture, &mark));
  EXPECT_EQ(mark, WholeCarMark(17));
  scene_->numberedCarLayout = 1;
  scene_->carNumber = 3;
  scene_->colorNumber = 2;
  load_textureAll2(static_cast<int>(texture), 17);
  ASSERT_TRUE(TextureMark(texture, &mark));
  EXPECT_EQ(mark, WholeCarMark(90));
  // The car pictures stay in the named layout.
  load_textureIndex(static_cast<int>(texture), 1);
  ASSERT_TRUE(TextureMark(texture, &mark));
  EXPECT_EQ(mark.kind, sample_marks::kKindCarPicture);
  EXPECT_EQ(mark.number, 1);
  glDeleteTextures(1, &texture);
}

}  // namespace
