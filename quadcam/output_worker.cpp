// Output side: two windows handed over by Java and one worker thread.
//
// The worker serves the preview window, then the record window (both from
// one read of the composed picture when both are set), then waits for the
// next complete set (or the stop request). Each window pointer is
// guarded by a mutex of its own, held only to swap it or to take a
// reference: the worker locks, copies and posts on its own reference, so a
// setter never waits for a window's consumer and a replaced window lives
// until the worker is done with it. The wait tests the worker's stop flag
// and the pending-set flag under gPreview_mutex, so neither a stop request
// nor a completed set that arrives while the worker copies is missed.
//
// Locking a window waits for as long as its consumer holds every buffer.
// closeCamera therefore waits for the worker only while it is outside a
// window lock: a worker inside one is left to finish on its own references
// (its window, its own record, the process-wide frame and locks, nothing
// that close frees) and to end when the lock returns, so closeCamera and the
// next openCamera never wait for a consumer.
#include "quadcam/output_worker.h"

#include <media/NdkImage.h>
#include <pthread.h>

#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "quadcam/frame_composition.h"
#include "quadcam/qcam_log.h"
#include "quadcam/qcam_state.h"
#include "quadcam/row_copy.h"

// The Java side's names for the two windows.
ANativeWindow* previewWindow = nullptr;
ANativeWindow* recordWindow = nullptr;

// The worker's run flag and the lock and signal of its hand-off.
std::mutex gPreview_mutex;
std::condition_variable gPreview_cond;
int32_t workerRunning = 0;

