// The number-plate picture, pixel for pixel against a plate put together
// here from the sample kit's glyph sheets, and the input it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "avm/include/avm_image_tools.h"
#include "tests/avm/plate_tyre_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

// The plate as it should look: the canvas in the style's colour (B, G, R),
// region glyph k at (16, 19), the first character at (92, 28) and the
// others 73 apart from x = 203, shrunk by area averaging.
cv::Mat ExpectedPlate(const std::string& plateDir, int sheetStyle, const cv::Scalar& colour,
                      int region, const std::vector<int>& cells) {
  const cv::Mat regions = DecodeForTest(plateDir + "simple" + std::to_string(sheetStyle) + ".bin");
  const cv::Mat glyphs = DecodeForTest(plateDir + "number" + std::to_string(sheetStyle) + ".bin");
  const bool longLayout = cells.size() == 7;
  cv::Mat canvas(184, longLayout ? 650 : 577, CV_8UC3, colour);
  regions(cv::Rect(76 * region, 0, 76, 146)).copyTo(canvas(cv::Rect(16, 19, 76, 146)));
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const int x = i == 0 ? 92 : 203 + 73 * static_cast<int>(i - 1);
    glyphs(cv::Rect(70 * cells[i], 0, 70, 130)).copyTo(canvas(cv::Rect(x, 28, 70, 130)));
  }
  cv::Mat picture;
  cv::resize(canvas, picture, cv::Size(longLayout ? 87 : 80, 25), 0, 0, cv::INTER_AREA);
  return picture;
}

const cv::Scalar kBlue(134, 0, 6);
const cv::Scalar kYellow(0, 204, 255);
const cv::Scalar kGreen(108, 216, 80);

class PlateImage : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeGlyphAssetRoot(dir_.path());
    plateDir_ = root_ + "common/plate/";
    UseSceneWithAssetRoot(root_);
  }
  cv::Mat Plate() const { return cv::imread(plateDir_ + "plate.png", cv::IMREAD_UNCHANGED); }

  TempDir dir_;
  std::string root_;
  std::string plateDir_;
};

TEST_F(PlateImage, ShortTextInEachStyleColour) {
  // "A" is cell 10, "Z" 35, digits their own value.
  const std::vector<int> cells = {10, 1, 2, 35, 9, 0};
  ASSERT_EQ(genPlate(3, "A12Z90", 0), 1);
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 0, kBlue, 3, cells)));
  ASSERT_EQ(AvmGenPlate(0, "A12Z90", 1), 1);
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 1, kYellow, 0, cells)));
  ASSERT_EQ(genPlate(9, "A12Z90", 2), 1);
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 2, kGreen, 9, cells)));
}

TEST_F(PlateImage, CaseOfLettersDoesNotMatter) {
  ASSERT_EQ(genPlate(1, "kb7qx4", 0), 1);
  const cv::Mat lower = Plate();
  ASSERT_EQ(genPlate(1, "KB7QX4", 0), 1);
  EXPECT_TRUE(SamePicture(lower, Plate()));
  EXPECT_TRUE(SamePicture(lower, ExpectedPlate(plateDir_, 0, kBlue, 1, {20, 11, 7, 26, 33, 4})));
}

TEST_F(PlateImage, SevenCharactersUseTheLongLayoutEightTheShortOne) {
  ASSERT_EQ(genPlate(2, "AB12345", 0), 1);
  EXPECT_EQ(Plate().size(), cv::Size(87, 25));
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 0, kBlue, 2, {10, 11, 1, 2, 3, 4, 5})));

  ASSERT_EQ(genPlate(2, "AB123456", 0), 1);
  EXPECT_EQ(Plate().size(), cv::Size(80, 25));
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 0, kBlue, 2, {10, 11, 1, 2, 3, 4})));

  ASSERT_EQ(genPlate(2, "AB1234", 0), 1);
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 0, kBlue, 2, {10, 11, 1, 2, 3, 4})));

  // Only the characters drawn must have glyphs: after the sixth of a text
  // that is not seven long, anything may follow.
  for (const char* text : {"ABC123-X", "ABC123 \n", "ABC123\xc3\xa9"}) {
    ASSERT_EQ(genPlate(2, text, 0), 1) << text;
    EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 0, kBlue, 2, {10, 11, 12, 1, 2, 3})));
  }
}

