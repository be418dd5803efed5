// The whole camera side on the threaded platform stand-ins: cameras that
// stream on their own threads into image readers, the hand-off to the
// output worker, the preview and record windows, and opening and closing.
// Cameras run in step mode where a test needs to know exactly which frames
// were delivered.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "quadcam/camera_session.h"
#include "quadcam/frame_composition.h"
#include "quadcam/output_worker.h"
#include "quadcam/qcam_state.h"
#include "tests/quadcam/quadcam_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kWait = 10000;  // ms; generous for the sanitizer trees

std::vector<std::string> Journal() {
  std::vector<std::string> entries;
  for (size_t i = 0; i < HostJournal_count(); ++i) {
    char text[160];
    HostJournal_entry(i, text, sizeof(text));
    entries.emplace_back(text);
  }
  return entries;
}

// The function names of the journal, without their objects.
std::vector<std::string> JournalCalls() {
  std::vector<std::string> calls;
  for (const std::string& e : Journal()) {
    calls.push_back(e.substr(0, e.find(' ')));
  }
  return calls;
}

void ConfigureStepping(const char* id, const char* sourceFile = nullptr) {
  HostCameraConfig config;
  HostCamera_defaultConfig(&config);
  config.stepMode = 1;
  config.sourceFile = sourceFile;
  ASSERT_EQ(HostCamera_configure(id, &config), 0);
}

// Queues `frames` frames of the camera into its reader.
void Capture(const char* id, int frames = 1) {
  const uint64_t before = HostCamera_framesDelivered(id);
  ASSERT_EQ(HostCamera_step(id, frames), 0);
  ASSERT_EQ(HostCamera_waitFramesDelivered(id, before + static_cast<uint64_t>(frames), kWait), 0)
      << "camera " << id;
}

// Captures and waits until the readers' listeners have taken the frames.
void Step(const char* id, int frames = 1) {
  Capture(id, frames);
  ASSERT_EQ(HostImageReader_waitIdle(kWait), 0) << "camera " << id << ": a listener never returned";
}

void StepAll() {
  for (const char* id : kSlotIds) {
    Step(id);
  }
}

// Gives the window to quadcam, keeping the test's own reference.
void Hand(OutputKind kind, ANativeWindow* window, int32_t w, int32_t h) {
  if (window != nullptr) {
    ANativeWindow_acquire(window);
  }
  SetOutputWindow(kind, window, w, h);
}

