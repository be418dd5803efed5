// A car's params.bin: a full file, a missing one, tables that fail their
// checks, truncated and damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "avm/bridge/scene_state.h"
#include "avm/view/car_params.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

// The thirteen tables of a valid car, ready to be changed by a test and
// written out in file order.
struct CarTables {
  int32_t size[3] = {4860, 1860, 0};
  CarPosition tiresOffset[4] = {};
  float cord[192][4] = {};
  float top2[5] = {200.0f, 500.0f, 20.0f, 260.0f, 560.0f};
  float plate[24] = {};
  float tiresParams[6] = {95.0f, 140.0f, 12.0f, 0.0f, 0.0f, 0.0f};
  float lookat[6] = {250.0f, 520.0f, 80.0f, 16.0f, 45.0f, 1.6f};
  float picSize[4] = {700.0f, 500.0f, 1100.0f, 620.0f};
  CarPosition lamps[12] = {};
  CarPosition doors[18] = {};
  CarPosition lamps2[104] = {};
  CarPosition doors2[78] = {};
  CarPosition tires2[26] = {};

  CarTables() {
    for (int angle = 0; angle < 192; ++angle) {
      cord[angle][0] = static_cast<float>(angle);
      cord[angle][2] = 300.0f;
    }
    plate[2] = 5.0f;
    lamps[4] = {11, 12, 0, 0};
    doors[0] = {21, 22, 0, 0};
    lamps2[4] = {31, 32, 0, 0};
    doors2[0] = {41, 42, 0, 0};
    doors2[18] = {43, 44, 0, 0};
    tires2[6] = {51, 52, 0, 0};
  }

  std::string Bytes() const {
    std::string bytes;
    auto add = [&bytes](const void* table, std::size_t length) {
      bytes.append(static_cast<const char*>(table), length);
    };
    add(size, sizeof(size));
    add(tiresOffset, sizeof(tiresOffset));
    add(cord, sizeof(cord));
    add(top2, sizeof(top2));
    add(plate, sizeof(plate));
    add(tiresParams, sizeof(tiresParams));
    add(lookat, sizeof(lookat));
    add(picSize, sizeof(picSize));
    add(lamps, sizeof(lamps));
    add(doors, sizeof(doors));
    add(lamps2, sizeof(lamps2));
    add(doors2, sizeof(doors2));
    add(tires2, sizeof(tires2));
    return bytes;
  }
};

// Byte offset of each table in the file.
constexpr std::size_t kLookatOffset = 12 + 64 + 3072 + 20 + 96 + 24;

const std::vector<std::string> kAllFailureLines = {
    "------carTiresParamsCur read fail!", "------carLookatAllCur fail!",
    "------carPicSizeCur fail!",          "------carLampsOffset fail!",
    "------carDoorsOffset fail!",         "------carLampsOffset2 fail!",
    "------carDoorsOffset2 fail!",        "------carTiresOffset2 fail!",
};

class CarParams : public ::testing::Test {
 protected:
  void SetUp() override {
    scene_ = AllocateSceneState();
    ASSERT_NE(scene_, nullptr);
    const std::string root = dir_.path() + "/";
    std::strncpy(scene_->assetRoot, root.c_str(), sizeof(scene_->assetRoot) - 1);
    std::strncpy(scene_->carName, "demo", sizeof(scene_->carName) - 1);
    mkdir((root + ".tmp").c_str(), 0755);
    mkdir((root + ".tmp/demo").c_str(), 0755);
    carDir_ = root + ".tmp/demo/";
  }
  void WriteParams(const std::string& bytes) {
    ASSERT_TRUE(WriteFile(carDir_ + "params.bin", bytes));
  }

  TempDir dir_;
  std::string carDir_;
  ViewParam* scene_ = nullptr;
};

