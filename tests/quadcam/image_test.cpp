// Picture code without threads: the quadrant copies of the composition, the
// hand-off flags, the copy into window buffers, the row copier and the NV21
// scaler. Runs under the address and undefined-behaviour sanitizers.
#include <gtest/gtest.h>
#include <media/NdkImage.h>

#include <cstring>
#include <string>

#include "quadcam/frame_composition.h"
#include "quadcam/nv21_buffer.h"
#include "quadcam/output_worker.h"
#include "quadcam/qcam_state.h"
#include "quadcam/row_copy.h"
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

// A destination of the row copier: `offset` bytes of 0x5A before the first
// row, rows `stride` apart, 16 more after the last.
struct RowDestination {
  std::vector<uint8_t> bytes;
  size_t offset;
  size_t stride;
  RowDestination(size_t stride_, size_t rows, size_t offset_)
      : bytes(stride_ * rows + offset_ + 16, 0x5A), offset(offset_), stride(stride_) {}
  uint8_t* Rows() { return bytes.data() + offset; }
  // Every row equals the source row and nothing else was written: not the
  // bytes before the first row, the padding after each row, or past the end.
  ::testing::AssertionResult Holds(const uint8_t* src, size_t srcStride, size_t rowBytes,
                                   size_t rows) const {
    std::vector<uint8_t> expected(bytes.size(), 0x5A);
    for (size_t r = 0; r < rows; ++r) {
      std::memcpy(expected.data() + offset + r * stride, src + r * srcStride, rowBytes);
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != expected[i]) {
        return ::testing::AssertionFailure()
               << "byte " << i << " is " << int{bytes[i]} << ", not " << int{expected[i]};
      }
    }
    return ::testing::AssertionSuccess();
  }
};

TEST(RowCopy, CopiesExactlyTheRowsOnBothPathsAtAnyAlignment) {
  for (size_t rowBytes : {size_t{1}, size_t{15}, size_t{64}, size_t{1921}}) {
    for (size_t rows : {size_t{1}, size_t{3}, size_t{300}}) {
      for (size_t offset : {size_t{0}, size_t{1}, size_t{7}}) {
        const size_t srcStride = rowBytes + 5;
        const std::vector<uint8_t> src = RandomBytes(srcStride * rows + offset, 11);
        RowDestination dst(rowBytes + 3, rows, offset);
        CopyRows(dst.Rows(), dst.stride, src.data() + offset, srcStride, rowBytes, rows);
        ASSERT_TRUE(dst.Holds(src.data() + offset, srcStride, rowBytes, rows))
            << rowBytes << "x" << rows << " +" << offset;
      }
    }
  }
}

// Both destinations get exactly the rows, on every path: small copies and
// streaming ones (from 256 KiB), rows longer than the copier's spans,
// destinations whose rows agree in alignment (one load feeds both) or do
// not, and rows without padding anywhere (copied as one block).
TEST(RowCopy, CopiesTheSameRowsIntoTwoDestinationsOnEveryPath) {
  struct Layout {
    size_t srcPadding, firstPadding, secondPadding, firstOffset, secondOffset;
  };
  const Layout layouts[] = {
      {5, 3, 19, 0, 0},  // rows of both agree modulo 16
      {5, 3, 19, 7, 7},  // agree, neither on a 16-byte boundary
      {5, 3, 8, 0, 7},   // disagree
      {0, 0, 64, 0, 0},  // only the second has row padding
      {0, 0, 0, 0, 0},   // no padding: one block
      {0, 0, 0, 1, 9},   // one block each, disagreeing
  };
  for (size_t rowBytes : {size_t{1}, size_t{15}, size_t{64}, size_t{1921}, size_t{5000}}) {
    for (size_t rows : {size_t{1}, size_t{3}, size_t{300}}) {
      for (const Layout& l : layouts) {
        const size_t srcStride = rowBytes + l.srcPadding;
        const std::vector<uint8_t> src = RandomBytes(srcStride * rows, 12);
        RowDestination first(rowBytes + l.firstPadding, rows, l.firstOffset);
        RowDestination second(rowBytes + l.secondPadding, rows, l.secondOffset);
        CopyRowsTwice(first.Rows(), first.stride, second.Rows(), second.stride, src.data(),
                      srcStride, rowBytes, rows);
        const std::string what = std::to_string(rowBytes) + "x" + std::to_string(rows) +
                                 " paddings " + std::to_string(l.firstPadding) + "/" +
                                 std::to_string(l.secondPadding) + " offsets " +
                                 std::to_string(l.firstOffset) + "/" +
                                 std::to_string(l.secondOffset);
        ASSERT_TRUE(first.Holds(src.data(), srcStride, rowBytes, rows)) << "first, " << what;
        ASSERT_TRUE(second.Holds(src.data(), srcStride, rowBytes, rows)) << "second, " << what;
      }
    }
  }
}

