// The copy of the composed picture into locked window buffers
// (CopyPictureToWindow and CopyPictureToWindows, output_worker.cpp): exactly
// the picture at any stride, the overlap for a smaller window, format
// conversions, and two windows at once.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "quadcam/output_worker.h"
#include "tests/quadcam/quadcam_test_support.h"

namespace {

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

}  // namespace
