// The tyre panel, pixel for pixel against panels put together here from the
// sample kit's glyph sheets by the layout (cells 70 x 130, row 1 at y = 130
// for alarms; pressure line at y = 28, temperature line at y = 212), the
// refreshing of the converted sheets, and the input it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "avm/include/avm_image_tools.h"
#include "tests/avm/plate_tyre_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

struct Paste {
  int sourceX, sourceY, width, height, targetX, targetY;
};

// A glyph of cell n in glyph row `row` (0 or 1) to (x, y).
Paste Cell(int n, int row, int x, int y) { return {70 * n, 130 * row, 70, 130, x, y}; }
Paste Label(int sourceX, int row) { return {sourceX, 130 * row, 210, 130, 279, 28}; }

constexpr int64_t kLongAgo = 1000000000;

class TyreImage : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeGlyphAssetRoot(dir_.path());
    pressureDir_ = root_ + "common/pressure/";
    UseSceneWithAssetRoot(root_);
  }

  cv::Mat Expected(const std::vector<Paste>& pastes, int style = 0) const {
    cv::Mat background = DecodeForTest(pressureDir_ + "background" + std::to_string(style) + ".bin");
    const cv::Mat glyphs = DecodeForTest(pressureDir_ + "number" + std::to_string(style) + ".bin");
    for (const Paste& p : pastes) {
      glyphs(cv::Rect(p.sourceX, p.sourceY, p.width, p.height))
          .copyTo(background(cv::Rect(p.targetX, p.targetY, p.width, p.height)));
    }
    cv::Mat panel;
    cv::resize(background, panel, cv::Size(80, 50), 0, 0, cv::INTER_AREA);
    return panel;
  }

  cv::Mat Panel() const { return cv::imread(pressureDir_ + "pressure.png", cv::IMREAD_UNCHANGED); }

  // Composes and compares; the temperature -120 is outside what is drawn.
  void ExpectPanel(const std::vector<Paste>& pastes, int pressure, int pressureAlarm,
                   int temperature, int temperatureAlarm, int status, int pressureUnit,
                   int temperatureUnit) {
    ASSERT_EQ(genTirePressure(pressure, pressureAlarm, temperature, temperatureAlarm, status,
                              pressureUnit, temperatureUnit, 0),
              1);
    const cv::Mat panel = Panel();
    EXPECT_EQ(panel.type(), CV_8UC4);
    EXPECT_TRUE(SamePicture(panel, Expected(pastes)));
  }

  TempDir dir_;
  std::string root_;
  std::string pressureDir_;
};

TEST_F(TyreImage, PressureLineInTheThreeUnits) {
  // 5 in unit 0: only the ones digit and the unit 0 label.
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0)}, 5, 0, -120, 0, 0, 0, 0);
  // 45: no hundreds digit.
  ExpectPanel({Cell(4, 0, 103, 28), Cell(5, 0, 176, 28), Label(700, 0)}, 45, 0, -120, 0, 0, 0, 0);
  // 205 in unit 2: the tens digit 0 is drawn between two others.
  ExpectPanel({Cell(2, 0, 30, 28), Cell(0, 0, 103, 28), Cell(5, 0, 176, 28), Label(1330, 0)}, 205,
              0, -120, 0, 0, 2, 0);
  // 250 in unit 1 reads 2.5; 5 reads 0.0.
  const Paste point{1471, 49, 19, 19, 128, 111};
  ExpectPanel({Cell(2, 0, 30, 28), point, Cell(5, 0, 176, 28), Label(1540, 0)}, 250, 0, -120, 0, 0,
              1, 0);
  ExpectPanel({Cell(0, 0, 30, 28), point, Cell(0, 0, 176, 28), Label(1540, 0)}, 5, 0, -120, 0, 0, 1,
              0);
  // 999 in unit 1: 9.9.
  ExpectPanel({Cell(9, 0, 30, 28), point, Cell(9, 0, 176, 28), Label(1540, 0)}, 999, 0, -120, 0, 0,
              1, 0);
}

TEST_F(TyreImage, UnknownPressureUnitLeavesTheLineBlankButNotTheRest) {
  ExpectPanel({Cell(13 + 2, 0, 498, 28), Cell(2, 0, 103, 212), Cell(1, 0, 176, 212),
               Cell(17, 0, 279, 212)},
              250, 0, 21, 0, 3, 3, 0);
  ExpectPanel({}, 250, 0, -120, 0, 0, -1, 0);
}