// A locked window buffer with guard bytes after it.
struct WindowBuffer {
  std::vector<uint8_t> bytes;
  ANativeWindow_Buffer buffer{};
  size_t size = 0;
  WindowBuffer(int32_t w, int32_t h, int32_t stride, int32_t format) {
    size = HostWindow_bufferBytes(format, stride, h);
    bytes.assign(size + 64, HOST_WINDOW_FILL_BYTE);
    buffer.width = w;
    buffer.height = h;
    buffer.stride = stride;
    buffer.format = format;
    buffer.bits = bytes.data();
  }
  bool GuardIntact() const {
    for (size_t i = size; i < bytes.size(); ++i) {
      if (bytes[i] != HOST_WINDOW_FILL_BYTE) {
        return false;
      }
    }
    return true;
  }
};

TEST(WindowCopy, CopiesExactlyThePictureForEverySizeAndStride) {
  struct Case {
    int camW, camH, stridePadding;
    int64_t expected;
  };
  // The copy length follows the picture: 12,441,600 for 1080p cameras,
  // 5,529,600 for 720p, 6*W*H for any other size; never a fixed length.
  for (const Case& c : {Case{1920, 1080, 0, 12441600}, Case{1280, 720, 0, 5529600},
                        Case{1280, 720, 32, 5529600}, Case{321, 241, 7, 6 * 321 * 241},
                        Case{1921, 1080, 0, 6 * 1921 * 1080}}) {
    cv::Mat picture(3 * c.camH, 2 * c.camW, CV_8UC1);
    cv::randu(picture, 0, 256);
    const int winW = 2 * c.camW;
    const int winH = 2 * c.camH;
    WindowBuffer window(winW, winH, winW + c.stridePadding, 17);
    EXPECT_EQ(CopyPictureToWindow(picture, 35, c.camW, c.camH, window.buffer), c.expected);
    ASSERT_TRUE(window.GuardIntact()) << "copied past the window buffer";
    const size_t stride = static_cast<size_t>(window.buffer.stride);
    for (int r = 0; r < 3 * c.camH; ++r) {
      ASSERT_EQ(0, std::memcmp(window.bytes.data() + static_cast<size_t>(r) * stride, picture.ptr(r),
                               static_cast<size_t>(winW)))
          << "row " << r << " of " << c.camW << "x" << c.camH;
      for (size_t pad = static_cast<size_t>(winW); pad < stride; ++pad) {
        ASSERT_EQ(window.bytes[static_cast<size_t>(r) * stride + pad], HOST_WINDOW_FILL_BYTE);
      }
    }
  }
}

TEST(WindowCopy, AWindowSmallerThanThePictureGetsTheOverlapOnly) {
  cv::Mat picture(3 * 48, 2 * 64, CV_8UC1);
  cv::randu(picture, 0, 256);
  WindowBuffer window(100, 60, 100, 17);
  EXPECT_EQ(CopyPictureToWindow(picture, 35, 64, 48, window.buffer), 100 * (60 + 30));
  EXPECT_TRUE(window.GuardIntact());
  EXPECT_EQ(0, std::memcmp(window.bytes.data() + 59 * 100, picture.ptr(59), 100));
  // Chroma lands in the window's own chroma plane, after its 60 luma rows.
  EXPECT_EQ(0, std::memcmp(window.bytes.data() + 60 * 100, picture.ptr(96), 100));
}

TEST(WindowCopy, RgbaPictureToRgbaAndToNv21Windows) {
  cv::Mat picture(2 * 8, 2 * 10, CV_8UC4, cv::Scalar(255, 0, 0, 255));  // R, G, B, A = red
  WindowBuffer rgba(20, 16, 24, 1);
  EXPECT_EQ(CopyPictureToWindow(picture, 1, 10, 8, rgba.buffer), 20 * 4 * 16);
  EXPECT_TRUE(rgba.GuardIntact());
  EXPECT_EQ(rgba.bytes[0], 255);
  EXPECT_EQ(rgba.bytes[1], 0);
  EXPECT_EQ(rgba.bytes[20 * 4], HOST_WINDOW_FILL_BYTE);  // stride padding untouched

  WindowBuffer nv21(20, 16, 20, 17);
  EXPECT_GT(CopyPictureToWindow(picture, 1, 10, 8, nv21.buffer), 0);
  EXPECT_TRUE(nv21.GuardIntact());
  // Red in limited-range BT.601: Y about 82, V about 240, U about 90.
  EXPECT_NEAR(nv21.bytes[0], 82, 3);
  EXPECT_NEAR(nv21.bytes[20 * 16], 240, 3);
  EXPECT_NEAR(nv21.bytes[20 * 16 + 1], 90, 3);

  WindowBuffer rgb565(20, 16, 20, 4);
  EXPECT_EQ(CopyPictureToWindow(picture, 1, 10, 8, rgb565.buffer), -1);
  EXPECT_EQ(rgb565.bytes[0], HOST_WINDOW_FILL_BYTE);
}