namespace {

constexpr int32_t kWindowFormatNv21 = 17;  // YCrCb 4:2:0 semi-planar
// A window whose lock keeps failing is retried after this pause rather than
// in a tight loop that would flood the log and hold a core.
constexpr std::chrono::milliseconds kLockRetryPause(10);

std::mutex previewWindowMutex;
std::mutex recordWindowMutex;

// One worker's own record, shared by the worker and the open/close caller
// so that it outlives whichever lets go of it last.
struct WorkerRecord {
  pthread_t thread{};
  // Under gPreview_mutex:
  bool stop = false;          // close asked the worker to end
  bool inWindowLock = false;  // waiting for a window (for its buffer, or for another worker)
  bool ended = false;
};

// The worker of the open set; touched only by the open/close caller.
std::shared_ptr<WorkerRecord> gWorker;

// Under gPreview_mutex: set while the worker of the open set waits for a set
// with none pending (WaitOutputWorkerIdle waits for it); worker threads
// alive, including one that close left to finish a window lock; windows a
// worker has locked or is locking. gWorkerStateCond tells of each change and
// of a worker entering a window lock.
bool gWorkerIdle = false;
int32_t gWorkerThreads = 0;
std::vector<ANativeWindow*> gWindowsInUse;
std::condition_variable gWorkerStateCond;

std::atomic<int32_t> gRunningWorkers{0};
std::atomic<bool> gFormatMismatchLogged{false};

bool WindowInUse(const ANativeWindow* window) {
  return std::find(gWindowsInUse.begin(), gWindowsInUse.end(), window) != gWindowsInUse.end();
}

void ReleaseWindowUse(ANativeWindow* window) {
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  const auto found = std::find(gWindowsInUse.begin(), gWindowsInUse.end(), window);
  if (found != gWindowsInUse.end()) {
    gWindowsInUse.erase(found);
  }
  gWorkerStateCond.notify_all();
}

// ANativeWindow_lock, marked for close as a wait it must not join. A worker
// that close left behind may still be inside the same window, and a window
// takes one lock at a time: the wait for it is marked the same way.
int32_t LockWindow(WorkerRecord& self, ANativeWindow* window, ANativeWindow_Buffer* buffer) {
  {
    std::unique_lock<std::mutex> lock(gPreview_mutex);
    self.inWindowLock = true;
    gWorkerStateCond.notify_all();
    gWorkerStateCond.wait(lock, [window] { return !WindowInUse(window); });
    gWindowsInUse.push_back(window);
  }
  const int32_t result = ANativeWindow_lock(window, buffer, nullptr);
  {
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    self.inWindowLock = false;
  }
  if (result != 0) {
    ReleaseWindowUse(window);
  }
  return result;
}

void UnlockAndPostWindow(ANativeWindow* window) {
  ANativeWindow_unlockAndPost(window);
  ReleaseWindowUse(window);
}

// The window a setter has set now, with a reference of the caller's own
// (released with ANativeWindow_release), or null. The window mutex is held
// only for this: locking a window may wait for as long as its consumer
// keeps every buffer, and a setter must never wait for that.
ANativeWindow* TakeWindow(OutputKind kind) {
  std::mutex& mutex = kind == OutputKind::kPreview ? previewWindowMutex : recordWindowMutex;
  std::lock_guard<std::mutex> windowLock(mutex);
  ANativeWindow* window = kind == OutputKind::kPreview ? previewWindow : recordWindow;
  if (window != nullptr) {
    ANativeWindow_acquire(window);
  }
  return window;
}

// Locks a window taken with TakeWindow. When the lock fails, logs it,
// gives the reference back and returns false.
bool LockTakenWindow(OutputKind kind, WorkerRecord& self, ANativeWindow* window,
                     ANativeWindow_Buffer* buffer) {
  const int32_t result = LockWindow(self, window, buffer);
  if (result == 0) {
    return true;
  }
  if (kind == OutputKind::kPreview) {
    QCAM_LOGE("ANativeWindow_lock drawWindow failed with error code %d\n", result);
  } else {
    QCAM_LOGE("ANativeWindow_lock recordWindow failed with error code %d\n", result);
  }
  ANativeWindow_release(window);
  return false;
}

void NoteCopyResult(int64_t written, const ANativeWindow_Buffer& buffer) {
  if (written < 0 && !gFormatMismatchLogged.exchange(true)) {
    QCAM_LOGE("window format %d cannot show the composed format %d", buffer.format,
              gLayout.format);
  }
}

// Copies the picture into a locked window, posts it and gives the
// reference back.
void FillAndPost(ANativeWindow* window, const ANativeWindow_Buffer& buffer) {
  {
    // Taken only once the buffer is ours: the listeners never wait for a
    // consumer either.
    std::unique_lock<std::shared_mutex> frameLock(gCombMutex);
    if (!dstComb.empty()) {
      NoteCopyResult(
          CopyPictureToWindow(dstComb, gLayout.format, gLayout.width, gLayout.height, buffer),
          buffer);
    }
  }
  UnlockAndPostWindow(window);
  ANativeWindow_release(window);
}

// Serves one window taken with TakeWindow (null: nothing to do): lock, copy,
// post, on a reference of the worker's own, so a setter that replaces or
// clears the window meanwhile neither waits nor frees it under the copy.
// False when the lock failed.
bool ServeWindow(OutputKind kind, WorkerRecord& self, ANativeWindow* window) {
  if (window == nullptr) {
    return true;
  }
  ANativeWindow_Buffer buffer;
  if (!LockTakenWindow(kind, self, window, &buffer)) {
    return false;
  }
  FillAndPost(window, buffer);
  return true;
}

bool StopAsked(const WorkerRecord& self) {
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  return self.stop;
}

// One pass: the preview, then the record window unless close asked the
// worker to end meanwhile (a worker that close left inside the preview's
// lock posts that one buffer and serves nothing more). With both set and
// both locked, one read of the composed picture fills the two buffers (the
// picture is far larger than the caches, so a second read would come from
// memory again); otherwise each window is served on its own as far as its
// lock allows. False when a lock failed. Called and returns with `lock`
// held.
bool ServeWindows(WorkerRecord& self, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  ANativeWindow* preview = TakeWindow(OutputKind::kPreview);
  ANativeWindow* record = TakeWindow(OutputKind::kRecord);
  bool served = true;
  if (preview == nullptr || record == nullptr || preview == record) {
    // One window at a time: only one is set, or both name the same window,
    // whose buffers are locked one at a time.
    served = ServeWindow(OutputKind::kPreview, self, preview);
    if (!served || StopAsked(self)) {
      if (record != nullptr) {
        ANativeWindow_release(record);
      }
    } else {
      served = ServeWindow(OutputKind::kRecord, self, record);
    }
  } else {
    ANativeWindow_Buffer previewBuffer;
    ANativeWindow_Buffer recordBuffer;
    if (!LockTakenWindow(OutputKind::kPreview, self, preview, &previewBuffer)) {
      ANativeWindow_release(record);
      served = false;
    } else if (StopAsked(self)) {
      ANativeWindow_release(record);
      FillAndPost(preview, previewBuffer);
    } else if (!LockTakenWindow(OutputKind::kRecord, self, record, &recordBuffer)) {
      FillAndPost(preview, previewBuffer);  // the preview of the pass still goes out
      served = false;
    } else {
      {
        std::unique_lock<std::shared_mutex> frameLock(gCombMutex);
        if (!dstComb.empty()) {
          int64_t previewBytes = 0;
          int64_t recordBytes = 0;
          CopyPictureToWindows(dstComb, gLayout.format, gLayout.width, gLayout.height,
                               previewBuffer, recordBuffer, &previewBytes, &recordBytes);
          NoteCopyResult(previewBytes, previewBuffer);
          NoteCopyResult(recordBytes, recordBuffer);
        }
      }
      UnlockAndPostWindow(preview);
      ANativeWindow_release(preview);
      UnlockAndPostWindow(record);
      ANativeWindow_release(record);
    }
  }
  lock.lock();
  return served;
}

void* outputWorker(void* argument) {
  const std::unique_ptr<std::shared_ptr<WorkerRecord>> handed(
      static_cast<std::shared_ptr<WorkerRecord>*>(argument));
  const std::shared_ptr<WorkerRecord> record = *handed;
  WorkerRecord& self = *record;
  std::unique_lock<std::mutex> lock(gPreview_mutex);
  while (!self.stop) {
    const bool served = ServeWindows(self, lock);
    if (self.stop) {
      break;
    }
    if (!served) {
      gPreview_cond.wait_for(lock, kLockRetryPause, [&self] { return self.stop; });
      continue;
    }
    gWorkerIdle = true;
    gWorkerStateCond.notify_all();
    gPreview_cond.wait(lock, [&self] { return self.stop || framesPending; });
    if (self.stop) {
      break;
    }
    gWorkerIdle = false;
    framesPending = false;
  }
  self.ended = true;
  --gWorkerThreads;
  gWorkerStateCond.notify_all();
  return nullptr;
}

int32_t WindowFormatFor(OutputKind kind) {
  if (kind == OutputKind::kRecord) {
    return kWindowFormatNv21;
  }
  if (previewFormat == AIMAGE_FORMAT_YUV_420_888) {
    return kWindowFormatNv21;
  }
  if (previewFormat == AIMAGE_FORMAT_RGBA_8888) {
    return WINDOW_FORMAT_RGBA_8888;
  }
  return 0;  // no geometry for other formats
}

}  // namespace