TEST_F(TyreImage, TemperatureLine) {
  // -5: the minus sign, nothing at x 103, the 5.
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0), Cell(16, 0, 30, 212), Cell(5, 0, 176, 212),
               Cell(17, 0, 279, 212)},
              5, 0, -5, 0, 0, 0, 0);
  // -98 in unit 1 and above: the second label.
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0), Cell(16, 0, 30, 212), Cell(9, 0, 103, 212),
               Cell(8, 0, 176, 212), Cell(18, 0, 279, 212)},
              5, 0, -98, 0, 0, 0, 7);
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0), Cell(0, 0, 176, 212), Cell(18, 0, 279, 212)}, 5,
              0, 0, 0, 0, 0, 1);
  // 99 and -99 are not drawn at all.
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0)}, 5, 0, 99, 1, 0, 0, 0);
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0)}, 5, 0, -99, 1, 0, 0, 0);
  // Without a temperature line no unit label is picked: a negative unit is
  // no reason to refuse the rest of the panel (a leak here).
  ExpectPanel({Cell(5, 1, 176, 28), Label(700, 1), Cell(15, 1, 498, 28)}, 5, 1, 99, 0, 3, 0, -1);
  ExpectPanel({Cell(5, 0, 176, 28), Label(700, 0)}, 5, 0, -120, 0, 0, 0, INT32_MIN);
}

TEST_F(TyreImage, AlarmsUseGlyphRowOne) {
  // Pressure alarm: the pressure line, its label and the status icon from
  // row 1; the temperature line stays in row 0.
  ExpectPanel({Cell(2, 1, 30, 28), Cell(3, 1, 103, 28), Cell(0, 1, 176, 28), Label(700, 1),
               Cell(14, 1, 498, 28), Cell(4, 0, 103, 212), Cell(2, 0, 176, 212),
               Cell(17, 0, 279, 212)},
              230, 2, 42, 0, 2, 0, 0);
  // Temperature alarm: the temperature line from row 1 and the alarm icon
  // (row 1, cell 14) at x 352; the status icon stays in row 0.
  ExpectPanel({Cell(2, 0, 30, 28), Cell(3, 0, 103, 28), Cell(0, 0, 176, 28), Label(700, 0),
               Cell(13, 0, 498, 28), Cell(16, 1, 30, 212), Cell(7, 1, 176, 212),
               Cell(17, 1, 279, 212), Cell(14, 1, 352, 212)},
              230, 0, -7, 1, 1, 0, 0);
}

TEST_F(TyreImage, RefusedArgumentsComposeNothing) {
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  const std::string before = ReadFile(pressureDir_ + "pressure.png");
  LogCapture log;
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, 4, 0, 0, 0), -1);  // status icon above 3
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, -1, 0, 0, 0), -1);
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, -1, 0), -1);  // negative temperature unit
  EXPECT_EQ(genTirePressure(1000, 0, 20, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(genTirePressure(-1, 0, 20, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 9), -1);  // no pictures of style 9
  EXPECT_EQ(ReadFile(pressureDir_ + "pressure.png"), before);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------genTirePressure:"), 6);
}

TEST_F(TyreImage, PicturesOfTheWrongKindOrTooSmallAreRefused) {
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  const std::string before = ReadFile(pressureDir_ + "pressure.png");
  // Only the ".bin" forms from here on.
  for (int s = 0; s < 3; ++s) {
    std::remove((pressureDir_ + "background" + std::to_string(s) + ".png").c_str());
    std::remove((pressureDir_ + "number" + std::to_string(s) + ".png").c_str());
  }
  // Three-channel glyphs.
  cv::Mat bgr;
  cv::cvtColor(DecodeForTest(pressureDir_ + "number0.bin"), bgr, cv::COLOR_BGRA2BGR);
  ASSERT_TRUE(WriteConvertedForTest(pressureDir_ + "number0.bin", bgr));
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), -1);
  // A background too small for the status icon at x 498.
  const cv::Mat narrow = DecodeForTest(pressureDir_ + "background1.bin")(cv::Rect(0, 0, 560, 360));
  ASSERT_TRUE(WriteConvertedForTest(pressureDir_ + "background1.bin", narrow));
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, 1, 0, 0, 1), -1);
  EXPECT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 1), 1) << "what fits is still composed";
  const std::string small = ReadFile(pressureDir_ + "pressure.png");
  // A glyph sheet of one row cannot give alarm glyphs.
  const cv::Mat oneRow = DecodeForTest(pressureDir_ + "number2.bin")(cv::Rect(0, 0, 1750, 130));
  ASSERT_TRUE(WriteConvertedForTest(pressureDir_ + "number2.bin", oneRow));
  EXPECT_EQ(genTirePressure(5, 1, 20, 0, 0, 0, 0, 2), -1);
  EXPECT_EQ(genTirePressure(5, 0, 20, 1, 0, 0, 0, 2), -1);
  EXPECT_EQ(ReadFile(pressureDir_ + "pressure.png"), small);
  EXPECT_NE(small, before);
  // A failed write keeps the old panel whole.
  ASSERT_EQ(mkdir((pressureDir_ + "pressure.png.part").c_str(), 0755), 0);
  EXPECT_EQ(genTirePressure(6, 0, 20, 0, 0, 0, 0, 2), -1);
  EXPECT_EQ(ReadFile(pressureDir_ + "pressure.png"), small);
}

