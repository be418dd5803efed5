// The composition (frame_composition.cpp) without threads: the quadrant
// copies for every plane layout, the refusals, and the hand-off flags.
// Runs under the address and undefined-behaviour sanitizers.
#include <gtest/gtest.h>
#include <media/NdkImage.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "quadcam/frame_composition.h"
#include "quadcam/qcam_state.h"
#include "tests/quadcam/quadcam_test_support.h"
#include "tests/support/log_capture.h"

namespace {

// A camera image over an NV21 frame stored with the given row padding and a
// gap between luma and chroma, the way a camera buffer may lay it out.
struct PaddedImage {
  std::vector<uint8_t> storage;
  CameraImage image;
};

PaddedImage AsImage(const Nv21Frame& f, int32_t rowPadding = 0, int32_t chromaGap = 0) {
  PaddedImage out;
  const size_t w = static_cast<size_t>(f.width);
  const size_t h = static_cast<size_t>(f.height);
  const size_t stride = f.vuRowBytes() + static_cast<size_t>(rowPadding);
  const size_t chromaRows = (h + 1) / 2;
  const size_t chromaStart = stride * h + static_cast<size_t>(chromaGap);
  out.storage.assign(chromaStart + stride * chromaRows, 0xEE);
  for (size_t y = 0; y < h; ++y) {
    std::memcpy(out.storage.data() + y * stride, f.y() + y * w, w);
  }
  for (size_t y = 0; y < chromaRows; ++y) {
    std::memcpy(out.storage.data() + chromaStart + y * stride, f.vu() + y * f.vuRowBytes(),
                f.vuRowBytes());
  }
  CameraImage& im = out.image;
  im.width = f.width;
  im.height = f.height;
  im.format = AIMAGE_FORMAT_YUV_420_888;
  im.planeCount = 3;
  im.planes[0] = {out.storage.data(), static_cast<int32_t>(stride * (h - 1) + w),
                  static_cast<int32_t>(stride), 1};
  const int32_t chromaLength = static_cast<int32_t>(stride * (chromaRows - 1) + f.vuRowBytes() - 1);
  im.planes[2] = {out.storage.data() + chromaStart, chromaLength, static_cast<int32_t>(stride), 2};
  im.planes[1] = {out.storage.data() + chromaStart + 1, chromaLength, static_cast<int32_t>(stride), 2};
  return out;
}

std::vector<uint8_t> ComposedBytes() {
  std::vector<uint8_t> bytes;
  for (int r = 0; r < dstComb.rows; ++r) {
    bytes.insert(bytes.end(), dstComb.ptr(r), dstComb.ptr(r) + dstComb.cols * dstComb.elemSize());
  }
  return bytes;
}

bool Pending() {
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  return framesPending;
}

class Composition : public ::testing::Test {
 protected:
  void TearDown() override {
    ResetComposition(1, 1, AIMAGE_FORMAT_YUV_420_888);
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    framesPending = false;
  }
};

void ExpectNv21MosaicFor(int32_t w, int32_t h, int32_t rowPadding, int32_t chromaGap) {
  ASSERT_TRUE(ResetComposition(w, h, AIMAGE_FORMAT_YUV_420_888));
  ASSERT_EQ(dstComb.rows, 3 * h);
  ASSERT_EQ(dstComb.cols, 2 * w);
  Nv21Frame frames[4];
  const Nv21Frame* order[4];
  for (int k = 0; k < 4; ++k) {
    frames[k] = RandomNv21(w, h, 100u + static_cast<uint32_t>(k) + static_cast<uint32_t>(w));
    order[k] = &frames[k];
    PaddedImage image = AsImage(frames[k], rowPadding, chromaGap);
    ComposeCameraImage(w, h, k, image.image);
  }
  EXPECT_TRUE(ComposedBytes() == ExpectedNv21Mosaic(order, w, h))
      << w << "x" << h << " padding " << rowPadding << " gap " << chromaGap;
}

TEST_F(Composition, Nv21MosaicIsByteExactForCommonAndOddSizes) {
  ExpectNv21MosaicFor(1280, 720, 0, 0);
  ExpectNv21MosaicFor(1920, 1080, 0, 0);
  ExpectNv21MosaicFor(321, 241, 0, 0);
  ExpectNv21MosaicFor(7, 5, 0, 0);
}

TEST_F(Composition, Nv21MosaicUsesThePlanesOwnStridesAndPointers) {
  // Padded rows and chroma that does not follow the luma directly: a copy
  // that assumed packed rows would pull the 0xEE padding into the picture.
  ExpectNv21MosaicFor(1280, 720, 64, 0);
  ExpectNv21MosaicFor(321, 241, 3, 4096);
}

// The design's entry: only the first byte of a packed frame, in the open
// set's format. Odd sizes take the raw file's rounded-up chroma rows.
TEST_F(Composition, PackedFramesGivenByTheirFirstByteComposeTheSameMosaic) {
  for (const auto& size : {std::pair<int, int>{64, 48}, {321, 241}}) {
    const int w = size.first;
    const int h = size.second;
    ASSERT_TRUE(ResetComposition(w, h, AIMAGE_FORMAT_YUV_420_888));
    Nv21Frame frames[4];
    const Nv21Frame* order[4];
    for (int k = 0; k < 4; ++k) {
      frames[k] = RandomNv21(w, h, 900u + static_cast<uint32_t>(k));
      order[k] = &frames[k];
      OnComb(w, h, k, frames[k].bytes.data());
    }
    EXPECT_TRUE(ComposedBytes() == ExpectedNv21Mosaic(order, w, h)) << w << "x" << h;
    EXPECT_TRUE(Pending());
  }
  ASSERT_TRUE(ResetComposition(10, 6, AIMAGE_FORMAT_RGBA_8888));
  std::vector<uint8_t> rgba[4];
  const std::vector<uint8_t>* order[4];
  for (int k = 0; k < 4; ++k) {
    rgba[k] = RandomBytes(10 * 6 * 4, 40u + static_cast<uint32_t>(k));
    order[k] = &rgba[k];
    OnComb(10, 6, k, rgba[k].data());
  }
  EXPECT_TRUE(ComposedBytes() == ExpectedRgbaMosaic(order, 10, 6));
  // Another size than the open one, or no data: refused, nothing arrives.
  ASSERT_TRUE(ResetComposition(10, 6, AIMAGE_FORMAT_RGBA_8888));
  OnComb(10, 7, 0, rgba[0].data());
  OnComb(1 << 30, 1 << 30, 1, rgba[0].data());
  OnComb(10, 6, 2, nullptr);
  EXPECT_EQ(RejectedFrames(0) + RejectedFrames(1) + RejectedFrames(2), 3u);
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  EXPECT_EQ(mChEnable[0] + mChEnable[1] + mChEnable[2], 0);
}

TEST_F(Composition, SlotThreeChromaStartsAtRow1800Column1280For720p) {
  ASSERT_TRUE(ResetComposition(1280, 720, AIMAGE_FORMAT_YUV_420_888));
  EXPECT_EQ(dstComb.total() * dstComb.elemSize(), 5529600u);
  for (int k = 0; k < 4; ++k) {
    const uint8_t v = static_cast<uint8_t>(10 + k * 2);
    PaddedImage image = AsImage(ConstantNv21(1280, 720, 200, v, static_cast<uint8_t>(v + 1)));
    ComposeCameraImage(1280, 720, k, image.image);
  }
  EXPECT_EQ(dstComb.at<uint8_t>(1800, 1280), 16);  // slot 3's first V
  EXPECT_EQ(dstComb.at<uint8_t>(1800, 1281), 17);  // and its U
  EXPECT_EQ(dstComb.at<uint8_t>(1799, 1280), 12);  // slot 1's last chroma row above it
  EXPECT_EQ(dstComb.at<uint8_t>(1800, 1279), 15);  // slot 2's U to its left
  EXPECT_EQ(dstComb.at<uint8_t>(1439, 2559), 200);  // last luma byte
}

TEST_F(Composition, RgbaMosaicIsByteExact) {
  for (const auto& size : {std::pair<int, int>{1280, 720}, {1920, 1080}, {321, 241}}) {
    const int w = size.first;
    const int h = size.second;
    ASSERT_TRUE(ResetComposition(w, h, AIMAGE_FORMAT_RGBA_8888));
    EXPECT_EQ(dstComb.total() * dstComb.elemSize(), 16u * static_cast<size_t>(w) * h);
    std::vector<uint8_t> frames[4];
    const std::vector<uint8_t>* order[4];
    for (int k = 0; k < 4; ++k) {
      // Rows padded by 12 bytes in the camera buffer.
      const size_t stride = static_cast<size_t>(w) * 4 + 12;
      frames[k] = RandomBytes(static_cast<size_t>(w) * h * 4, 7u + static_cast<uint32_t>(k));
      order[k] = &frames[k];
      std::vector<uint8_t> padded(stride * static_cast<size_t>(h), 0xEE);
      for (int y = 0; y < h; ++y) {
        std::memcpy(padded.data() + static_cast<size_t>(y) * stride,
                    frames[k].data() + static_cast<size_t>(y) * w * 4, static_cast<size_t>(w) * 4);
      }
      CameraImage image;
      image.width = w;
      image.height = h;
      image.format = AIMAGE_FORMAT_RGBA_8888;
      image.planeCount = 1;
      image.planes[0] = {padded.data(), static_cast<int32_t>(stride * (h - 1) + w * 4),
                         static_cast<int32_t>(stride), 4};
      ComposeCameraImage(w, h, k, image);
    }
    EXPECT_TRUE(ComposedBytes() == ExpectedRgbaMosaic(order, w, h)) << w << "x" << h;
  }
}

TEST_F(Composition, OtherChromaLayoutsArriveAsVuPairs) {
  // Planar chroma (pixel stride 1) and U-before-V interleaving: the pairs in
  // the mosaic are still V then U.
  const int w = 16;
  const int h = 8;
  ASSERT_TRUE(ResetComposition(w, h, AIMAGE_FORMAT_YUV_420_888));
  std::vector<uint8_t> luma(w * h, 50);
  std::vector<uint8_t> vPlane(w / 2 * h / 2, 220);
  std::vector<uint8_t> uPlane(w / 2 * h / 2, 30);
  std::vector<uint8_t> uvPairs(w * h / 2);
  for (size_t i = 0; i < uvPairs.size(); ++i) {
    uvPairs[i] = (i & 1) == 0 ? 31 : 221;  // U first
  }
  CameraImage planar;
  planar.width = w;
  planar.height = h;
  planar.format = AIMAGE_FORMAT_YUV_420_888;
  planar.planeCount = 3;
  planar.planes[0] = {luma.data(), w * h, w, 1};
  planar.planes[1] = {uPlane.data(), static_cast<int32_t>(uPlane.size()), w / 2, 1};
  planar.planes[2] = {vPlane.data(), static_cast<int32_t>(vPlane.size()), w / 2, 1};
  ComposeCameraImage(w, h, 0, planar);
  CameraImage nv12 = planar;
  nv12.planes[1] = {uvPairs.data(), static_cast<int32_t>(uvPairs.size() - 1), w, 2};
  nv12.planes[2] = {uvPairs.data() + 1, static_cast<int32_t>(uvPairs.size() - 1), w, 2};
  ComposeCameraImage(w, h, 1, nv12);
  for (int y = 0; y < h / 2; ++y) {
    for (int x = 0; x < w; x += 2) {
      EXPECT_EQ(dstComb.at<uint8_t>(2 * h + y, x), 220);
      EXPECT_EQ(dstComb.at<uint8_t>(2 * h + y, x + 1), 30);
      EXPECT_EQ(dstComb.at<uint8_t>(2 * h + y, w + x), 221);
      EXPECT_EQ(dstComb.at<uint8_t>(2 * h + y, w + x + 1), 31);
    }
  }
}

TEST_F(Composition, FramesOfTheWrongSizeOrWithShortPlanesAreRefused) {
  LogCapture log;
  ASSERT_TRUE(ResetComposition(64, 48, AIMAGE_FORMAT_YUV_420_888));
  const Nv21Frame big = RandomNv21(128, 96, 3);
  PaddedImage wrongSize = AsImage(big);
  ComposeCameraImage(128, 96, 0, wrongSize.image);  // reports its own size
  ComposeCameraImage(128, 96, 0, wrongSize.image);  // logged once per slot, not per frame

  const Nv21Frame right = RandomNv21(64, 48, 4);
  PaddedImage shortLuma = AsImage(right);
  shortLuma.image.planes[0].length -= 1;
  ComposeCameraImage(64, 48, 1, shortLuma.image);

  PaddedImage shortChroma = AsImage(right);
  shortChroma.image.planes[1].length -= 1;
  shortChroma.image.planes[2].length -= 1;
  ComposeCameraImage(64, 48, 2, shortChroma.image);

  PaddedImage narrowStride = AsImage(right);
  narrowStride.image.planes[0].rowStride = 32;  // rows would overlap
  ComposeCameraImage(64, 48, 3, narrowStride.image);

  PaddedImage twoPlanes = AsImage(right);
  twoPlanes.image.planeCount = 2;
  ComposeCameraImage(64, 48, 3, twoPlanes.image);

  EXPECT_EQ(cv::countNonZero(dstComb), 0) << "a refused frame was written";
  EXPECT_EQ(RejectedFrames(0), 2u);
  EXPECT_EQ(RejectedFrames(1), 1u);
  EXPECT_EQ(RejectedFrames(2), 1u);
  EXPECT_EQ(RejectedFrames(3), 2u);
  EXPECT_EQ(log.CountPrefix("qcam", "camera 0: frame 128x96 format 35 not composed"), 1);
  EXPECT_EQ(log.CountPrefix("qcam", "camera 3: "), 1);
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  EXPECT_EQ(mChEnable[0] + mChEnable[1] + mChEnable[2] + mChEnable[3], 0)
      << "a refused frame counted as arrived";
}

// An RGBA pixel is four bytes: a plane that ends inside the last pixel of
// its last row, or rows that overlap by part of a pixel, are refused; the
// buffers are exactly as long as described, so a copy past them is an
// overrun the address sanitizer reports.
TEST_F(Composition, RgbaPlanesShortOfTheirLastPixelAreRefused) {
  constexpr int32_t w = 16;
  constexpr int32_t h = 8;
  constexpr size_t packed = static_cast<size_t>(w) * h * 4;
  ASSERT_TRUE(ResetComposition(w, h, AIMAGE_FORMAT_RGBA_8888));
  auto imageOver = [](std::vector<uint8_t>& bytes, int32_t rowStride) {
    CameraImage image;
    image.width = w;
    image.height = h;
    image.format = AIMAGE_FORMAT_RGBA_8888;
    image.planeCount = 1;
    image.planes[0] = {bytes.data(), static_cast<int32_t>(bytes.size()), rowStride, 4};
    return image;
  };
  for (size_t missing : {1u, 3u}) {
    std::vector<uint8_t> shortPlane = RandomBytes(packed - missing, 21u);
    ComposeCameraImage(w, h, 0, imageOver(shortPlane, w * 4));
  }
  std::vector<uint8_t> ample = RandomBytes(packed * 2, 22u);
  ComposeCameraImage(w, h, 1, imageOver(ample, w * 4 - 3));  // each row would end inside the next
  EXPECT_EQ(cv::countNonZero(dstComb.reshape(1)), 0) << "a refused frame was written";
  EXPECT_EQ(RejectedFrames(0), 2u);
  EXPECT_EQ(RejectedFrames(1), 1u);

  // The exact length is enough.
  std::vector<uint8_t> exact = RandomBytes(packed, 23u);
  ComposeCameraImage(w, h, 2, imageOver(exact, w * 4));
  EXPECT_EQ(RejectedFrames(2), 0u);
  EXPECT_EQ(std::memcmp(dstComb.ptr(h), exact.data(), static_cast<size_t>(w) * 4), 0);
}

TEST_F(Composition, OneWakePerCompleteSetAndRepeatsOnlyOverwriteTheirQuadrant) {
  ASSERT_TRUE(ResetComposition(8, 4, AIMAGE_FORMAT_YUV_420_888));
  const Nv21Frame first = ConstantNv21(8, 4, 1, 2, 3);
  const Nv21Frame second = ConstantNv21(8, 4, 9, 8, 7);
  PaddedImage a = AsImage(first);
  PaddedImage b = AsImage(second);
  ComposeCameraImage(8, 4, 0, a.image);
  ComposeCameraImage(8, 4, 1, a.image);
  ComposeCameraImage(8, 4, 2, a.image);
  EXPECT_FALSE(Pending()) << "three cameras must not wake the worker";
  ComposeCameraImage(8, 4, 0, b.image);  // slot 0 again within the same set
  EXPECT_FALSE(Pending());
  EXPECT_EQ(dstComb.at<uint8_t>(0, 0), 9);  // its quadrant took the newer frame
  EXPECT_EQ(dstComb.at<uint8_t>(0, 8), 1);  // slot 1's quadrant did not move
  {
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    EXPECT_EQ(mChEnable[0] + mChEnable[1] + mChEnable[2] + mChEnable[3], 3);
  }
  ComposeCameraImage(8, 4, 3, a.image);
  EXPECT_TRUE(Pending());
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  EXPECT_EQ(mChEnable[0] + mChEnable[1] + mChEnable[2] + mChEnable[3], 0) << "flags not cleared";
}

TEST_F(Composition, UnknownFormatLogsEveryFrameWritesNothingAndStillCycles) {
  LogCapture log;
  ResetComposition(8, 4, 42);
  EXPECT_TRUE(dstComb.empty());
  PaddedImage a = AsImage(ConstantNv21(8, 4, 1, 2, 3));
  for (int k = 0; k < 4; ++k) {
    ComposeCameraImage(8, 4, k, a.image);
  }
  EXPECT_EQ(log.Count("qcam", "Error previewformat 42"), 4);
  EXPECT_TRUE(Pending());
}

TEST_F(Composition, TheComposedFrameStartsAllZero) {
  ASSERT_TRUE(ResetComposition(1920, 1080, AIMAGE_FORMAT_YUV_420_888));
  EXPECT_EQ(dstComb.total(), 12441600u);
  EXPECT_EQ(cv::countNonZero(dstComb), 0);
}

}  // namespace