namespace {

// One run of rows from the picture into a window buffer.
struct RowRun {
  size_t dstOffset;
  size_t dstStride;
  const uint8_t* src;
  size_t srcStride;
  size_t rowBytes;
  size_t rows;
};

// How the picture reaches one locked window buffer: rows copied as they
// are (NV21 into NV21: luma then chroma; RGBA into RGBA), converted (RGBA
// into an NV21 window), or not at all.
struct WindowCopyPlan {
  enum Kind { kRefused, kRows, kRgbaToNv21 } kind = kRefused;
  RowRun runs[2] = {};
  size_t runCount = 0;
  int32_t convertWidth = 0;
  int32_t convertHeight = 0;
};

WindowCopyPlan PlanWindowCopy(const cv::Mat& picture, int32_t pictureFormat, int32_t camWidth,
                              int32_t camHeight, const ANativeWindow_Buffer& buffer) {
  WindowCopyPlan plan;
  if (buffer.bits == nullptr || buffer.width <= 0 || buffer.height <= 0 ||
      buffer.stride < buffer.width || camWidth <= 0 || camHeight <= 0) {
    return plan;
  }
  const size_t winW = static_cast<size_t>(buffer.width);
  const size_t winH = static_cast<size_t>(buffer.height);
  const size_t winStride = static_cast<size_t>(buffer.stride);
  const size_t picW = 2 * static_cast<size_t>(camWidth);
  const size_t picH = 2 * static_cast<size_t>(camHeight);
  const size_t picStride = picture.step[0];
  const bool nv21Window = buffer.format == kWindowFormatNv21 || buffer.format == AIMAGE_FORMAT_YUV_420_888;

  if (pictureFormat == AIMAGE_FORMAT_YUV_420_888 && nv21Window) {
    // Luma rows, then the chroma rows into the window's own chroma plane,
    // which starts after its luma rows. Where neither has row padding the
    // two runs are contiguous and CopyRows takes each as one block.
    const size_t rowBytes = std::min(picW, winW);
    plan.kind = WindowCopyPlan::kRows;
    plan.runs[0] = {0, winStride, picture.data, picStride, rowBytes, std::min(picH, winH)};
    plan.runs[1] = {winStride * winH, winStride, picture.data + picStride * picH, picStride,
                    rowBytes, std::min(static_cast<size_t>(camHeight), (winH + 1) / 2)};
    plan.runCount = 2;
    return plan;
  }
  if (pictureFormat == AIMAGE_FORMAT_RGBA_8888 &&
      (buffer.format == WINDOW_FORMAT_RGBA_8888 || buffer.format == WINDOW_FORMAT_RGBX_8888)) {
    plan.kind = WindowCopyPlan::kRows;
    plan.runs[0] = {0, winStride * 4, picture.data, picStride, std::min(picW, winW) * 4,
                    std::min(picH, winH)};
    plan.runCount = 1;
    return plan;
  }
  if (pictureFormat == AIMAGE_FORMAT_RGBA_8888 && nv21Window) {
    // The record window always takes NV21: convert rather than pour RGBA
    // bytes into it. Whole V/U pairs only, so an odd size cannot spill.
    plan.kind = WindowCopyPlan::kRgbaToNv21;
    plan.convertWidth = static_cast<int32_t>(std::min(picW, winW) & ~static_cast<size_t>(1));
    plan.convertHeight = static_cast<int32_t>(std::min(picH, winH) & ~static_cast<size_t>(1));
    return plan;
  }
  return plan;
}

int64_t RunBytes(const WindowCopyPlan& plan) {
  int64_t bytes = 0;
  for (size_t i = 0; i < plan.runCount; ++i) {
    bytes += static_cast<int64_t>(plan.runs[i].rowBytes * plan.runs[i].rows);
  }
  return bytes;
}

int64_t RunWindowCopy(const WindowCopyPlan& plan, const cv::Mat& picture,
                      const ANativeWindow_Buffer& buffer) {
  auto* bits = static_cast<uint8_t*>(buffer.bits);
  if (plan.kind == WindowCopyPlan::kRows) {
    for (size_t i = 0; i < plan.runCount; ++i) {
      const RowRun& run = plan.runs[i];
      CopyRows(bits + run.dstOffset, run.dstStride, run.src, run.srcStride, run.rowBytes, run.rows);
    }
    return RunBytes(plan);
  }
  if (plan.kind == WindowCopyPlan::kRgbaToNv21) {
    if (plan.convertWidth == 0 || plan.convertHeight == 0) {
      return 0;
    }
    const size_t winStride = static_cast<size_t>(buffer.stride);
    // RGBA in memory order R, G, B, A is what libyuv calls ABGR.
    libyuv::ABGRToNV21(picture.data, static_cast<int>(picture.step[0]), bits,
                       static_cast<int>(winStride),
                       bits + winStride * static_cast<size_t>(buffer.height),
                       static_cast<int>(winStride), plan.convertWidth, plan.convertHeight);
    return static_cast<int64_t>(plan.convertWidth) * plan.convertHeight * 3 / 2;
  }
  return -1;
}

// Whether two plans read the same rows of the picture, so one pass over
// them can feed both windows.
bool SameSourceRows(const WindowCopyPlan& a, const WindowCopyPlan& b) {
  if (a.kind != WindowCopyPlan::kRows || b.kind != WindowCopyPlan::kRows ||
      a.runCount != b.runCount) {
    return false;
  }
  for (size_t i = 0; i < a.runCount; ++i) {
    const RowRun& x = a.runs[i];
    const RowRun& y = b.runs[i];
    if (x.src != y.src || x.srcStride != y.srcStride || x.rowBytes != y.rowBytes ||
        x.rows != y.rows) {
      return false;
    }
  }
  return true;
}

}  // namespace