// The worker copies on a reference of its own and drops it just after the
// post: waits until the window's count has come down to `count`.
int32_t RefCountSettledAt(ANativeWindow* window, int32_t count) {
  for (int i = 0; i < kWait && HostWindow_refCount(window) != count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return HostWindow_refCount(window);
}

// Waits until the worker has served every set handed to it, so that a
// count checked next is final: a set that should not reach a window has
// then had its chance and did not.
void Settle() { ASSERT_TRUE(WaitOutputWorkerIdle(kWait)) << "the worker never came to rest"; }

// Gives each stepping camera a recording of two random frames (seeds from
// `seed` up), kept in frames[slot][n] for the expected mosaics.
void RecordTwoFramesPerCamera(const TempDir& dir, int w, int h, uint32_t seed,
                              Nv21Frame frames[4][2]) {
  for (int k = 0; k < 4; ++k) {
    frames[k][0] = RandomNv21(w, h, seed + static_cast<uint32_t>(k));
    frames[k][1] = RandomNv21(w, h, seed + 10u + static_cast<uint32_t>(k));
    const std::string path = dir / ("cam" + std::to_string(k) + ".nv21");
    ASSERT_TRUE(WriteNv21File(path, {frames[k][0], frames[k][1]}));
    ConfigureStepping(kSlotIds[k], path.c_str());
  }
}

// The mosaic of the n-th recorded frame of every camera.
std::vector<uint8_t> MosaicOfSet(const Nv21Frame frames[4][2], int n, int w, int h) {
  const Nv21Frame* set[4] = {&frames[0][n], &frames[1][n], &frames[2][n], &frames[3][n]};
  return ExpectedNv21Mosaic(set, w, h);
}

// The stride padding of the window's last posted buffer stays as the window
// made it.
void ExpectPaddingUntouched(ANativeWindow* window, int w, int h) {
  HostPostedFrame info;
  const std::vector<uint8_t> buffer = LastPostedBuffer(window, &info);
  for (int r = 0; r < 3 * h; ++r) {
    for (int p = 2 * w; p < info.stride; ++p) {
      ASSERT_EQ(buffer[static_cast<size_t>(r * info.stride + p)], HOST_WINDOW_FILL_BYTE)
          << "row " << r;
    }
  }
}

// Camera "2" in step mode streaming into one window through the camera
// NDK, without quadcam.
struct OneCamera {
  ACameraManager* manager = nullptr;
  ACameraDevice* device = nullptr;
  ACaptureSessionOutput* output = nullptr;
  ACaptureSessionOutputContainer* container = nullptr;
  ACameraCaptureSession* session = nullptr;
  ACaptureRequest* request = nullptr;
  ACameraOutputTarget* target = nullptr;
};

OneCamera StreamCameraTwoInto(ANativeWindow* window) {
  ConfigureStepping("2");
  OneCamera c;
  ACameraDevice_StateCallbacks callbacks{};
  static ACameraCaptureSession_stateCallbacks sessionCallbacks{};
  c.manager = ACameraManager_create();
  EXPECT_EQ(ACameraManager_openCamera(c.manager, "2", &callbacks, &c.device), ACAMERA_OK);
  EXPECT_EQ(ACaptureSessionOutput_create(window, &c.output), ACAMERA_OK);
  EXPECT_EQ(ACaptureSessionOutputContainer_create(&c.container), ACAMERA_OK);
  EXPECT_EQ(ACaptureSessionOutputContainer_add(c.container, c.output), ACAMERA_OK);
  EXPECT_EQ(ACameraDevice_createCaptureSession(c.device, c.container, &sessionCallbacks, &c.session),
            ACAMERA_OK);
  EXPECT_EQ(ACameraDevice_createCaptureRequest(c.device, TEMPLATE_PREVIEW, &c.request), ACAMERA_OK);
  EXPECT_EQ(ACameraOutputTarget_create(window, &c.target), ACAMERA_OK);
  EXPECT_EQ(ACaptureRequest_addTarget(c.request, c.target), ACAMERA_OK);
  EXPECT_EQ(ACameraCaptureSession_setRepeatingRequest(c.session, nullptr, 1, &c.request, nullptr),
            ACAMERA_OK);
  return c;
}

// Everything but the manager, in the order quadcam closes a slot.
void CloseCamera(OneCamera& c) {
  ACameraCaptureSession_stopRepeating(c.session);
  ACameraCaptureSession_close(c.session);
  ACaptureSessionOutputContainer_free(c.container);
  ACaptureSessionOutput_free(c.output);
  ACaptureRequest_free(c.request);
  ACameraOutputTarget_free(c.target);
  ACameraDevice_close(c.device);
}

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(HostCamera_reset(), 0);
    HostJournal_enable(0);
    HostJournal_clear();
    baselineWindows_ = HostWindow_liveCount();
  }
  void TearDown() override {
    CloseCameraSet();
    SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
    SetOutputWindow(OutputKind::kRecord, nullptr, 0, 0);
    // A worker that close left in a window lock holds a window reference.
    EXPECT_TRUE(WaitOutputWorkersEnded(kWait));
    for (ANativeWindow* w : windows_) {
      ANativeWindow_release(w);
    }
    HostJournal_enable(0);
    EXPECT_EQ(HostCamera_reset(), 0);
    previewFormat = 35;
    // Nothing of the camera set outlives its close.
    HostCameraObjects live;
    HostCamera_liveObjects(&live);
    EXPECT_EQ(live.managers + live.idLists + live.devices + live.sessions + live.containers +
                  live.sessionOutputs + live.requests + live.outputTargets,
              0);
    EXPECT_EQ(HostImageReader_liveReaders(), 0);
    EXPECT_EQ(HostImageReader_liveImages(), 0);
    EXPECT_EQ(HostWindow_liveCount(), baselineWindows_);
    EXPECT_EQ(LiveOutputWorkers(), 0);
  }
  ANativeWindow* NewWindow(int32_t w, int32_t h, int32_t format = 17) {
    ANativeWindow* window = HostWindow_create(w, h, format);
    windows_.push_back(window);
    return window;
  }
  void SteppingCameras() {
    for (const char* id : kSlotIds) {
      ConfigureStepping(id);
    }
  }

  std::vector<ANativeWindow*> windows_;
  int32_t baselineWindows_ = 0;
};

