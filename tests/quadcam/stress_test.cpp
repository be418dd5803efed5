// Cameras streaming at a high rate while other threads set, replace and
// clear both surfaces and the camera set is opened and closed over and over.
// Run under the thread sanitizer this finds races between the listeners, the
// worker, the setters and open/close; everywhere it finds crashes and leaks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "quadcam/camera_session.h"
#include "quadcam/output_worker.h"
#include "tests/platform/camera_steps.h"
#include "quadcam/qcam_state.h"
#include "tests/quadcam/quadcam_test_support.h"

namespace {

TEST(Stress, OpenCloseAndSurfaceSwapsWhileCamerasStream) {
  ASSERT_EQ(HostCamera_reset(), 0);
  const int32_t baselineWindows = HostWindow_liveCount();
  for (const char* id : kSlotIds) {
    HostCameraConfig config;
    HostCamera_defaultConfig(&config);
    config.framesPerSecond = 400;
    ASSERT_EQ(HostCamera_configure(id, &config), 0);
  }
  ANativeWindow* windows[3] = {HostWindow_create(1, 1, 17), HostWindow_create(1, 1, 17),
                               HostWindow_create(1, 1, 17)};
  HostWindow_setStridePadding(windows[2], 8);
  HostWindow_failLocks(windows[1], 5, -11);

  std::atomic<bool> stop{false};
  auto swapper = [&](OutputKind kind, int offset) {
    for (int i = offset; !stop; ++i) {
      ANativeWindow* window = i % 4 == 3 ? nullptr : windows[i % 3];
      if (window != nullptr) {
        ANativeWindow_acquire(window);
      }
      SetOutputWindow(kind, window, 24, 16);
      std::this_thread::sleep_for(std::chrono::microseconds(700));
    }
  };
  std::thread previewSwapper(swapper, OutputKind::kPreview, 0);
  std::thread recordSwapper(swapper, OutputKind::kRecord, 1);

  for (int round = 0; round < 40; ++round) {
    OpenCameraSet(24, 16);
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 5 == 0 ? 60 : 8));
    if (round % 7 == 3) {
      OpenCameraSet(24, 16);  // reopen without a close
    }
    EXPECT_LE(LiveOutputWorkers(), 1);
    CloseCameraSet();
    EXPECT_EQ(LiveOutputWorkers(), 0) << "round " << round;
  }
  stop = true;
  previewSwapper.join();
  recordSwapper.join();

  // After all that, a fresh open streams into a window again: its first
  // pass and a complete set of the four cameras both reach it.
  ANativeWindow_acquire(windows[0]);
  SetOutputWindow(OutputKind::kPreview, windows[0], 24, 16);
  SetOutputWindow(OutputKind::kRecord, nullptr, 0, 0);
  const uint64_t posts = HostWindow_postCount(windows[0]);
  OpenCameraSet(24, 16);
  EXPECT_EQ(HostWindow_waitForPosts(windows[0], posts + 2, 10000), 0) << "nothing reached a window";
  CloseCameraSet();
  SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
  // A worker that close left in a window lock holds a window reference.
  EXPECT_TRUE(WaitOutputWorkersEnded(10000));

  for (ANativeWindow* window : windows) {
    EXPECT_EQ(HostWindow_refCount(window), 1) << "a reference was leaked or dropped twice";
    ANativeWindow_release(window);
  }

  ExpectEveryStandInObjectGivenBack(baselineWindows);
}

}  // namespace