TEST_F(CarParams, FullFileFillsTheTablesAndTheCarSize) {
  const CarTables tables;
  ASSERT_EQ(tables.Bytes().size(), kParamsFileSize);
  WriteParams(tables.Bytes());
  LogCapture log;
  AvmCalScale();
  EXPECT_EQ(scene_->carLength, 480);
  EXPECT_EQ(scene_->carWidth, 180);
  EXPECT_EQ(carCordCur[191][0], 191.0f);
  EXPECT_EQ(scene_->topGeometryValid, 1);
  EXPECT_EQ(scene_->plateGeometryValid, 1);
  EXPECT_EQ(scene_->doorSpritesAvailable, 1);
  // Tyre positions: element 2 negated, element 0 moved out by 10.
  EXPECT_EQ(carTiresParamsCur[0], 105.0f);
  EXPECT_EQ(carTiresParamsCur[2], -12.0f);
  EXPECT_EQ(scene_->camHeight, 250.0f);
  EXPECT_EQ(scene_->camDistance, 520.0f);
  EXPECT_EQ(scene_->camTargetHeight, 80.0f);
  EXPECT_EQ(scene_->camFourthValue, 16.0f);
  EXPECT_EQ(carLookatAllCur[4], 45.0f);
  EXPECT_EQ(carPicSizeCur[3], 620.0f);
  EXPECT_EQ(log.Messages("KESTRA"),
            (std::vector<std::string>{
                "------carTiresParamsCur:105.000000,140.000000",
                "------carLookatAllCur:250.000000,520.000000",
                "------carPicSizeCur:700.000000,500.000000", "------carLampsOffset:11,12",
                "------carDoorsOffset:21,22", "------carLampsOffset2:31,32",
                "------carDoorsOffset2:41,42", "------carTiresOffset2:51,52"}));
}

TEST_F(CarParams, TopViewScalesFollowTheWiderShape) {
  // Car 180 x 480 (0.375) against a top picture 200 x 500 (0.4): the
  // picture is relatively wider, so x is scaled.
  CarTables tables;
  WriteParams(tables.Bytes());
  AvmCalScale();
  EXPECT_EQ(scene_->topCarScaleY, 1.0f);
  EXPECT_FLOAT_EQ(scene_->topCarScaleX, 0.4f / 0.375f);
  EXPECT_FLOAT_EQ(scene_->topScale[0], 0.4f / 0.375f);
  EXPECT_EQ(scene_->topScale[1], 1.0f);

  tables.top2[0] = 150.0f;  // 0.3: now the car is relatively wider
  WriteParams(tables.Bytes());
  AvmCalScale();
  EXPECT_EQ(scene_->topCarScaleX, 1.0f);
  EXPECT_FLOAT_EQ(scene_->topCarScaleY, 0.375f / 0.3f);
  EXPECT_FLOAT_EQ(scene_->topScale[1], 0.375f / 0.3f);
  EXPECT_EQ(scene_->topScale[0], 1.0f);
}

TEST_F(CarParams, MissingFileTakesEveryFallback) {
  // The previous car's size tables are kept, as they are not cleared.
  carSizeCur[0] = 4060;
  carSizeCur[1] = 1760;
  carPlateCordCur[2] = 9.0f;
  LogCapture log;
  AvmCalScale();
  EXPECT_EQ(log.Messages("KESTRA"), kAllFailureLines);
  EXPECT_EQ(scene_->topGeometryValid, 0);
  EXPECT_EQ(scene_->plateGeometryValid, 0);
  EXPECT_EQ(carPlateCordCur[2], 0.0f);
  EXPECT_EQ(scene_->doorSpritesAvailable, 0);
  EXPECT_EQ(scene_->camHeight, 230.0f);
  EXPECT_EQ(scene_->camDistance, 510.0f);
  EXPECT_EQ(scene_->camTargetHeight, 75.0f);
  EXPECT_EQ(scene_->camFourthValue, 15.0f);
  EXPECT_EQ(carLookatAllCur[4], 60.0f);
  EXPECT_EQ(carLookatAllCur[5], 1.71f);
  EXPECT_EQ(carPicSizeCur[0], 663.0f);
  EXPECT_EQ(carPicSizeCur[1], 522.0f);
  EXPECT_EQ(carPicSizeCur[2], 1018.0f);
  EXPECT_EQ(carPicSizeCur[3], 595.0f);
  EXPECT_EQ(scene_->carLength, 400);
  EXPECT_EQ(scene_->carWidth, 170);
}

