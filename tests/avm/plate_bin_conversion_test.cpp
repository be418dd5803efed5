// The converted image files, byte by byte: what pngToBin writes, when it
// refuses, and what it does to the two files' times.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "avm/include/avm_image_tools.h"
#include "tests/avm/plate_tyre_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

const std::string kMagic("kes \x30\x0b\x09\x0c", 8);
constexpr int64_t kLongAgo = 1000000000;  // 2001, far from "now"

class PngToBin : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string png_ = dir_ / "source.png";
  std::string bin_ = dir_ / "source.bin";
};

TEST_F(PngToBin, CopyDiffersFromItsSourceOnlyInTheMagic) {
  const std::string source =
      ReadFile(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/pressure/number0.png");
  ASSERT_GT(source.size(), 1000u);
  ASSERT_TRUE(WriteFile(png_, source));
  EXPECT_EQ(pngToBin(png_.c_str(), bin_.c_str()), 1);
  const std::string copy = ReadFile(bin_);
  ASSERT_EQ(copy.size(), source.size());
  EXPECT_EQ(copy.substr(0, 8), kMagic);
  EXPECT_EQ(copy.substr(8), source.substr(8));
  // And the renderer's decoder takes it as the PNG it came from.
  EXPECT_TRUE(SamePicture(DecodeForTest(bin_), DecodeForTest(png_)));
}

TEST_F(PngToBin, SourceShorterThanTheMagicGivesTheMagicsFirstBytes) {
  ASSERT_TRUE(WriteFile(png_, "abc"));
  pngToBin(png_.c_str(), bin_.c_str());
  EXPECT_EQ(ReadFile(bin_), kMagic.substr(0, 3));
  ASSERT_TRUE(WriteFile(png_, ""));
  pngToBin(png_.c_str(), bin_.c_str());
  EXPECT_TRUE(FileExists(bin_));
  EXPECT_EQ(ReadFile(bin_), "");
}

TEST_F(PngToBin, TwiceInARowGivesTheSameFileAndEqualTimes) {
  ASSERT_TRUE(WriteFile(png_, "\x89PNG\r\n\x1a\n0123456789abcdef"));
  SetModifiedTime(png_, kLongAgo);
  pngToBin(png_.c_str(), bin_.c_str());
  const std::string first = ReadFile(bin_);
  EXPECT_EQ(ModifiedTime(png_), ModifiedTime(bin_));
  EXPECT_GT(ModifiedTime(png_), kLongAgo) << "the source's time is set to now as well";
  pngToBin(png_.c_str(), bin_.c_str());
  EXPECT_EQ(ReadFile(bin_), first);
  EXPECT_EQ(ModifiedTime(png_), ModifiedTime(bin_));
  EXPECT_EQ(first, kMagic + "0123456789abcdef");
  EXPECT_FALSE(FileExists(bin_ + ".part"));
}

TEST_F(PngToBin, MissingSourceChangesNothingAndSaysNothing) {
  ASSERT_TRUE(WriteFile(bin_, "old copy"));
  SetModifiedTime(bin_, kLongAgo);
  LogCapture log;
  EXPECT_EQ(pngToBin(png_.c_str(), bin_.c_str()), 1);
  EXPECT_EQ(ReadFile(bin_), "old copy");
  EXPECT_EQ(ModifiedTime(bin_), kLongAgo);
  EXPECT_TRUE(log.Messages("KESTRA").empty());
}

TEST_F(PngToBin, SourcesUpToTheWorkingLimitOnly) {
  // Exactly the limit converts.
  ASSERT_TRUE(WriteFile(png_, std::string(512000, 'x')));
  pngToBin(png_.c_str(), bin_.c_str());
  EXPECT_EQ(ReadFile(bin_).size(), 512000u);

  // One byte more is refused: the old copy and both times stay.
  ASSERT_TRUE(WriteFile(bin_, "old copy"));
  ASSERT_TRUE(WriteFile(png_, std::string(512001, 'y')));
  SetModifiedTime(png_, kLongAgo);
  SetModifiedTime(bin_, kLongAgo + 100);
  LogCapture log;
  EXPECT_EQ(pngToBin(png_.c_str(), bin_.c_str()), 1);
  EXPECT_EQ(log.Count("KESTRA", png_ + " pngToBin fail!"), 1);
  EXPECT_EQ(ReadFile(bin_), "old copy");
  EXPECT_EQ(ModifiedTime(png_), kLongAgo);
  EXPECT_EQ(ModifiedTime(bin_), kLongAgo + 100);
}

TEST_F(PngToBin, FailedReadLeavesTheTimesAlone) {
  // A directory opens but cannot be read as a file.
  ASSERT_EQ(mkdir(png_.c_str(), 0755), 0);
  ASSERT_TRUE(WriteFile(bin_, "stale copy"));
  SetModifiedTime(png_, kLongAgo);
  SetModifiedTime(bin_, kLongAgo + 100);
  LogCapture log;
  pngToBin(png_.c_str(), bin_.c_str());
  EXPECT_EQ(log.Count("KESTRA", png_ + " pngToBin fail!"), 1);
  EXPECT_EQ(ReadFile(bin_), "stale copy");
  // Dating the stale copy to now would make it look up to date.
  EXPECT_EQ(ModifiedTime(png_), kLongAgo);
  EXPECT_EQ(ModifiedTime(bin_), kLongAgo + 100);
}

TEST_F(PngToBin, FailedWriteKeepsTheOldCopyWhole) {
  ASSERT_TRUE(WriteFile(png_, "\x89PNG\r\n\x1a\nnew content"));
  ASSERT_TRUE(WriteFile(bin_, "old copy"));
  SetModifiedTime(bin_, kLongAgo);
  // The temporary file beside the copy cannot be created.
  ASSERT_EQ(mkdir((bin_ + ".part").c_str(), 0755), 0);
  LogCapture log;
  pngToBin(png_.c_str(), bin_.c_str());
  EXPECT_EQ(log.Count("KESTRA", bin_ + " pngToBin write fail!"), 1);
  EXPECT_EQ(ReadFile(bin_), "old copy");
  EXPECT_EQ(ModifiedTime(bin_), kLongAgo) << "so that the next call converts again";
}

}  // namespace