TEST_F(Pipeline, RecordedFramesReachThePreviewByteExactAfterAnAllZeroFirstFrame) {
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

// With both windows set, one read of the composed picture fills the two:
// each still gets every set byte-exact at its own stride (padding 64 and 0),
// padding untouched. The size is large enough for the streaming copies.
TEST_F(Pipeline, BothWindowsGetEverySetByteExactEachAtItsOwnStride) {
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

TEST_F(Pipeline, OneWakePerCompleteSetAndASilentCameraNeverWakesTheWorker) {
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

TEST_F(Pipeline, SurfacesSetLateReplacedClearedAndNullWhenNoneSet) {
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
TEST_F(Pipeline, OneWindowAsPreviewAndRecordGetsBothPostsOfEveryPass) {
  SteppingCameras();
  ANativeWindow* both = NewWindow(1, 1);
  Hand(OutputKind::kPreview, both, 16, 8);
  Hand(OutputKind::kRecord, both, 16, 8);
  OpenCameraSet(16, 8);
  ASSERT_EQ(HostWindow_waitForPosts(both, 2, kWait), 0);
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(both, 4, kWait), 0);
}

TEST_F(Pipeline, PreviewIsServedBeforeRecordInEveryPass) {
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
TEST_F(Pipeline, ASetterNeverWaitsForAWindowWhoseConsumerHoldsEveryBuffer) {
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
TEST_F(Pipeline, CloseAndTheNextOpenNeverWaitForAConsumerThatHoldsEveryBuffer) {
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

TEST_F(Pipeline, AFailingLockIsRetriedAndLoggedPerTryUntilClose) {
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

TEST_F(Pipeline, CloseWithoutOpenLogsExitCamAndTouchesNothing) {
  LogCapture log;
  HostJournal_enable(1);
  CloseCameraSet();
  EXPECT_EQ(log.Count("qcam", "exit cam"), 1);
  EXPECT_TRUE(Journal().empty());
}

// Every camera is opened before any stream is built, then each slot builds
// its whole stream before the next: reader, its window, listener, session
// output and container, session, request, the library's own reference on
// the reader window, target, repeating request. Each slot's calls are made
// on its own camera and on the window of its own reader.
TEST_F(Pipeline, OpenFollowsTheFixedOrderForEachCamera) {
  SteppingCameras();
  HostJournal_enable(1);
  OpenCameraSet(16, 8);
  HostJournal_enable(0);
  std::vector<std::string> actual = Journal();
  // The worker's own window calls may follow; there is no window set here.
  std::vector<std::string> expected = {"ACameraManager_create ids=6",
                                       "ACameraManager_getCameraIdList ids=6"};
  for (const char* id : kSlotIds) {
    expected.push_back(std::string("ACameraManager_openCamera cam=") + id);
  }
  ASSERT_GE(actual.size(), expected.size() + 4 * 10);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i], expected[i]) << "entry " << i;
  }
  const auto field = [](const std::string& entry, const std::string& key) {
    const std::size_t at = entry.find(key + "=");
    return at == std::string::npos ? std::string()
                                   : entry.substr(at + key.size() + 1,
                                                  entry.find(' ', at) - at - key.size() - 1);
  };
  std::size_t next = expected.size();
  std::set<std::string> readerWindows;
  for (const char* id : kSlotIds) {
    const std::string cam = std::string("cam=") + id;
    ASSERT_EQ(actual[next].substr(0, actual[next].find(' ')), "AImageReader_new") << id;
    const std::string reader = field(actual[next], "reader");
    const std::string win = field(actual[next], "win");
    ASSERT_FALSE(reader.empty());
    ASSERT_FALSE(win.empty());
    readerWindows.insert(win);
    const std::vector<std::string> slot = {
        "AImageReader_new reader=" + reader + " win=" + win,
        "AImageReader_getWindow reader=" + reader + " win=" + win,
        "AImageReader_setImageListener reader=" + reader,
        "ACaptureSessionOutput_create win=" + win,
        "ACaptureSessionOutputContainer_create",
        "ACameraDevice_createCaptureSession " + cam,
        "ACameraDevice_createCaptureRequest " + cam,
        "ANativeWindow_acquire win=" + win,
        "ACameraOutputTarget_create win=" + win,
        "ACameraCaptureSession_setRepeatingRequest " + cam,
    };
    for (const std::string& call : slot) {
      ASSERT_LT(next, actual.size());
      std::string entry = actual[next++];
      if (call == "ACaptureSessionOutputContainer_create") {
        entry = entry.substr(0, entry.find(' '));  // a serial number only
      }
      EXPECT_EQ(entry, call) << "camera " << id;
    }
  }
  EXPECT_EQ(readerWindows.size(), 4u) << "each slot has a reader window of its own";
  for (; next < actual.size(); ++next) {
    EXPECT_EQ(actual[next].find("ACamera"), std::string::npos) << actual[next];
    EXPECT_EQ(actual[next].find("AImageReader"), std::string::npos) << actual[next];
  }
}

TEST_F(Pipeline, TeardownFollowsTheFixedOrderAndFreesEveryObject) {
  SteppingCameras();
  OpenCameraSet(16, 8);
  HostJournal_enable(1);
  CloseCameraSet();
  HostJournal_enable(0);
  std::vector<std::string> expected;
  for (const char* id : kSlotIds) {
    const std::string cam = std::string(" cam=") + id;
    for (const char* call : {"ACameraCaptureSession_stopRepeating", "ACameraCaptureSession_close"}) {
      expected.push_back(call + cam);
    }
    expected.push_back("ACaptureSessionOutputContainer_free");
    expected.push_back("ACaptureSessionOutput_free");
    expected.push_back("ACaptureRequest_free" + cam);
    expected.push_back("ACameraOutputTarget_free");
    expected.push_back("ACameraDevice_close" + cam);
    expected.push_back("AImageReader_delete");
    expected.push_back("ANativeWindow_release");
  }
  expected.push_back("ACameraManager_delete");
  expected.push_back("ACameraManager_deleteCameraIdList");
  std::vector<std::string> actual = Journal();
  for (std::string& e : actual) {
    // Object names of cameras stay; serial numbers of the others go.
    if (e.find(" cam=") == std::string::npos) {
      e = e.substr(0, e.find(' '));
    }
  }
  EXPECT_EQ(actual, expected);
}

TEST_F(Pipeline, ReopenBuildsAFreshSetAndOpenWhileOpenClosesFirst) {
  LogCapture log;
  SteppingCameras();
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);
  HostJournal_enable(1);
  OpenCameraSet(16, 8);
  CloseCameraSet();
  OpenCameraSet(16, 8);
  EXPECT_EQ(LiveOutputWorkers(), 1);
  OpenCameraSet(16, 8);  // while open
  EXPECT_EQ(LiveOutputWorkers(), 1) << "two workers";
  const std::vector<std::string> calls = JournalCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ACameraManager_create"), 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ACameraManager_delete"), 2);
  EXPECT_EQ(log.Count("qcam", "exit cam"), 2);
  EXPECT_EQ(log.Count("qcam", "init cam"), 3);
  for (const char* id : kSlotIds) {
    EXPECT_EQ(HostCamera_openCount(id), 3);
  }
  // The fresh set streams to the surface that survived the closes.
  const uint64_t posts = HostWindow_postCount(preview);
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(preview, posts + 1, kWait), 0);
}

