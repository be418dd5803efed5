// The stand-alone NV21 scaler (resize_nv21.cpp): copies, downscales and
// refusals, never writing outside the planes it is given.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "quadcam/nv21_buffer.h"
#include "tests/quadcam/quadcam_test_support.h"
#include "tests/support/log_capture.h"

namespace {

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