int64_t CopyPictureToWindow(const cv::Mat& picture, int32_t pictureFormat, int32_t camWidth,
                            int32_t camHeight, const ANativeWindow_Buffer& buffer) {
  return RunWindowCopy(PlanWindowCopy(picture, pictureFormat, camWidth, camHeight, buffer), picture,
                       buffer);
}

void CopyPictureToWindows(const cv::Mat& picture, int32_t pictureFormat, int32_t camWidth,
                          int32_t camHeight, const ANativeWindow_Buffer& first,
                          const ANativeWindow_Buffer& second, int64_t* firstBytes,
                          int64_t* secondBytes) {
  const WindowCopyPlan a = PlanWindowCopy(picture, pictureFormat, camWidth, camHeight, first);
  const WindowCopyPlan b = PlanWindowCopy(picture, pictureFormat, camWidth, camHeight, second);
  if (!SameSourceRows(a, b)) {
    *firstBytes = RunWindowCopy(a, picture, first);
    *secondBytes = RunWindowCopy(b, picture, second);
    return;
  }
  auto* firstBits = static_cast<uint8_t*>(first.bits);
  auto* secondBits = static_cast<uint8_t*>(second.bits);
  for (size_t i = 0; i < a.runCount; ++i) {
    const RowRun& x = a.runs[i];
    const RowRun& y = b.runs[i];
    CopyRowsTwice(firstBits + x.dstOffset, x.dstStride, secondBits + y.dstOffset, y.dstStride,
                  x.src, x.srcStride, x.rowBytes, x.rows);
  }
  *firstBytes = RunBytes(a);
  *secondBytes = RunBytes(b);
}

