// The composition (frame_composition.cpp) fed by cameras streaming on their
// own threads: recorded frames reach the window byte-exact, a complete set
// wakes the worker once, and frames of another size are never composed.
#include <gtest/gtest.h>

#include <algorithm>
#include <shared_mutex>
#include <vector>

#include "quadcam/camera_session.h"
#include "quadcam/frame_composition.h"
#include "quadcam/qcam_state.h"
#include "tests/quadcam/pipeline_fixture.h"
#include "tests/support/log_capture.h"

namespace {

class FrameComposition : public Pipeline {};

TEST_F(FrameComposition, RecordedFramesReachThePreviewByteExactAfterAnAllZeroFirstFrame) {
  TempDir dir;
  const int w = 64;
  const int h = 48;
  Nv21Frame frames[4][2];
  ASSERT_NO_FATAL_FAILURE(RecordTwoFramesPerCamera(dir, w, h, 10u, frames));
  ANativeWindow* preview = NewWindow(10, 10);
  HostWindow_setStridePadding(preview, 24);  // stride wider than the width
  Hand(OutputKind::kPreview, preview, w, h);
  OpenCameraSet(w, h);
  // The worker's first pass shows the cleared frame before any camera delivers.
  ASSERT_EQ(HostWindow_waitForPosts(preview, 1, kWait), 0);
  HostPostedFrame info;
  std::vector<uint8_t> picture = LastPostedPicture(preview, &info);
  EXPECT_EQ(info.width, 2 * w);
  EXPECT_EQ(info.height, 2 * h);
  EXPECT_EQ(info.format, 17);
  ASSERT_EQ(picture.size(), static_cast<size_t>(6 * w * h));
  EXPECT_EQ(std::count(picture.begin(), picture.end(), 0), 6 * w * h) << "first frame not all zero";

  for (int n = 0; n < 2; ++n) {
    StepAll();
    ASSERT_EQ(HostWindow_waitForPosts(preview, 2u + static_cast<uint64_t>(n), kWait), 0);
    EXPECT_TRUE(LastPostedPicture(preview) == MosaicOfSet(frames, n, w, h)) << "set " << n;
  }
  ExpectPaddingUntouched(preview, w, h);
}

TEST_F(FrameComposition, OneWakePerCompleteSetAndASilentCameraNeverWakesTheWorker) {
  TempDir dir;
  const int w = 32;
  const int h = 16;
  // Camera "2" plays three distinct frames; the others one frame each.
  const Nv21Frame c2[3] = {ConstantNv21(w, h, 10, 1, 1), ConstantNv21(w, h, 20, 2, 2),
                           ConstantNv21(w, h, 30, 3, 3)};
  ASSERT_TRUE(WriteNv21File(dir / "c2", {c2[0], c2[1], c2[2]}));
  ConfigureStepping("2", (dir / "c2").c_str());
  for (int k = 1; k < 4; ++k) {
    const uint8_t v = static_cast<uint8_t>(100 + k);
    ASSERT_TRUE(WriteNv21File(dir / kSlotIds[k], {ConstantNv21(w, h, v, v, v)}));
    ConfigureStepping(kSlotIds[k], (dir / kSlotIds[k]).c_str());
  }
  ANativeWindow* preview = NewWindow(2 * w, 2 * h);
  Hand(OutputKind::kPreview, preview, w, h);
  OpenCameraSet(w, h);
  ASSERT_EQ(HostWindow_waitForPosts(preview, 1, kWait), 0);

  Step("2");
  Step("3");
  Step("4");
  Step("2", 2);  // several frames of one camera within the same set
  EXPECT_EQ(CompletedSets(), 0u) << "a set handed over before it was complete";
  Settle();
  EXPECT_EQ(HostWindow_postCount(preview), 1u) << "woken before the set was complete";
  {
    std::shared_lock<std::shared_mutex> lock(gCombMutex);
    EXPECT_EQ(dstComb.at<uint8_t>(0, 0), 30) << "camera 2's quadrant shows its latest frame";
    EXPECT_EQ(dstComb.at<uint8_t>(0, w), 101);
    EXPECT_EQ(dstComb.at<uint8_t>(h, w), 0) << "the silent camera's quadrant changed";
  }
  Step("5");
  ASSERT_EQ(HostWindow_waitForPosts(preview, 2, kWait), 0);
  Settle();
  EXPECT_EQ(CompletedSets(), 1u);
  EXPECT_EQ(HostWindow_postCount(preview), 2u) << "more than one wake for one set";
  const std::vector<uint8_t> picture = LastPostedPicture(preview);
  EXPECT_EQ(picture[0], 30);
  EXPECT_EQ(picture[static_cast<size_t>(h * 2 * w + w)], 103);
}

TEST_F(FrameComposition, FramesOfAnotherSizeAreNotComposed) {
  LogCapture log;
  SteppingCameras();
  HostCameraConfig larger;
  HostCamera_defaultConfig(&larger);
  larger.stepMode = 1;
  larger.frameWidth = 32;
  larger.frameHeight = 16;
  ASSERT_EQ(HostCamera_configure("5", &larger), 0);
  HostCameraConfig truncated;
  HostCamera_defaultConfig(&truncated);
  truncated.stepMode = 1;
  truncated.truncateBytes = 1;
  ASSERT_EQ(HostCamera_configure("4", &truncated), 0);
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);
  OpenCameraSet(16, 8);
  ASSERT_EQ(HostWindow_waitForPosts(preview, 1, kWait), 0);
  StepAll();
  StepAll();
  EXPECT_EQ(CompletedSets(), 0u);
  Settle();
  EXPECT_EQ(HostWindow_postCount(preview), 1u);
  EXPECT_EQ(RejectedFrames(3), 2u);
  EXPECT_EQ(RejectedFrames(2), 2u);
  EXPECT_EQ(log.CountPrefix("qcam", "camera 3: frame 32x16 format 35 not composed"), 1);
  std::shared_lock<std::shared_mutex> lock(gCombMutex);
  EXPECT_EQ(cv::countNonZero(dstComb(cv::Rect(16, 8, 16, 8))), 0);
}

}  // namespace
