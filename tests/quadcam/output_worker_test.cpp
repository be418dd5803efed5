// The output worker and the two windows (output_worker.cpp): what each
// window receives and in which order, surfaces set, replaced and cleared,
// a window's consumer that holds every buffer, and a lock that fails.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "quadcam/camera_session.h"
#include "quadcam/frame_composition.h"
#include "tests/quadcam/pipeline_fixture.h"
#include "tests/support/log_capture.h"

namespace {

class OutputWorker : public Pipeline {};

// The worker copies on a reference of its own and drops it just after the
// post: waits until the window's count has come down to `count`.
int32_t RefCountSettledAt(ANativeWindow* window, int32_t count) {
  for (int i = 0; i < kWait && HostWindow_refCount(window) != count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return HostWindow_refCount(window);
}

// With both windows set, one read of the composed picture fills the two:
// each still gets every set byte-exact at its own stride (padding 64 and 0),
// padding untouched. The size is large enough for the streaming copies.
TEST_F(OutputWorker, BothWindowsGetEverySetByteExactEachAtItsOwnStride) {
  const int w = 320;
  const int h = 240;
  ANativeWindow* preview = NewWindow(1, 1);
  ANativeWindow* record = NewWindow(1, 1);
  HostWindow_setStridePadding(preview, 64);
  Hand(OutputKind::kPreview, preview, w, h);
  Hand(OutputKind::kRecord, record, w, h);
  TempDir dir;
  Nv21Frame frames[4][2];
  ASSERT_NO_FATAL_FAILURE(RecordTwoFramesPerCamera(dir, w, h, 30u, frames));
  OpenCameraSet(w, h);
  ASSERT_EQ(HostWindow_waitForPosts(record, 1, kWait), 0);
  for (int n = 0; n < 2; ++n) {
    StepAll();
    // Within a pass the record window is posted after the preview.
    ASSERT_EQ(HostWindow_waitForPosts(record, 2u + static_cast<uint64_t>(n), kWait), 0);
    const std::vector<uint8_t> expected = MosaicOfSet(frames, n, w, h);
    EXPECT_TRUE(LastPostedPicture(preview) == expected) << "preview, set " << n;
    EXPECT_TRUE(LastPostedPicture(record) == expected) << "record, set " << n;
  }
  HostPostedFrame info;
  LastPostedBuffer(preview, &info);
  EXPECT_EQ(info.stride, 2 * w + 64);
  ExpectPaddingUntouched(preview, w, h);
  EXPECT_EQ(HostWindow_postCount(preview), 3u);
}

TEST_F(OutputWorker, SurfacesSetLateReplacedClearedAndNullWhenNoneSet) {
  LogCapture log;
  SteppingCameras();
  const int w = 16;
  const int h = 8;
  // None set: the worker waits and wakes, copies nothing and logs nothing.
  SetOutputWindow(OutputKind::kPreview, nullptr, w, h);  // null when none is set
  OpenCameraSet(w, h);
  StepAll();
  Settle();
  EXPECT_EQ(CompletedSets(), 1u);
  EXPECT_EQ(log.CountPrefix("qcam", "ANativeWindow_lock"), 0);

  // Set while the worker waits: first filled after the next complete set.
  ANativeWindow* a = NewWindow(1, 1);
  Hand(OutputKind::kPreview, a, w, h);
  EXPECT_EQ(HostWindow_refCount(a), 2);
  Settle();
  EXPECT_EQ(HostWindow_postCount(a), 0u);
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(a, 1, kWait), 0);
  EXPECT_EQ(ANativeWindow_getWidth(a), 2 * w);
  EXPECT_EQ(ANativeWindow_getHeight(a), 2 * h);

  // Replaced: the earlier window is released and gets nothing more.
  ANativeWindow* b = NewWindow(1, 1);
  Hand(OutputKind::kPreview, b, w, h);
  EXPECT_EQ(RefCountSettledAt(a, 1), 1) << "earlier window not released";
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(b, 1, kWait), 0);
  EXPECT_EQ(HostWindow_postCount(a), 1u);

