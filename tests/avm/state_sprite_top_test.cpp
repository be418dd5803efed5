// The top view from small hand-made top images whose two halves have
// colours of their own, so that every pixel tells which file and half it
// came from: the sixteen door combinations, stand-ins for missing files,
// odd widths, the numbered layout and top images of different sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/state_sprites.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/avm/state_sprite_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kWidth = 10;
constexpr int kHeight = 4;

// Colour of one half of a hand-made top image: B = the file's digits read
// as binary (d0 d1 d2 d3 -> 8 4 2 1) times 10, G = 1 for the left half and
// 2 for the right half.
cv::Scalar HalfColour(const std::string& digits, int half) {
  const int code = std::stoi(digits, nullptr, 2);
  return cv::Scalar(code * 10, half, 77, 255);
}

cv::Mat TopImage(const std::string& digits, int width = kWidth, int height = kHeight) {
  cv::Mat image = FlatImage(width, height, HalfColour(digits, 1));
  image.colRange(width / 2, width).setTo(HalfColour(digits, 2));
  return image;
}

class TopViewSprites : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    std::strcpy(scene_->carName, "hand");
    scene_->numberedCarLayout = 0;
  }

  void WriteTops(const std::vector<std::string>& names) {
    CarFiles files;
    for (const std::string& digits : names) {
      files.files.emplace_back("color/top/top" + digits + ".kes", EncodePng(TopImage(digits)));
    }
    ASSERT_TRUE(WriteCarDirectory(root_, "hand", files));
  }
  void SetFlags(const std::string& digits) {
    for (int flag = 0; flag < 4; ++flag) {
      scene_->doorOpen[flag] = digits[flag] == '1' ? 1 : 0;
    }
  }
  cv::Mat Load(int width = kWidth, int height = kHeight) {
    EXPECT_EQ(load_texture_top(texture_.name()), texture_.name());
    return ReadTextureImage(texture_.name(), width, height);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  TestTexture texture_;
};

const std::vector<std::string> kShipped = {"0000", "1000", "0100", "0010", "0001", "1111"};

