// Start values of the scene and the saved display configuration.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "avm/bridge/scene_state.h"
#include "avm/view/view_init.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

// The bytes of a configuration file, field by field.
class ConfigBytes {
 public:
  ConfigBytes& Float(float value) { return Append(&value); }
  ConfigBytes& Int(int32_t value) { return Append(&value); }
  // A whole file of distinct, valid values.
  static ConfigBytes Full() {
    ConfigBytes bytes;
    for (int i = 0; i < 16; ++i) {
      bytes.Float(0.0625f * static_cast<float>(i + 1));
    }
    bytes.Float(300.0f).Float(55.0f).Int(61).Int(33).Float(71.5f);
    bytes.Float(88.0f).Float(1.0f).Float(21.0f).Float(89.0f).Float(2.0f).Float(31.0f);
    return bytes;
  }
  std::string Cut(std::size_t size) const { return text_.substr(0, size); }
  const std::string& Text() const { return text_; }

 private:
  template <typename T>
  ConfigBytes& Append(const T* value) {
    text_.append(reinterpret_cast<const char*>(value), sizeof(T));
    return *this;
  }
  std::string text_;
};

class ViewInit : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    scene_ = AllocateSceneState();
    ASSERT_NE(scene_, nullptr);
    std::strncpy(scene_->assetRoot, root_.c_str(), sizeof(scene_->assetRoot) - 1);
    scene_->screenIndex = 0;
  }
  void WriteConfig(const std::string& bytes) {
    ASSERT_TRUE(WriteFile(root_ + "common/config.bin", bytes));
  }
  void ExpectDefaultRects() {
    const float expected[4][4] = {{0.15f, 0.05f, 0.7f, 0.9f},
                                  {0.15f, 0.05f, 0.7f, 0.9f},
                                  {0.45f, 0.2f, 0.5f, 0.78f},
                                  {0.05f, 0.2f, 0.5f, 0.78f}};
    for (int r = 0; r < 4; ++r) {
      for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(scene_->layoutRects[r][v], expected[r][v]) << r << "," << v;
      }
    }
  }
  void ExpectLayoutParameterFallbacks() {
    EXPECT_EQ(scene_->lrOffset[0], 50);
    EXPECT_EQ(scene_->lrOffset[1], 28);
    EXPECT_EQ(scene_->lrParamCommon, 70.0f);
    EXPECT_EQ(scene_->lrParamsLeft[0], 87.0f);
    EXPECT_EQ(scene_->lrParamsLeft[1], 0.0f);
    EXPECT_EQ(scene_->lrParamsLeft[2], 20.0f);
    EXPECT_EQ(scene_->lrParamsRight[0], 87.0f);
    EXPECT_EQ(scene_->lrParamsRight[1], 0.0f);
    EXPECT_EQ(scene_->lrParamsRight[2], 30.0f);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(ViewInit, StartValuesOfTheScene) {
  scene_->vehicleSpeed.store(999);
  scene_->carObjModel = reinterpret_cast<Objmodel*>(0x10);
  AvmInit(1024, 600, 7, 8);
  EXPECT_EQ(scene_->carWidth, 190);
  EXPECT_EQ(scene_->carLength, 523);
  EXPECT_EQ(scene_->vehicleSpeed.load(), 0);
  EXPECT_EQ(scene_->topViewDirty, 1);
  EXPECT_EQ(scene_->carNumber, 1);
  EXPECT_EQ(scene_->colorNumber, 2);
  EXPECT_EQ(scene_->lampState, -1);
  EXPECT_EQ(scene_->camHeight, 230.0f);
  EXPECT_EQ(scene_->camDistance, 510.0f);
  EXPECT_EQ(scene_->camTargetHeight, 75.0f);
  EXPECT_EQ(scene_->camFourthValue, 15.0f);
  EXPECT_EQ(scene_->spriteAngle, 72);
  EXPECT_EQ(scene_->spriteAngleTarget, 0);
  EXPECT_EQ(scene_->singleTextureAngle, -1);
  EXPECT_EQ(scene_->angleStep, 1);
  EXPECT_EQ(scene_->backgroundIndex, 1);
  EXPECT_EQ(scene_->roadwayIndex, 1);
  EXPECT_EQ(scene_->laneIndex, 0);
  EXPECT_EQ(scene_->backgroundOn + scene_->roadwayOn + scene_->laneOn, 3);
  EXPECT_EQ(scene_->backgroundLoaded + scene_->roadwayLoaded + scene_->laneLoaded, 0);
  EXPECT_EQ(scene_->aiCarMode, 1);
  EXPECT_EQ(scene_->trackMirror, 1);
  EXPECT_EQ(scene_->carBrightness, 1.0f);
  EXPECT_EQ(scene_->frameRate, 50);
  EXPECT_EQ(scene_->carBottomIndex, 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(scene_->tirePressure[i], -1);
    EXPECT_EQ(scene_->tireTemperature[i], 100);
  }
  EXPECT_EQ(scene_->carObjModel, nullptr);
  EXPECT_EQ(scene_->guideTrack, nullptr);
  EXPECT_EQ(scene_->screenWidth, 1024);
  EXPECT_EQ(scene_->screenHeight, 600);
  EXPECT_EQ(scene_->screenMode, 0);
  EXPECT_EQ(scene_->mainFovy, 60.0f);
  EXPECT_EQ(scene_->shadowLuma, 0.5f);
  EXPECT_EQ(scene_->topScale[2], 1.0f);
  EXPECT_FLOAT_EQ(scene_->mainAspect, 1024.0f / 600.0f);
  EXPECT_FLOAT_EQ(scene_->sideAspect, 672.0f / 600.0f);
  EXPECT_NE(scene_->pictureProgram, 0u);
}

TEST_F(ViewInit, MissingConfigurationGivesTheDefaultsSilently) {
  LogCapture log;
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->topViewMargin, 220.0f);
  EXPECT_EQ(scene_->viewFovy, 60.0f);
  EXPECT_EQ(scene_->viewFovyCurrent, 60.0f);
  ExpectDefaultRects();
  ExpectLayoutParameterFallbacks();
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------config.bin"), 0);
  // The 2D camera: (523 / 2 + 220) x (352 / 600) - 190 / 2.
  EXPECT_FLOAT_EQ(scene_->topViewSideMargin,
                  static_cast<float>((523 * 0.5 + 220.0) * (352.0f / 600.0f) - 95.0));
}