// Filling both windows at once (one read of the picture where they take the
// same rows) gives each exactly what it gets on its own: at stride padding 0
// and 64 in full size, with strides that differ between the two, an odd
// size, windows of different geometry, an RGBA picture going to an RGBA
// preview and an NV21 record, and a window that cannot take the picture.
TEST(WindowCopy, TwoWindowsAtOnceReceiveWhatEachReceivesAlone) {
  struct Shape {
    int32_t width, height, stride, format;
  };
  struct Case {
    int32_t format, camW, camH;
    Shape first, second;
  };
  const Case cases[] = {
      {35, 1920, 1080, {3840, 2160, 3840, 17}, {3840, 2160, 3840, 17}},
      {35, 1920, 1080, {3840, 2160, 3904, 17}, {3840, 2160, 3904, 17}},
      {35, 1920, 1080, {3840, 2160, 3840, 17}, {3840, 2160, 3904, 17}},
      {35, 321, 241, {642, 482, 649, 17}, {642, 482, 642, 17}},
      {35, 64, 48, {128, 96, 128, 17}, {100, 60, 100, 17}},
      {1, 10, 8, {20, 16, 24, 1}, {20, 16, 20, 17}},
      {35, 64, 48, {128, 96, 128, 17}, {128, 96, 128, 4}},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.camW) + "x" + std::to_string(c.camH) + " strides " +
                             std::to_string(c.first.stride) + "/" + std::to_string(c.second.stride);
    cv::Mat picture(c.format == 35 ? 3 * c.camH : 2 * c.camH, 2 * c.camW,
                    c.format == 35 ? CV_8UC1 : CV_8UC4);
    cv::randu(picture, 0, 256);
    auto make = [](const Shape& shape) {
      return WindowBuffer(shape.width, shape.height, shape.stride, shape.format);
    };
    WindowBuffer first = make(c.first);
    WindowBuffer second = make(c.second);
    WindowBuffer firstAlone = make(c.first);
    WindowBuffer secondAlone = make(c.second);
    int64_t firstBytes = 0;
    int64_t secondBytes = 0;
    CopyPictureToWindows(picture, c.format, c.camW, c.camH, first.buffer, second.buffer,
                         &firstBytes, &secondBytes);
    EXPECT_EQ(firstBytes, CopyPictureToWindow(picture, c.format, c.camW, c.camH, firstAlone.buffer))
        << what;
    EXPECT_EQ(secondBytes,
              CopyPictureToWindow(picture, c.format, c.camW, c.camH, secondAlone.buffer))
        << what;
    EXPECT_TRUE(first.bytes == firstAlone.bytes) << "first window, " << what;
    EXPECT_TRUE(second.bytes == secondAlone.bytes) << "second window, " << what;
    EXPECT_TRUE(first.GuardIntact() && second.GuardIntact()) << what;
  }
}

// ResizeNV21 -----------------------------------------------------------------

// Planes with sentinel bytes on both sides.
struct GuardedPlanes {
  static constexpr size_t kGuard = 32;
  std::vector<uint8_t> y;
  std::vector<uint8_t> vu;
  uint32_t width;
  uint32_t height;
  GuardedPlanes(uint32_t w, uint32_t h)
      : y(w * h + 2 * kGuard, 0xC3), vu(w * (h / 2) + 2 * kGuard, 0xC3), width(w), height(h) {}
  Nv21Buffer Buffer() {
    Nv21Buffer b{};
    b.width = width;
    b.height = height;
    b.yPlane = y.data() + kGuard;
    b.vuPlane = vu.data() + kGuard;
    b.yStride = static_cast<int32_t>(width);
    b.vuStride = static_cast<int32_t>(width);
    return b;
  }
  bool GuardsIntact() const {
    for (const auto* plane : {&y, &vu}) {
      for (size_t i = 0; i < kGuard; ++i) {
        if ((*plane)[i] != 0xC3 || (*plane)[plane->size() - 1 - i] != 0xC3) {
          return false;
        }
      }
    }
    return true;
  }
};