TEST_F(TopViewSprites, EveryDoorCombinationTakesEachHalfFromTheMatchingFile) {
  WriteTops(kShipped);
  struct Case {
    const char* flags;
    const char* left;
    const char* right;
  };
  const Case cases[] = {
      {"0000", "0000", "0000"}, {"1000", "1000", "1000"}, {"0100", "0100", "0100"},
      {"0010", "0010", "0010"}, {"0001", "0001", "0001"}, {"1111", "1111", "1111"},
      {"1100", "1000", "0100"}, {"1101", "1000", "1111"}, {"1110", "1111", "0100"},
      {"1010", "1111", "0000"}, {"1011", "1111", "0001"}, {"1001", "1000", "0001"},
      {"0101", "0000", "1111"}, {"0110", "0010", "0100"}, {"0111", "0010", "1111"},
      {"0011", "0010", "0001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    SetFlags(c.flags);
    LogCapture log;
    const cv::Mat image = Load();
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(log.Count("KESTRA", "load_texture_top\n"), 1);
    for (int row = 0; row < kHeight; ++row) {
      for (int col = 0; col < kWidth; ++col) {
        const bool leftHalf = col < kWidth / 2;
        const cv::Scalar want = leftHalf ? HalfColour(c.left, 1) : HalfColour(c.right, 2);
        ASSERT_TRUE(PixelIs(image, col, row, want)) << col << "," << row;
      }
    }
  }
}

TEST_F(TopViewSprites, MissingFilesAreReplacedByTopZero) {
  WriteTops({"0000", "0100", "0010", "0001", "1111"});  // no top1000
  SetFlags("1100");
  cv::Mat image = Load();
  // Only door 1 shows open: the left half is top0000's.
  EXPECT_TRUE(PixelIs(image, 0, 0, HalfColour("0000", 1)));
  EXPECT_TRUE(PixelIs(image, kWidth - 1, 0, HalfColour("0100", 2)));
  SetFlags("1000");
  image = Load();
  EXPECT_TRUE(PixelIs(image, 0, 0, HalfColour("0000", 1)));
  EXPECT_TRUE(PixelIs(image, kWidth - 1, 0, HalfColour("0000", 2)));
  // A damaged right image is replaced as well.
  ASSERT_TRUE(WriteFile(root_ + ".tmp/hand/color/top/top0100.kes", "not a picture"));
  SetFlags("0110");
  image = Load();
  EXPECT_TRUE(PixelIs(image, 0, 0, HalfColour("0010", 1)));
  EXPECT_TRUE(PixelIs(image, kWidth - 1, 0, HalfColour("0000", 2)));
}

TEST_F(TopViewSprites, WithoutTopZeroAMissingImageGivesAnEmptyTexture) {
  WriteTops({"1000"});
  SetFlags("1000");
  EXPECT_FALSE(Load().empty());
  SetFlags("0100");
  Load();
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
  // The right image (top0100) and its stand-in are both missing: the
  // result is the empty right image even though top1000 is there.
  SetFlags("1100");
  Load();
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
}

TEST_F(TopViewSprites, OddWidthTakesTheLowerHalfFromTheLeftImage) {
  CarFiles files;
  files.files.emplace_back("color/top/top1000.kes", EncodePng(TopImage("1000", 801, 2)));
  files.files.emplace_back("color/top/top0100.kes", EncodePng(TopImage("0100", 801, 2)));
  ASSERT_TRUE(WriteCarDirectory(root_, "hand", files));
  SetFlags("1100");
  const cv::Mat image = Load(801, 2);
  ASSERT_FALSE(image.empty());
  // Columns 0..399 from top1000, 400..800 from top0100: one column more
  // either way shows as the other file's colour.
  EXPECT_TRUE(PixelIs(image, 0, 1, HalfColour("1000", 1)));
  EXPECT_TRUE(PixelIs(image, 399, 1, HalfColour("1000", 1)));
  EXPECT_TRUE(PixelIs(image, 400, 1, HalfColour("0100", 2)));
  EXPECT_TRUE(PixelIs(image, 800, 1, HalfColour("0100", 2)));
}

TEST_F(TopViewSprites, NumberedLayoutPathAndFiles) {
  scene_->numberedCarLayout = 1;
  scene_->carNumber = 2;
  scene_->colorNumber = 5;
  char path[256];
  EXPECT_EQ(get_top_name(path, "top0100.kes"), 1);
  EXPECT_EQ(std::string(path), root_ + ".tmp///car2//color5//top//top0100.kes");
  CarFiles files;
  files.files.emplace_back("color5/top/top0100.kes", EncodePng(TopImage("0100")));
  ASSERT_TRUE(WriteCarDirectory(root_, "car2", files));
  WriteTops(kShipped);  // the named car must not be read
  SetFlags("0100");
  EXPECT_TRUE(PixelIs(Load(), 0, 0, HalfColour("0100", 1)));

  scene_->numberedCarLayout = 0;
  EXPECT_EQ(get_top_name(path, "top0100.kes"), 1);
  EXPECT_EQ(std::string(path), root_ + ".tmp///hand//color//top//top0100.kes");
}

TEST_F(TopViewSprites, PathThatDoesNotFitReadsAsMissing) {
  WriteTops(kShipped);
  std::string longName(250 - root_.size(), 'n');
  std::strcpy(scene_->carName, longName.c_str());
  char path[256];
  LogCapture log;
  get_top_name(path, "top0000.kes");
  EXPECT_STREQ(path, "");
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------path too long"), 1);
  SetFlags("0000");
  Load();
  EXPECT_FALSE(TextureHasImage(static_cast<uint32_t>(texture_.name())));
}

TEST_F(TopViewSprites, SmallerRightImageIsJoinedWithinItsBounds) {
  // Left image 20 x 10 (half 10 columns), right image 14 x 4: columns 0..9
  // of rows 0..3 come from the left, the rest stays the right's; the left
  // rows below 4 go nowhere.
  CarFiles files;
  files.files.emplace_back("color/top/top1000.kes", EncodePng(TopImage("1000", 20, 10)));
  files.files.emplace_back("color/top/top0100.kes", EncodePng(TopImage("0100", 14, 4)));
  ASSERT_TRUE(WriteCarDirectory(root_, "hand", files));
  SetFlags("1100");
  cv::Mat image = Load(14, 4);
  ASSERT_FALSE(image.empty());
  for (int row = 0; row < 4; ++row) {
    EXPECT_TRUE(PixelIs(image, 9, row, HalfColour("1000", 1))) << row;
    EXPECT_TRUE(PixelIs(image, 10, row, HalfColour("0100", 2))) << row;
  }
  // Narrower than the left half: the right image is covered entirely.
  files.files.clear();
  files.files.emplace_back("color/top/top0100.kes", EncodePng(TopImage("0100", 6, 3)));
  ASSERT_TRUE(WriteCarDirectory(root_, "hand", files));
  image = Load(6, 3);
  ASSERT_FALSE(image.empty());
  for (int col = 0; col < 6; ++col) {
    EXPECT_TRUE(PixelIs(image, col, 2, HalfColour("1000", 1))) << col;
  }
  // A left image larger than the right one in both directions is fine too,
  // and a right image larger than the left copies only the left's half.
  files.files.clear();
  files.files.emplace_back("color/top/top1000.kes", EncodePng(TopImage("1000", 4, 2)));
  files.files.emplace_back("color/top/top0100.kes", EncodePng(TopImage("0100", 12, 5)));
  ASSERT_TRUE(WriteCarDirectory(root_, "hand", files));
  image = Load(12, 5);
  ASSERT_FALSE(image.empty());
  EXPECT_TRUE(PixelIs(image, 1, 1, HalfColour("1000", 1)));
  EXPECT_TRUE(PixelIs(image, 2, 1, HalfColour("0100", 1)));
  EXPECT_TRUE(PixelIs(image, 1, 2, HalfColour("0100", 1)));
}

TEST_F(TopViewSprites, FlagsOtherThanOneCountAsShut) {
  WriteTops(kShipped);
  scene_->doorOpen[0] = 2;
  scene_->doorOpen[1] = -1;
  scene_->doorOpen[2] = 0;
  scene_->doorOpen[3] = 1;
  const cv::Mat image = Load();
  EXPECT_TRUE(PixelIs(image, 0, 0, HalfColour("0001", 1)));
  EXPECT_TRUE(PixelIs(image, kWidth - 1, 0, HalfColour("0001", 2)));
}

}  // namespace