// A ".png" whose picture differs from its ".bin", so that a conversion shows.
class TyreSheetRefresh : public TyreImage {
 protected:
  void SetUp() override {
    TyreImage::SetUp();
    png_ = pressureDir_ + "background0.png";
    bin_ = pressureDir_ + "background0.bin";
    ASSERT_TRUE(WriteFile(png_, ReadFile(pressureDir_ + "background1.png")));
    binBefore_ = ReadFile(bin_);
  }
  std::string png_;
  std::string bin_;
  std::string binBefore_;
};

TEST_F(TyreSheetRefresh, TwoSecondsApartIsStillUpToDate) {
  SetModifiedTime(bin_, kLongAgo);
  SetModifiedTime(png_, kLongAgo + 2);
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ReadFile(bin_), binBefore_);
  EXPECT_EQ(ModifiedTime(bin_), kLongAgo);
  SetModifiedTime(png_, kLongAgo - 2);
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ReadFile(bin_), binBefore_);
}

TEST_F(TyreSheetRefresh, ThreeSecondsApartEitherWayConverts) {
  SetModifiedTime(bin_, kLongAgo);
  SetModifiedTime(png_, kLongAgo + 3);
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  const std::string converted = ReadFile(bin_);
  EXPECT_EQ(converted.substr(8), ReadFile(png_).substr(8));
  EXPECT_EQ(ModifiedTime(bin_), ModifiedTime(png_));
  EXPECT_GT(ModifiedTime(bin_), kLongAgo + 3);
  // The panel is composed on the new background.
  EXPECT_TRUE(SamePicture(
      Panel(), Expected({Cell(5, 0, 176, 28), Label(700, 0), Cell(2, 0, 103, 212),
                         Cell(0, 0, 176, 212), Cell(17, 0, 279, 212)})));

  // A ".bin" newer than its ".png" by 3 seconds is converted again too.
  ASSERT_TRUE(WriteFile(bin_, binBefore_));
  SetModifiedTime(png_, kLongAgo);
  SetModifiedTime(bin_, kLongAgo + 3);
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ReadFile(bin_), converted);
}

TEST_F(TyreSheetRefresh, MissingBinIsMadeAndWithoutPngTheBinIsUsed) {
  std::remove(bin_.c_str());
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ReadFile(bin_).substr(8), ReadFile(png_).substr(8));

  // No ".png" at all: the ".bin" files are used as they are.
  ASSERT_TRUE(WriteFile(bin_, binBefore_));
  std::remove(png_.c_str());
  std::remove((pressureDir_ + "number0.png").c_str());
  SetModifiedTime(bin_, kLongAgo);
  ASSERT_EQ(genTirePressure(5, 0, 20, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ReadFile(bin_), binBefore_);
  EXPECT_EQ(ModifiedTime(bin_), kLongAgo);
  EXPECT_TRUE(SamePicture(
      Panel(), Expected({Cell(5, 0, 176, 28), Label(700, 0), Cell(2, 0, 103, 212),
                         Cell(0, 0, 176, 212), Cell(17, 0, 279, 212)})));

  // Neither form: nothing is composed.
  std::remove(bin_.c_str());
  const std::string before = ReadFile(pressureDir_ + "pressure.png");
  EXPECT_EQ(genTirePressure(6, 0, 20, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(ReadFile(pressureDir_ + "pressure.png"), before);
}

}  // namespace