TEST_F(ViewInit, FileOf68BytesGivesFieldOfView53) {
  WriteConfig(ConfigBytes::Full().Cut(68));
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->layoutRects[0][0], 0.0625f);
  EXPECT_EQ(scene_->layoutRects[3][3], 1.0f);
  EXPECT_EQ(scene_->topViewMargin, 300.0f);
  EXPECT_EQ(scene_->viewFovy, 53.0f);
  EXPECT_EQ(scene_->viewFovyCurrent, 53.0f);
  ExpectLayoutParameterFallbacks();
}

TEST_F(ViewInit, FullFileGivesEveryField) {
  WriteConfig(ConfigBytes::Full().Text());
  ASSERT_EQ(ConfigBytes::Full().Text().size(), kConfigFileSize);
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->layoutRects[1][2], 0.4375f);
  EXPECT_EQ(scene_->topViewMargin, 300.0f);
  EXPECT_EQ(scene_->viewFovy, 55.0f);
  EXPECT_EQ(scene_->viewFovyCurrent, 55.0f);
  EXPECT_EQ(scene_->lrOffset[0], 61);
  EXPECT_EQ(scene_->lrOffset[1], 33);
  EXPECT_EQ(scene_->lrParamCommon, 71.5f);
  EXPECT_EQ(scene_->lrParamsLeft[0], 88.0f);
  EXPECT_EQ(scene_->lrParamsLeft[2], 21.0f);
  EXPECT_EQ(scene_->lrParamsRight[1], 2.0f);
  EXPECT_EQ(scene_->lrParamsRight[2], 31.0f);
  EXPECT_FLOAT_EQ(scene_->topViewSideMargin,
                  static_cast<float>((523 * 0.5 + 300.0) * (352.0f / 600.0f) - 95.0));
}

TEST_F(ViewInit, ShortFileFallsBackFieldByField) {
  // Up to and including the first offset; the cut goes through the second.
  WriteConfig(ConfigBytes::Full().Cut(78));
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->viewFovy, 55.0f);
  EXPECT_EQ(scene_->lrOffset[0], 61);
  EXPECT_EQ(scene_->lrOffset[1], 28);  // from layout row 0
  EXPECT_EQ(scene_->lrParamCommon, 70.0f);
  EXPECT_EQ(scene_->lrParamsRight[2], 30.0f);
}