  // Cleared.
  SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
  EXPECT_EQ(RefCountSettledAt(b, 1), 1);
  StepAll();
  Settle();
  EXPECT_EQ(HostWindow_postCount(b), 1u);
}

// An app may hand the same surface as preview and record: each pass then
// posts into it twice, one lock after the other.
TEST_F(OutputWorker, OneWindowAsPreviewAndRecordGetsBothPostsOfEveryPass) {
  SteppingCameras();
  ANativeWindow* both = NewWindow(1, 1);
  Hand(OutputKind::kPreview, both, 16, 8);
  Hand(OutputKind::kRecord, both, 16, 8);
  OpenCameraSet(16, 8);
  ASSERT_EQ(HostWindow_waitForPosts(both, 2, kWait), 0);
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(both, 4, kWait), 0);
}

TEST_F(OutputWorker, PreviewIsServedBeforeRecordInEveryPass) {
  SteppingCameras();
  ANativeWindow* preview = NewWindow(1, 1);
  ANativeWindow* record = NewWindow(1, 1);
  Hand(OutputKind::kRecord, record, 16, 8);
  Hand(OutputKind::kPreview, preview, 16, 8);
  OpenCameraSet(16, 8);
  for (uint64_t n = 1; n <= 3; ++n) {
    ASSERT_EQ(HostWindow_waitForPosts(record, n, kWait), 0);
    HostPostedFrame p;
    HostPostedFrame r;
    LastPostedBuffer(preview, &p);
    LastPostedBuffer(record, &r);
    EXPECT_EQ(p.postNumber, n);
    EXPECT_LT(p.globalSequence, r.globalSequence);
    EXPECT_EQ(r.format, 17);
    StepAll();
  }
}

// On a device a window's lock waits while its consumer holds every buffer.
// Replacing or clearing that window from the Java thread must not wait for
// it: the copy in progress finishes on the worker's own reference once the
// consumer lets a buffer go, and the next pass serves the new window.
TEST_F(OutputWorker, ASetterNeverWaitsForAWindowWhoseConsumerHoldsEveryBuffer) {
  SteppingCameras();
  for (OutputKind kind : {OutputKind::kPreview, OutputKind::kRecord}) {
    SCOPED_TRACE(kind == OutputKind::kPreview ? "preview" : "record");
    ANativeWindow* stuck = NewWindow(1, 1);
    HostWindow_blockLocks(stuck, 1);
    Hand(kind, stuck, 16, 8);
    OpenCameraSet(16, 8);  // the first pass locks at once
    ASSERT_EQ(HostWindow_waitForBlockedLock(stuck, kWait), 0);

    ANativeWindow* next = NewWindow(1, 1);
    std::future<void> setter = std::async(std::launch::async, [&] { Hand(kind, next, 16, 8); });
    const bool returned =
        setter.wait_for(std::chrono::milliseconds(kWait)) == std::future_status::ready;
    EXPECT_TRUE(returned) << "the setter waited for the window's consumer";
    if (returned) {
      EXPECT_EQ(HostWindow_refCount(stuck), 2) << "the test's and the copy's own reference";
    }
    HostWindow_blockLocks(stuck, 0);  // the consumer takes buffers again
    setter.wait();
    ASSERT_EQ(HostWindow_waitForPosts(stuck, 1, kWait), 0) << "the copy in progress was dropped";
    StepAll();
    ASSERT_EQ(HostWindow_waitForPosts(next, 1, kWait), 0);
    EXPECT_EQ(HostWindow_postCount(stuck), 1u);
    EXPECT_EQ(HostWindow_refCount(stuck), 1) << "the worker kept its reference";
    CloseCameraSet();
    SetOutputWindow(kind, nullptr, 0, 0);
  }
}