TEST_F(Pipeline, TheFirstTwoIdsAreNeverOpened) {
  SteppingCameras();
  for (int width : {1920, 1921, 3840, 1280}) {
    OpenCameraSet(width, 16);
    CloseCameraSet();
  }
  EXPECT_EQ(HostCamera_openCount("0"), 0);
  EXPECT_EQ(HostCamera_openCount("1"), 0);
  EXPECT_EQ(HostCamera_openCount("2"), 4);
  EXPECT_EQ(HostCamera_openCount("5"), 4);
}

TEST_F(Pipeline, AShortCameraListOpensOnlyTheSlotsItHas) {
  LogCapture log;
  for (int count : {4, 2, 0}) {
    const char* ids[] = {"front", "rear", "left", "right"};
    ASSERT_EQ(HostCamera_setIds(ids, count), 0);
    OpenCameraSet(16, 8);
    EXPECT_EQ(HostCamera_isOpen("left"), count > 2 ? 1 : 0);
    EXPECT_EQ(HostCamera_isOpen("right"), count > 3 ? 1 : 0);
    EXPECT_EQ(HostCamera_isOpen("front") + HostCamera_isOpen("rear"), 0);
    CloseCameraSet();
  }
  EXPECT_EQ(log.Count("qcam", "camera slot 2: the platform lists 4 cameras, none at position 4"), 1);
  EXPECT_EQ(log.CountPrefix("qcam", "camera slot "), 2 + 4 + 4);
  // TearDown checks that close freed exactly what was opened.
}