void SetOutputWindow(OutputKind kind, ANativeWindow* window, int32_t width, int32_t height) {
  std::mutex& mutex = kind == OutputKind::kPreview ? previewWindowMutex : recordWindowMutex;
  ANativeWindow*& slot = kind == OutputKind::kPreview ? previewWindow : recordWindow;
  ANativeWindow* earlier = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex);
    earlier = slot;
    slot = window;
    if (window != nullptr) {
      const int32_t format = WindowFormatFor(kind);
      if (width <= 0 || height <= 0 || width > kMaxCameraSide || height > kMaxCameraSide) {
        QCAM_LOGE("surface for %dx%d cameras: size refused, geometry left as it is", width, height);
      } else if (format != 0) {
        ANativeWindow_setBuffersGeometry(window, 2 * width, 2 * height, format);
      }
    }
  }
  if (earlier != nullptr) {
    ANativeWindow_release(earlier);
  }
}

void StartOutputWorker() {
  auto record = std::make_shared<WorkerRecord>();
  auto* handed = new (std::nothrow) std::shared_ptr<WorkerRecord>(record);
  {
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    workerRunning = 1;
    ++gWorkerThreads;  // counted from creation, so a test sees it at once
  }
  const int error =
      handed != nullptr ? pthread_create(&record->thread, nullptr, outputWorker, handed) : ENOMEM;
  if (error != 0) {
    delete handed;
    QCAM_LOGE("can't create thread: %s\n", std::strerror(error));
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    workerRunning = 0;
    --gWorkerThreads;
    gWorkerStateCond.notify_all();
    return;
  }
  ++gRunningWorkers;
  gWorker = std::move(record);
}

void StopOutputWorker() {
  const std::shared_ptr<WorkerRecord> worker = std::move(gWorker);
  std::unique_lock<std::mutex> lock(gPreview_mutex);
  workerRunning = 0;
  gWorkerIdle = false;
  if (worker == nullptr) {
    return;
  }
  worker->stop = true;
  --gRunningWorkers;
  gPreview_cond.notify_all();
  // Bounded: outside a window lock the worker only copies one picture.
  gWorkerStateCond.wait(lock, [&worker] { return worker->ended || worker->inWindowLock; });
  const bool ended = worker->ended;
  lock.unlock();
  if (ended) {
    pthread_join(worker->thread, nullptr);
  } else {
    QCAM_LOGD("output worker waits for a window's consumer: it ends on its own");
    pthread_detach(worker->thread);
  }
}

int32_t LiveOutputWorkers() { return gRunningWorkers; }

bool WaitOutputWorkersEnded(int32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(gPreview_mutex);
  return gWorkerStateCond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return gWorkerThreads == 0; });
}

bool WaitOutputWorkerIdle(int32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(gPreview_mutex);
  return gWorkerStateCond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] {
    return (gWorkerIdle && !framesPending) || workerRunning == 0;
  }) && workerRunning != 0;
}