TEST_F(PlateImage, StyleFiveIsGreenLikeStyleTwo) {
  // Style 5 reads its own sheets; give it style 2's.
  ASSERT_TRUE(WriteFile(plateDir_ + "simple5.bin", ReadFile(plateDir_ + "simple2.bin")));
  ASSERT_TRUE(WriteFile(plateDir_ + "number5.bin", ReadFile(plateDir_ + "number2.bin")));
  ASSERT_EQ(genPlate(4, "ZZ0099", 5), 1);
  EXPECT_TRUE(SamePicture(Plate(), ExpectedPlate(plateDir_, 2, kGreen, 4, {35, 35, 0, 0, 9, 9})));
  // The gap after the first character keeps the canvas colour: green.
  cv::Mat canvasOnly(184, 577, CV_8UC3, kGreen);
  cv::Mat shrunk;
  cv::resize(canvasOnly, shrunk, cv::Size(80, 25), 0, 0, cv::INTER_AREA);
  EXPECT_EQ(Plate().at<cv::Vec3b>(12, 0), shrunk.at<cv::Vec3b>(12, 0));
}

// Input that would pick glyphs outside the sheets composes nothing:
// plate.png keeps its bytes and the result says so.
TEST_F(PlateImage, RefusedInputLeavesThePictureAlone) {
  const std::string before = ReadFile(plateDir_ + "plate.png");
  ASSERT_FALSE(before.empty());
  LogCapture log;
  EXPECT_EQ(genPlate(0, "AB123", 0), 0);     // shorter than 6
  EXPECT_EQ(genPlate(0, "", 0), 0);
  EXPECT_EQ(genPlate(0, "AB-123", 0), 0);    // not a letter or digit
  EXPECT_EQ(genPlate(0, "AB 1234", 0), 0);
  EXPECT_EQ(genPlate(0, "AB1234-", 0), 0);   // seven long: the seventh is drawn too
  EXPECT_EQ(genPlate(0, "AB12\xc3\xa9", 0), 0);  // UTF-8 letter without a glyph
  EXPECT_EQ(genPlate(0, nullptr, 0), 0);
  EXPECT_EQ(genPlate(10, "AB1234", 0), 0);   // the sheet holds regions 0..9
  EXPECT_EQ(genPlate(-1, "AB1234", 0), 0);
  EXPECT_EQ(genPlate(0x7fffffff, "AB1234", 0), 0);
  EXPECT_EQ(genPlate(0, "AB1234", 7), 0);    // no sheets of style 7
  EXPECT_EQ(ReadFile(plateDir_ + "plate.png"), before);
  EXPECT_GE(log.CountPrefix("KESTRA", "---------genPlate:"), 10);
}

TEST_F(PlateImage, SheetsOfTheWrongKindAreRefused) {
  const std::string before = ReadFile(plateDir_ + "plate.png");
  // A four-channel region sheet.
  cv::Mat regions = DecodeForTest(plateDir_ + "simple0.bin");
  cv::Mat withAlpha;
  cv::cvtColor(regions, withAlpha, cv::COLOR_BGR2BGRA);
  ASSERT_TRUE(WriteConvertedForTest(plateDir_ + "simple0.bin", withAlpha));
  EXPECT_EQ(genPlate(0, "AB1234", 0), 0);
  // A 16-bit character sheet.
  cv::Mat glyphs = DecodeForTest(plateDir_ + "number1.bin");
  cv::Mat wide;
  glyphs.convertTo(wide, CV_16UC3, 257.0);
  ASSERT_TRUE(WriteConvertedForTest(plateDir_ + "number1.bin", wide));
  EXPECT_EQ(genPlate(0, "AB1234", 1), 0);
  // A character sheet too narrow for "Z" (cell 35).
  ASSERT_TRUE(WriteConvertedForTest(plateDir_ + "number2.bin", glyphs(cv::Rect(0, 0, 70 * 35, 130))));
  EXPECT_EQ(genPlate(0, "AB123Z", 2), 0);
  EXPECT_EQ(genPlate(0, "AB123Y", 2), 1) << "the cells that are there still serve";
  const std::string made = ReadFile(plateDir_ + "plate.png");
  // Damaged bytes in place of a sheet.
  ASSERT_TRUE(WriteFile(plateDir_ + "simple2.bin", "kes \x30\x0b\x09\x0cnot a picture"));
  EXPECT_EQ(genPlate(0, "AB1234", 2), 0);
  EXPECT_EQ(ReadFile(plateDir_ + "plate.png"), made);
  EXPECT_NE(made, before);
}

TEST_F(PlateImage, FailedWriteKeepsTheOldPictureWhole) {
  const std::string before = ReadFile(plateDir_ + "plate.png");
  ASSERT_EQ(mkdir((plateDir_ + "plate.png.part").c_str(), 0755), 0);
  LogCapture log;
  EXPECT_EQ(genPlate(0, "AB1234", 0), 0);
  EXPECT_EQ(ReadFile(plateDir_ + "plate.png"), before);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------genPlate:") , 1);
}

}  // namespace