TEST_F(Pipeline, FailuresOfTheManagerCamerasAndReadersLeaveTheRestRunning) {
  LogCapture log;
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);

  HostCamera_failManagerCreate(1);
  HostJournal_enable(1);
  OpenCameraSet(16, 8);
  EXPECT_EQ(log.Count("qcam", "ACameraManager_create failed"), 1);
  // Frame allocated and worker started all the same: the cleared frame shows.
  ASSERT_EQ(HostWindow_waitForPosts(preview, 1, kWait), 0);
  CloseCameraSet();
  EXPECT_EQ(log.Count("qcam", "exit cam"), 1);
  const std::vector<std::string> calls = JournalCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ACameraManager_delete"), 0);

  // One camera refuses to open, one reader is refused, one reader window.
  SteppingCameras();
  HostCameraConfig refusing;
  HostCamera_defaultConfig(&refusing);
  refusing.stepMode = 1;
  refusing.openError = -10010;  // in use
  ASSERT_EQ(HostCamera_configure("3", &refusing), 0);
  HostImageReader_failNew(1);
  OpenCameraSet(16, 8);
  EXPECT_EQ(log.Count("qcam", "AImageReader_new"), 1);
  Step("4");
  Step("5");
  {
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    EXPECT_EQ(mChEnable[2] + mChEnable[3], 2);
  }
  CloseCameraSet();
  HostImageReader_failGetWindow(1);
  OpenCameraSet(16, 8);
  EXPECT_EQ(log.Count("qcam", "AImageReader_getWindow failed"), 1);
  Step("5");
  CloseCameraSet();
}

TEST_F(Pipeline, CameraCallbacksReport) {
  LogCapture log;
  SteppingCameras();
  HostCameraConfig partial;
  HostCamera_defaultConfig(&partial);
  partial.stepMode = 1;
  partial.partialResults = 1;
  ASSERT_EQ(HostCamera_configure("2", &partial), 0);
  OpenCameraSet(16, 8);
  Step("2");
  ASSERT_EQ(HostCamera_failCaptures("3", 1), 0);
  ASSERT_EQ(HostCamera_step("3", 1), 0);
  // A failed capture delivers no frame: wait for the step itself, or the
  // close below may come first and abort the sequence before it captured.
  ASSERT_EQ(HostCamera_waitStepsDone("3", kWait), 0);
  ASSERT_EQ(HostCamera_disconnect("4"), 0);
  ASSERT_EQ(HostCamera_reportError("5", 4), 0);
  CloseCameraSet();  // drains every camera's pending callbacks
  EXPECT_EQ(log.Count("qcam", "Capture Progressed"), 1);
  EXPECT_EQ(log.Count("qcam", "Capture Failed"), 1);
  EXPECT_EQ(log.Count("qcam", "onDisconnected"), 1);
  EXPECT_EQ(log.Count("qcam", "error 4"), 1);
  EXPECT_EQ(log.Count("qcam", "Session active"), 4);
  EXPECT_EQ(log.Count("qcam", "Session closed"), 4);
  EXPECT_GE(log.Count("qcam", "Session ready"), 4);
  // Cameras 2 and 3 captured (3's capture failed); 4 and 5 never did.
  EXPECT_EQ(log.Count("qcam", "onCaptureSequenceCompleted 0"), 2);
  EXPECT_EQ(log.Count("qcam", "onCaptureSequenceAborted"), 2);
}