// closeCamera must not wait for a window's consumer either, nor must an
// openCamera made meanwhile on another Java thread. The worker that waits
// in the lock finishes on its own references once the consumer lets a
// buffer go: it posts that one buffer and ends, and the reopened set's
// worker serves the window after it.
TEST_F(OutputWorker, CloseAndTheNextOpenNeverWaitForAConsumerThatHoldsEveryBuffer) {
  LogCapture log;
  SteppingCameras();
  ANativeWindow* stuck = NewWindow(1, 1);
  HostWindow_blockLocks(stuck, 1);
  Hand(OutputKind::kPreview, stuck, 16, 8);
  OpenCameraSet(16, 8);  // the first pass locks at once
  ASSERT_EQ(HostWindow_waitForBlockedLock(stuck, kWait), 0);

  std::future<void> closing = std::async(std::launch::async, [] { CloseCameraSet(); });
  std::future<void> opening = std::async(std::launch::async, [&closing] {
    closing.wait();
    OpenCameraSet(16, 8);
  });
  const bool returned =
      opening.wait_for(std::chrono::milliseconds(kWait)) == std::future_status::ready;
  const int32_t serving = LiveOutputWorkers();
  HostWindow_blockLocks(stuck, 0);  // the consumer takes buffers again
  opening.wait();
  ASSERT_TRUE(returned) << "close or the next open waited for the window's consumer";
  EXPECT_EQ(serving, 1) << "the reopened set has one worker, the one close left does not count";
  EXPECT_EQ(log.Count("qcam", "output worker waits for a window's consumer: it ends on its own"), 1);

  // The left worker's buffer, the new worker's first pass, then a set.
  ASSERT_EQ(HostWindow_waitForPosts(stuck, 2, kWait), 0);
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(stuck, 3, kWait), 0);
  CloseCameraSet();
  ASSERT_TRUE(WaitOutputWorkersEnded(kWait));
  EXPECT_EQ(HostWindow_postCount(stuck), 3u) << "the left worker served more than its one buffer";
  EXPECT_EQ(log.CountPrefix("qcam", "ANativeWindow_lock"), 0)
      << "two workers locked the window at the same time";
  SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
  EXPECT_EQ(HostWindow_refCount(stuck), 1) << "a worker kept its reference";
}

TEST_F(OutputWorker, AFailingLockIsRetriedAndLoggedPerTryUntilClose) {
  LogCapture log;
  SteppingCameras();
  ANativeWindow* preview = NewWindow(1, 1);
  ANativeWindow* record = NewWindow(1, 1);
  HostWindow_failLocks(preview, -1, -22);
  Hand(OutputKind::kPreview, preview, 16, 8);
  Hand(OutputKind::kRecord, record, 16, 8);
  OpenCameraSet(16, 8);
  // Retried without any camera frame.
  for (int i = 0; i < kWait && HostWindow_lockAttempts(preview) < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_GE(HostWindow_lockAttempts(preview), 3u);
  EXPECT_EQ(HostWindow_postCount(record), 0u) << "record served after a failed preview lock";
  CloseCameraSet();
  EXPECT_EQ(LiveOutputWorkers(), 0);
  // Close may leave the worker to finish a lock that was in progress.
  ASSERT_TRUE(WaitOutputWorkersEnded(kWait));
  const uint64_t tries = HostWindow_lockAttempts(preview);
  EXPECT_EQ(static_cast<uint64_t>(
                log.Count("qcam", "ANativeWindow_lock drawWindow failed with error code -22\n")),
            tries);
  // No worker lives: no try can follow.
  EXPECT_EQ(HostWindow_lockAttempts(preview), tries) << "worker still running after close";

  // A lock that fails a few times recovers and posts.
  HostWindow_failLocks(preview, 2, -5);
  HostWindow_failLocks(record, 1, -5);
  OpenCameraSet(16, 8);
  ASSERT_EQ(HostWindow_waitForPosts(record, 1, kWait), 0);
  EXPECT_EQ(HostWindow_postCount(preview), 2u);  // once failing record, once after
  EXPECT_EQ(log.Count("qcam", "ANativeWindow_lock recordWindow failed with error code -5\n"), 1);
}

}  // namespace