// A pipe in place of params.bin is not waited on (the selection would hang
// under the scene lock until someone wrote into it): it is a missing file.
TEST_F(CarParams, ParamsThatAreAPipeAreNotWaitedOn) {
  ASSERT_EQ(mkfifo((carDir_ + "params.bin").c_str(), 0600), 0);
  LogCapture log;
  AvmCalScale();
  EXPECT_EQ(log.Messages("KESTRA"), kAllFailureLines);
  EXPECT_EQ(scene_->carLength, 400);
}

TEST_F(CarParams, TablesThatFailTheirChecks) {
  CarTables tables;
  tables.tiresParams[0] = 1.0f;  // not above 1
  tables.lookat[0] = 0.5f;
  tables.picSize[0] = -3.0f;
  tables.lamps[4].x = 1;
  tables.doors2[18].x = 0;  // valid door table 1 does not save the verdict
  tables.top2[0] = 1.0f;
  tables.plate[2] = 1.0f;
  WriteParams(tables.Bytes());
  LogCapture log;
  AvmCalScale();
  EXPECT_EQ(log.Messages("KESTRA"),
            (std::vector<std::string>{
                "------carTiresParamsCur read fail!", "------carLookatAllCur fail!",
                "------carPicSizeCur fail!", "------carLampsOffset fail!",
                "------carDoorsOffset:21,22", "------carLampsOffset2:31,32",
                "------carDoorsOffset2 fail!", "------carTiresOffset2:51,52"}));
  EXPECT_EQ(scene_->doorSpritesAvailable, 0);
  EXPECT_EQ(scene_->topGeometryValid, 0);
  EXPECT_EQ(scene_->plateGeometryValid, 0);
  EXPECT_EQ(scene_->camHeight, 230.0f);
  EXPECT_EQ(carPicSizeCur[2], 1018.0f);
  EXPECT_EQ(carTiresParamsCur[2], 12.0f);  // not negated when the check fails
}

TEST_F(CarParams, TruncatedFileFailsFromTheCutOn) {
  WriteParams(CarTables().Bytes().substr(0, kLookatOffset + 10));
  LogCapture log;
  AvmCalScale();
  const std::vector<std::string> lines = log.Messages("KESTRA");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "------carTiresParamsCur:105.000000,140.000000");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            std::vector<std::string>(kAllFailureLines.begin() + 1, kAllFailureLines.end()));
  EXPECT_EQ(scene_->topGeometryValid, 1);
  EXPECT_EQ(scene_->carLength, 480);
}

TEST_F(CarParams, NumberedLayoutReadsItsOwnFile) {
  scene_->numberedCarLayout = 1;
  scene_->carNumber = 3;
  const std::string root = dir_.path() + "/";
  mkdir((root + ".tmp/car3").c_str(), 0755);
  CarTables tables;
  tables.size[0] = 3060;
  ASSERT_TRUE(WriteFile(root + ".tmp/car3/params.bin", tables.Bytes()));
  AvmCalScale();
  EXPECT_EQ(scene_->carLength, 300);
}

TEST_F(CarParams, DamagedSizesGiveFiniteScales) {
  CarTables tables;
  tables.size[0] = INT_MIN;
  tables.size[1] = INT_MAX;
  tables.top2[1] = 0.0f;  // a top picture of no length
  WriteParams(tables.Bytes());
  LogCapture log;
  AvmCalScale();
  EXPECT_EQ(scene_->carLength, static_cast<int32_t>((static_cast<int64_t>(INT_MIN) - 60) / 10));
  EXPECT_EQ(scene_->topCarScaleX, 1.0f);
  EXPECT_EQ(scene_->topCarScaleY, 1.0f);
  EXPECT_TRUE(log.Contains("KESTRA", "------carTop2Cur scale fail!"));

  tables = CarTables();
  tables.size[0] = 60;  // a car of no length
  WriteParams(tables.Bytes());
  AvmCalScale();
  EXPECT_EQ(scene_->carLength, 0);
  EXPECT_EQ(scene_->topScale[0], 1.0f);
  EXPECT_EQ(scene_->topScale[1], 1.0f);
}

TEST_F(CarParams, CarNameTooLongForThePathIsAMissingFile) {
  std::memset(scene_->carName, 'x', 250);
  scene_->carName[250] = '\0';
  LogCapture log;
  AvmCalScale();
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------path too long"), 1);
  EXPECT_EQ(log.Count("KESTRA", "------carDoorsOffset2 fail!"), 1);
}

}  // namespace