TEST_F(Pipeline, FramesOfAnotherSizeAreNotComposed) {
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

// Frames still reach the readers after stopRepeating and after the camera
// closed; deleting a reader then waits for its listener. A held call (one
// the reader's thread took up just before the app deleted the reader) is
// made only once the deletion has begun, so close must keep every listener
// away from a reader it deletes. Many times over, while cameras stream,
// with and without held calls.
TEST_F(Pipeline, ClosingWhileListenerCallsAreInFlightNeverDeadlocks) {
  SteppingCameras();
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);
  OpenCameraSet(16, 8);
  HostImageReader_holdListenersUntilDelete(1);
  for (const char* id : kSlotIds) {
    Capture(id);
  }
  HostImageReader_holdListenersUntilDelete(0);
  CloseCameraSet();  // each held call runs once its reader's deletion has begun
  EXPECT_EQ(HostImageReader_waitIdle(kWait), 0);
  EXPECT_EQ(CompletedSets(), 0u) << "a frame was composed from a reader being deleted";

  for (const char* id : kSlotIds) {
    HostCameraConfig fast;
    HostCamera_defaultConfig(&fast);
    fast.framesPerSecond = 1000;
    ASSERT_EQ(HostCamera_configure(id, &fast), 0);
  }
  for (int round = 0; round < 30; ++round) {
    OpenCameraSet(16, 8);
    for (const char* id : kSlotIds) {
      ASSERT_EQ(HostCamera_waitFramesDelivered(id, HostCamera_framesDelivered(id) + 2, kWait), 0);
    }
    HostImageReader_holdListenersUntilDelete(round % 3 == 0 ? 1 : 0);
    for (const char* id : kSlotIds) {
      ASSERT_EQ(HostCamera_waitFramesDelivered(id, HostCamera_framesDelivered(id) + 1, kWait), 0);
    }
    HostImageReader_holdListenersUntilDelete(0);
    CloseCameraSet();
  }
  EXPECT_EQ(HostImageReader_waitIdle(kWait), 0);
  EXPECT_GT(HostWindow_postCount(preview), 1u) << "the streaming rounds composed nothing";
}

// The stand-in does what the platform does with a reader's listener: its
// call may come after stopRepeating and after the camera closed, and
// AImageReader_delete waits for it.
TEST_F(Pipeline, AListenerCallMayComeAfterTheCameraClosedAndDeleteWaitsForIt) {
  AImageReader* reader = nullptr;
  ASSERT_EQ(AImageReader_new(8, 4, AIMAGE_FORMAT_YUV_420_888, 1, &reader), AMEDIA_OK);
  struct Seen {
    std::atomic<bool> cameraClosed{false};
    std::atomic<int> calls{0};
    std::atomic<int> callsAfterClose{0};
  } seen;
  AImageReader_ImageListener listener{&seen, [](void* context, AImageReader*) {
                                        auto* s = static_cast<Seen*>(context);
                                        s->callsAfterClose += s->cameraClosed ? 1 : 0;
                                        ++s->calls;
                                      }};
  ASSERT_EQ(AImageReader_setImageListener(reader, &listener), AMEDIA_OK);
  ANativeWindow* window = nullptr;
  ASSERT_EQ(AImageReader_getWindow(reader, &window), AMEDIA_OK);
  OneCamera camera = StreamCameraTwoInto(window);
  HostImageReader_holdListenersUntilDelete(1);
  Capture("2");
  HostImageReader_holdListenersUntilDelete(0);
  CloseCamera(camera);
  seen.cameraClosed = true;
  EXPECT_EQ(seen.calls, 0);
  AImageReader_delete(reader);
  EXPECT_EQ(seen.calls, 1) << "delete returned before the listener call it had begun";
  EXPECT_EQ(seen.callsAfterClose, 1);
  ACameraManager_delete(camera.manager);
}

