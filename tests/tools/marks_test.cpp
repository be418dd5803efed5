// The identity marks: what the generator writes must read back exactly, and
// a damaged or missing mark must never read as a valid one.
#include <cstdint>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "tools/lib/sample_marks.h"

namespace sm = sample_marks;

namespace {

std::vector<std::uint8_t> Picture(int width, int height, int channels, std::uint8_t fill) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * channels), fill);
}

sm::Mark SomeMark() {
  sm::Mark mark;
  mark.kind = sm::kKindWheel;
  mark.angle = 158;
  mark.group = sm::kWheelRight;
  mark.number = 0;
  mark.frame = 5;
  mark.steer = 30;
  return mark;
}

}  // namespace

TEST(Marks, ReadBackWhatWasWrittenAndTouchOnlyTheLowBits) {
  const sm::Mark marks[] = {SomeMark(), sm::Mark{sm::kKindWholeCar, 0, sm::kNone, sm::kNone, sm::kNone, sm::kNone},
                            sm::Mark{63, 4094, 4094, 4094, 4094, 4094}, sm::Mark{0, 0, 0, 0, 0, 0}};
  for (int channels : {3, 4}) {
    for (const sm::Mark& mark : marks) {
      std::vector<std::uint8_t> pixels = Picture(20, 3, channels, 0xA7);
      ASSERT_TRUE(sm::WriteMark(pixels.data(), 20, 3, channels, mark));
      sm::Mark read;
      ASSERT_TRUE(sm::ReadMark(pixels.data(), 20, 3, channels, &read));
      EXPECT_EQ(read, mark);
      for (std::size_t i = 0; i < pixels.size(); ++i) {
        const int pixel = static_cast<int>(i) / channels;
        const int byte = static_cast<int>(i) % channels;
        if (pixel < sm::kHeaderPixels && byte < 3) {
          EXPECT_EQ(pixels[i] & 0xFC, 0xA7 & 0xFC) << "byte " << i;
        } else {
          EXPECT_EQ(pixels[i], 0xA7) << "byte " << i << " lies outside the mark";
        }
      }
    }
  }
}

TEST(Marks, EveryDamagedSextetIsRejected) {
  std::vector<std::uint8_t> marked = Picture(16, 1, 4, 0);
  ASSERT_TRUE(sm::WriteMark(marked.data(), 16, 1, 4, SomeMark()));
  for (int pixel = 0; pixel < sm::kHeaderPixels; ++pixel) {
    for (int byte = 0; byte < 3; ++byte) {
      for (int bit = 0; bit < 2; ++bit) {
        std::vector<std::uint8_t> damaged = marked;
        damaged[static_cast<std::size_t>(pixel * 4 + byte)] ^= static_cast<std::uint8_t>(1 << bit);
        sm::Mark read;
        EXPECT_FALSE(sm::ReadMark(damaged.data(), 16, 1, 4, &read))
            << "pixel " << pixel << " byte " << byte << " bit " << bit;
      }
    }
  }
}

TEST(Marks, UnmarkedAndTooSmallPicturesCarryNoMark) {
  sm::Mark read;
  std::vector<std::uint8_t> blank = Picture(32, 2, 4, 0);
  EXPECT_FALSE(sm::ReadMark(blank.data(), 32, 2, 4, &read));
  std::vector<std::uint8_t> full = Picture(32, 2, 4, 0xFF);
  EXPECT_FALSE(sm::ReadMark(full.data(), 32, 2, 4, &read));

  std::vector<std::uint8_t> narrow = Picture(15, 4, 4, 0x40);
  const std::vector<std::uint8_t> before = narrow;
  EXPECT_FALSE(sm::WriteMark(narrow.data(), 15, 4, 4, SomeMark()));
  EXPECT_EQ(narrow, before) << "a refused mark must leave the picture alone";
  EXPECT_FALSE(sm::ReadMark(narrow.data(), 15, 4, 4, &read));

  std::vector<std::uint8_t> grey = Picture(16, 1, 1, 0x40);
  EXPECT_FALSE(sm::WriteMark(grey.data(), 16, 1, 1, SomeMark())) << "one channel has no room for the mark";
  EXPECT_FALSE(sm::WriteMark(nullptr, 16, 1, 4, SomeMark()));
}

TEST(Marks, FieldsOutsideTwelveBitsAreRefused) {
  std::vector<std::uint8_t> pixels = Picture(16, 1, 4, 0);
  sm::Mark mark = SomeMark();
  mark.angle = -2;
  EXPECT_FALSE(sm::WriteMark(pixels.data(), 16, 1, 4, mark));
  mark = SomeMark();
  mark.frame = 4096;
  EXPECT_FALSE(sm::WriteMark(pixels.data(), 16, 1, 4, mark));
  mark = SomeMark();
  mark.kind = 64;
  EXPECT_FALSE(sm::WriteMark(pixels.data(), 16, 1, 4, mark));
}

TEST(Marks, PixelLayersKeepTheUpperBitsAndDoNotCollide) {
  for (int code = 0; code < 64; ++code) {
    std::uint8_t pixel[4] = {0xFF, 0x80, 0x7C, 0x11};
    sm::SetPixelLayer(pixel, code);
    EXPECT_EQ(sm::PixelLayer(pixel), code);
    EXPECT_EQ(pixel[0] & 0xFC, 0xFC);
    EXPECT_EQ(pixel[1] & 0xFC, 0x80);
    EXPECT_EQ(pixel[2] & 0xFC, 0x7C);
    EXPECT_EQ(pixel[3], 0x11) << "alpha is never touched";
  }
  // Every wheel image, lamp and door of a car has a layer of its own.
  std::set<int> codes = {sm::kLayerWholeCar, sm::kLayerTopImage, sm::kLayerLight1, sm::kLayerLight2,
                         sm::kLayerWarning2};
  std::size_t expected = codes.size();
  for (int frame = 0; frame < 6; ++frame) {
    for (int steer : {0, 10, 20, 30}) {
      codes.insert(sm::WheelLayer(true, steer, frame));
    }
    codes.insert(sm::WheelLayer(false, 0, frame));
  }
  expected += 30;
  for (int lamp = 0; lamp < 10; ++lamp) {
    codes.insert(sm::kLayerLamp + lamp);
  }
  for (int k = 0; k < 6; ++k) {
    codes.insert(sm::kLayerDoor + k);
  }
  expected += 16;
  EXPECT_EQ(codes.size(), expected);
  EXPECT_EQ(codes.count(sm::kLayerNone), 0u);
  EXPECT_LT(*codes.rbegin(), 64);
}