TEST(ResizeNv21, EqualSizesCopyThePictureAndTheAttribute) {
  GuardedPlanes in(64, 48);
  const std::vector<uint8_t> lumaBytes = RandomBytes(64 * 48, 5);
  const std::vector<uint8_t> chromaBytes = RandomBytes(64 * 24, 6);
  std::memcpy(in.y.data() + GuardedPlanes::kGuard, lumaBytes.data(), lumaBytes.size());
  std::memcpy(in.vu.data() + GuardedPlanes::kGuard, chromaBytes.data(), chromaBytes.size());
  Nv21Buffer src = in.Buffer();
  src.attribute = 0xABCD1234u;
  GuardedPlanes out(64, 48);
  Nv21Buffer dst = out.Buffer();
  int spareTarget = 0;
  dst.spare = &spareTarget;
  dst.yStride = 999;
  dst.vuStride = 999;
  dst.spareStride = 77;
  ResizeNV21(&src, &dst);
  EXPECT_EQ(0, std::memcmp(out.y.data() + GuardedPlanes::kGuard, lumaBytes.data(), lumaBytes.size()));
  EXPECT_EQ(0, std::memcmp(out.vu.data() + GuardedPlanes::kGuard, chromaBytes.data(), chromaBytes.size()));
  EXPECT_EQ(dst.attribute, 0xABCD1234u);
  EXPECT_EQ(dst.spareStride, 0);
  EXPECT_EQ(dst.yStride, 64);
  EXPECT_EQ(dst.vuStride, 64);
  EXPECT_EQ(dst.spare, &spareTarget);
  EXPECT_TRUE(out.GuardsIntact());
}

TEST(ResizeNv21, DownscaleKeepsVBeforeUAndTheLumaOrderAndStaysInItsPlanes) {
  GuardedPlanes in(1920, 1080);
  for (uint32_t y = 0; y < 1080; ++y) {
    for (uint32_t x = 0; x < 1920; ++x) {
      in.y[GuardedPlanes::kGuard + y * 1920 + x] = static_cast<uint8_t>(x * 255 / 1919);
    }
  }
  for (size_t i = 0; i < 1920u * 540u; ++i) {
    in.vu[GuardedPlanes::kGuard + i] = (i & 1) == 0 ? 200 : 60;  // V, U
  }
  Nv21Buffer src = in.Buffer();
  GuardedPlanes out(1280, 720);
  Nv21Buffer dst = out.Buffer();
  ResizeNV21(&src, &dst);
  ASSERT_TRUE(out.GuardsIntact()) << "wrote outside the destination planes";
  for (size_t i = 0; i < 1280u * 360u; ++i) {
    ASSERT_EQ(out.vu[GuardedPlanes::kGuard + i], (i & 1) == 0 ? 200 : 60) << "pair byte " << i;
  }
  for (uint32_t y = 0; y < 720; y += 97) {
    const uint8_t* row = out.y.data() + GuardedPlanes::kGuard + y * 1280;
    for (uint32_t x = 1; x < 1280; ++x) {
      ASSERT_LE(row[x - 1], row[x]) << "gradient order lost at " << x;
    }
    EXPECT_LT(row[0], 5);
    EXPECT_GT(row[1279], 250);
  }
}

TEST(ResizeNv21, RefusesDamagedDescriptionsWithoutWriting) {
  LogCapture log;
  GuardedPlanes in(16, 8);
  GuardedPlanes out(8, 4);
  Nv21Buffer src = in.Buffer();
  Nv21Buffer dst = out.Buffer();
  const std::vector<uint8_t> before = out.y;
  ResizeNV21(nullptr, &dst);
  ResizeNV21(&src, nullptr);
  Nv21Buffer noPlane = src;
  noPlane.vuPlane = nullptr;
  ResizeNV21(&noPlane, &dst);
  Nv21Buffer shortStride = src;
  shortStride.yStride = 8;
  ResizeNV21(&shortStride, &dst);
  Nv21Buffer negative = src;
  negative.vuStride = -16;
  ResizeNV21(&negative, &dst);
  Nv21Buffer huge = src;
  huge.width = 0x80000000u;
  ResizeNV21(&huge, &dst);
  Nv21Buffer empty = dst;
  empty.height = 0;
  ResizeNV21(&src, &empty);
  EXPECT_TRUE(out.y == before);
  EXPECT_EQ(log.CountPrefix("qcam", "ResizeNV21: "), 7);
}

}  // namespace