// A reader whose listener acquires an image, deleted while a call of that
// listener is under way.
void DeleteAReaderWhoseListenerNeedsIt() {
  AImageReader* reader = nullptr;
  AImageReader_new(8, 4, AIMAGE_FORMAT_YUV_420_888, 1, &reader);
  AImageReader_ImageListener listener{nullptr, [](void*, AImageReader* r) {
                                        AImage* image = nullptr;
                                        AImageReader_acquireNextImage(r, &image);
                                      }};
  AImageReader_setImageListener(reader, &listener);
  ANativeWindow* window = nullptr;
  AImageReader_getWindow(reader, &window);
  OneCamera camera = StreamCameraTwoInto(window);
  HostImageReader_holdListenersUntilDelete(1);
  Capture("2");
  CloseCamera(camera);
  AImageReader_delete(reader);
}

// A listener that needs its reader while AImageReader_delete waits for it
// would hang on a device; the stand-in stops the process with the reason.
TEST(PipelineDeathTest, AListenerThatNeedsItsReaderDuringDeleteIsTheDeadlock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_EQ(HostCamera_reset(), 0);
  EXPECT_DEATH(DeleteAReaderWhoseListenerNeedsIt(),
               "deadlock: the listener of reader [0-9]+ needs the reader's lock");
}

TEST_F(Pipeline, ImageReadersHoldOneImageAndCallTheListenerOnAThreadOfTheirOwn) {
  AImageReader* reader = nullptr;
  ASSERT_EQ(AImageReader_new(8, 4, AIMAGE_FORMAT_YUV_420_888, 1, &reader), AMEDIA_OK);
  struct Seen {
    std::mutex mutex;
    std::thread::id thread;
    int calls = 0;
  } seen;
  AImageReader_ImageListener listener{&seen, [](void* context, AImageReader*) {
                                        auto* s = static_cast<Seen*>(context);
                                        std::lock_guard<std::mutex> lock(s->mutex);
                                        s->thread = std::this_thread::get_id();
                                        ++s->calls;
                                      }};
  ASSERT_EQ(AImageReader_setImageListener(reader, &listener), AMEDIA_OK);
  ANativeWindow* window = nullptr;
  ASSERT_EQ(AImageReader_getWindow(reader, &window), AMEDIA_OK);
  OneCamera camera = StreamCameraTwoInto(window);
  Step("2");
  AImage* held = nullptr;
  ASSERT_EQ(AImageReader_acquireNextImage(reader, &held), AMEDIA_OK);
  int32_t planes = 0;
  int32_t pixelStride = 0;
  uint8_t* v = nullptr;
  uint8_t* u = nullptr;
  int length = 0;
  EXPECT_EQ(AImage_getNumberOfPlanes(held, &planes), AMEDIA_OK);
  EXPECT_EQ(planes, 3);
  EXPECT_EQ(AImage_getPlanePixelStride(held, 2, &pixelStride), AMEDIA_OK);
  EXPECT_EQ(pixelStride, 2);
  AImage_getPlaneData(held, 2, &v, &length);
  AImage_getPlaneData(held, 1, &u, &length);
  EXPECT_EQ(u, v + 1) << "chroma not laid out as NV21";
  Step("2");
  AImage* second = nullptr;
  EXPECT_EQ(AImageReader_acquireNextImage(reader, &second), AMEDIA_IMGREADER_MAX_IMAGES_ACQUIRED);
  std::thread::id listenerThread;
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    listenerThread = seen.thread;
  }
  AImage_delete(held);
  EXPECT_EQ(AImageReader_acquireNextImage(reader, &second), AMEDIA_OK);
  AImage_delete(second);
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    EXPECT_EQ(seen.calls, 2);
    EXPECT_NE(seen.thread, std::this_thread::get_id());
    EXPECT_EQ(seen.thread, listenerThread) << "every call on the reader's one thread";
  }
  CloseCamera(camera);
  AImageReader_delete(reader);
  ACameraManager_delete(camera.manager);
}

}  // namespace