TEST_F(ViewInit, FileShorterThanTheFirstFieldsTakesTheDefaults) {
  WriteConfig(ConfigBytes::Full().Cut(20));
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->layoutRects[0][3], 0.25f);
  EXPECT_EQ(scene_->layoutRects[1][0], 0.3125f);
  EXPECT_EQ(scene_->layoutRects[1][1], 0.05f);  // default of the unread value
  EXPECT_EQ(scene_->layoutRects[2][0], 0.45f);
  EXPECT_EQ(scene_->topViewMargin, 220.0f);
  EXPECT_EQ(scene_->viewFovy, 53.0f);
}

TEST_F(ViewInit, DamagedValuesAreReplacedAndReported) {
  ConfigBytes bytes;
  bytes.Float(std::numeric_limits<float>::quiet_NaN());
  for (int i = 1; i < 16; ++i) {
    bytes.Float(0.5f);
  }
  bytes.Float(1e30f).Float(1000.0f).Int(-7).Int(9).Float(std::numeric_limits<float>::infinity());
  bytes.Float(1.0f).Float(2.0f).Float(3.0f).Float(4.0f).Float(5.0f).Float(6.0f);
  WriteConfig(bytes.Text());
  LogCapture log;
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->layoutRects[0][0], 0.15f);
  EXPECT_EQ(scene_->layoutRects[0][1], 0.5f);
  EXPECT_EQ(scene_->topViewMargin, 220.0f);
  EXPECT_EQ(scene_->viewFovy, 53.0f);
  EXPECT_EQ(scene_->lrOffset[0], -7);
  EXPECT_EQ(scene_->lrParamCommon, 70.0f);
  EXPECT_EQ(scene_->lrParamsLeft[0], 1.0f);
  EXPECT_TRUE(std::isfinite(scene_->topViewSideMargin));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------config.bin,"), 4);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------config.bin,viewFovy damaged"), 1);
}

TEST_F(ViewInit, ConfigurationThatIsNotAFileTakesTheDefaults) {
  ASSERT_EQ(mkdir((root_ + "common/config.bin").c_str(), 0755), 0);
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->topViewMargin, 220.0f);
  EXPECT_EQ(scene_->viewFovy, 60.0f);
  ExpectDefaultRects();
  ExpectLayoutParameterFallbacks();
}

// A file that exists is read, however short: the first fields keep the
// defaults of a missing file, the field of view gets its fallback 53, as a
// 4-byte file gives it.
TEST_F(ViewInit, FilesShorterThanOneFieldGiveTheFallbacks) {
  for (std::size_t size : {4u, 0u, 1u, 3u}) {
    WriteConfig(ConfigBytes::Full().Cut(size));
    AvmInit(1024, 600, 0, 0);
    EXPECT_EQ(scene_->topViewMargin, 220.0f) << size;
    EXPECT_EQ(scene_->viewFovy, 53.0f) << size;
    EXPECT_EQ(scene_->viewFovyCurrent, 53.0f) << size;
    ExpectLayoutParameterFallbacks();
  }
  ExpectDefaultRects();  // the last, 3-byte file holds no whole value
}

// A pipe in place of the file is not waited on (the start-up would hang
// until someone wrote into it): it counts as a file that cannot be opened.
TEST_F(ViewInit, ConfigurationThatIsAPipeIsNotWaitedOn) {
  ASSERT_EQ(mkfifo((root_ + "common/config.bin").c_str(), 0600), 0);
  AvmInit(1024, 600, 0, 0);
  EXPECT_EQ(scene_->viewFovy, 60.0f);
  ExpectDefaultRects();
}

TEST_F(ViewInit, LayoutParametersStartFromTheLayoutRow) {
  scene_->screenIndex = 24;
  AvmInit(768, 720, 0, 0);
  EXPECT_EQ(scene_->lrOffset[0], 90);
  EXPECT_EQ(scene_->lrOffset[1], 44);
  // Portrait: the top view over the upper half.
  EXPECT_EQ(scene_->topViewport[3], 360.0f);
}

}  // namespace
