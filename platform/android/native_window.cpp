// Memory-backed native windows. Two kinds share one object:
//  - surface windows, as a Java surface carries them: a producer locks a
//    buffer, draws into it and posts it; tests read what was posted;
//  - consumer windows, the input end of an image reader: a camera dequeues
//    a frame, fills it and queues it for the reader.
// Reference counts live under one registry mutex so that looking a window up
// by its surface id can never revive a window that is being destroyed.
#include <android/native_window.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "host_platform/host_platform.h"
#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"
#include "platform/android/window_registry.h"

namespace {

constexpr int32_t kMaxSide = 16384;
// Bytes of a frame that nobody writes (row padding, gaps) carry this value,
// so a reader that ignores strides shows it.
constexpr uint8_t kFramePadByte = 0xEE;

struct SurfaceBuffer {
  std::vector<uint8_t> bytes;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  int32_t format = 0;
};

enum class SlotState { kFree, kDequeued, kQueued, kAcquired };

struct FrameSlot {
  HostFrame frame{};
  std::vector<uint8_t> storage;
  SlotState state = SlotState::kFree;
};

std::atomic<uint64_t> gGlobalPostSequence{0};

bool IsYuvFormat(int32_t format) {
  return format == 17 /* NV21 */ || format == 0x23 /* YUV_420_888 */;
}

}  // namespace

struct ANativeWindow {
  int64_t id = 0;  // set before the window is handed out, then constant
  bool consumer = false;

  std::mutex mutex;
  std::condition_variable changed;
  int32_t defaultWidth = 0;
  int32_t defaultHeight = 0;
  int32_t defaultFormat = 0;
  int32_t geometryWidth = 0;
  int32_t geometryHeight = 0;
  int32_t geometryFormat = 0;

  // Surface side.
  int32_t stridePadding = 0;
  SurfaceBuffer buffers[2];
  int front = -1;
  int locked = -1;
  uint64_t posts = 0;
  uint64_t lastSequence = 0;
  uint64_t lockAttempts = 0;
  int32_t failLocks = 0;
  int32_t lockError = 0;
  bool locksBlocked = false;  // a consumer that holds every buffer
  int32_t blockedLockers = 0;
  HostWindow_PostObserver observer = nullptr;
  void* observerContext = nullptr;

  // Consumer side.
  std::vector<std::unique_ptr<FrameSlot>> slots;
  int queued = -1;
  bool abandoned = false;
  HostWindow_FrameAvailable available = nullptr;
  void* availableContext = nullptr;
  int callbacksInFlight = 0;
  std::thread::id callbackThread;
};

namespace {

int32_t EffectiveWidth(const ANativeWindow* w) {
  return w->geometryWidth > 0 ? w->geometryWidth : w->defaultWidth;
}
int32_t EffectiveHeight(const ANativeWindow* w) {
  return w->geometryHeight > 0 ? w->geometryHeight : w->defaultHeight;
}
int32_t EffectiveFormat(const ANativeWindow* w) {
  return w->geometryFormat > 0 ? w->geometryFormat : w->defaultFormat;
}

FrameSlot* SlotOf(ANativeWindow* w, const HostFrame* frame, int* index) {
  for (size_t i = 0; i < w->slots.size(); ++i) {
    if (&w->slots[i]->frame == frame) {
      if (index != nullptr) {
        *index = static_cast<int>(i);
      }
      return w->slots[i].get();
    }
  }
  return nullptr;
}

// Lays out a frame of the given size and format in its slot's storage.
bool LayOutFrame(FrameSlot* slot, int32_t width, int32_t height, int32_t format,
                 int32_t rowPadding, int32_t chromaGap) {
  HostFrame& f = slot->frame;
  const size_t pad = static_cast<size_t>(rowPadding);
  size_t total = 0;
  if (format == 0x23) {
    const size_t evenWidth = (static_cast<size_t>(width) + 1) & ~static_cast<size_t>(1);
    const size_t stride = evenWidth + pad;
    const size_t chromaRows = (static_cast<size_t>(height) + 1) / 2;
    const size_t chromaStart = stride * static_cast<size_t>(height) + static_cast<size_t>(chromaGap);
    total = chromaStart + stride * chromaRows;
    if (slot->storage.size() != total) {
      slot->storage.assign(total, kFramePadByte);
    }
    uint8_t* base = slot->storage.data();
    f.planeCount = 3;
    f.planeData[0] = base;
    f.rowStride[0] = static_cast<int32_t>(stride);
    f.pixelStride[0] = 1;
    f.planeLength[0] = static_cast<int32_t>(stride * (static_cast<size_t>(height) - 1) +
                                            static_cast<size_t>(width));
    // NV21 order: V first. Plane 2 (V) starts the pairs, plane 1 (U) is one
    // byte later; each plane's length ends at its own last sample.
    const int32_t chromaLength = static_cast<int32_t>(stride * (chromaRows - 1) + evenWidth - 1);
    f.planeData[2] = base + chromaStart;
    f.planeData[1] = base + chromaStart + 1;
    for (int p = 1; p <= 2; ++p) {
      f.rowStride[p] = static_cast<int32_t>(stride);
      f.pixelStride[p] = 2;
      f.planeLength[p] = chromaLength;
    }
  } else if (format == 1 || format == 2) {
    const size_t stride = static_cast<size_t>(width) * 4 + pad;
    total = stride * static_cast<size_t>(height);
    if (slot->storage.size() != total) {
      slot->storage.assign(total, kFramePadByte);
    }
    f.planeCount = 1;
    f.planeData[0] = slot->storage.data();
    f.rowStride[0] = static_cast<int32_t>(stride);
    f.pixelStride[0] = 4;
    f.planeLength[0] = static_cast<int32_t>(stride * (static_cast<size_t>(height) - 1) +
                                            static_cast<size_t>(width) * 4);
    f.planeData[1] = f.planeData[2] = nullptr;
    f.planeLength[1] = f.planeLength[2] = 0;
  } else {
    return false;
  }
  f.width = width;
  f.height = height;
  f.format = format;
  return true;
}

}  // namespace

extern "C" {

size_t HostWindow_bufferBytes(int32_t format, int32_t stride, int32_t height) {
  if (stride <= 0 || height <= 0 || stride > kMaxSide * 2 || height > kMaxSide) {
    return 0;
  }
  const size_t s = static_cast<size_t>(stride);
  const size_t h = static_cast<size_t>(height);
  switch (format) {
    case WINDOW_FORMAT_RGBA_8888:
    case WINDOW_FORMAT_RGBX_8888:
      return s * 4 * h;
    case 3:  // RGB 888
      return s * 3 * h;
    case WINDOW_FORMAT_RGB_565:
      return s * 2 * h;
    default:
      if (IsYuvFormat(format)) {
        return s * h + s * ((h + 1) / 2);
      }
      return 0;
  }
}

ANativeWindow* HostWindow_create(int32_t width, int32_t height, int32_t format) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    HOSTPLAT_LOGE("HostWindow_create: bad size %dx%d", width, height);
    return nullptr;
  }
  auto* w = new (std::nothrow) ANativeWindow();
  if (w == nullptr) {
    return nullptr;
  }
  w->defaultWidth = width;
  w->defaultHeight = height;
  w->defaultFormat = format;
  RegisterWindow(w);
  return w;
}

ANativeWindow* HostWindow_createConsumer(int32_t width, int32_t height, int32_t format,
                                         int32_t maxAcquired) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || maxAcquired < 1 ||
      maxAcquired > 64) {
    return nullptr;
  }
  auto* w = new (std::nothrow) ANativeWindow();
  if (w == nullptr) {
    return nullptr;
  }
  w->consumer = true;
  w->defaultWidth = width;
  w->defaultHeight = height;
  w->defaultFormat = format;
  for (int32_t i = 0; i < maxAcquired + 2; ++i) {
    w->slots.push_back(std::make_unique<FrameSlot>());
  }
  RegisterWindow(w);
  return w;
}

}  // extern "C"

void DestroyWindow(ANativeWindow* window) { delete window; }
void SetWindowId(ANativeWindow* window, int64_t id) { window->id = id; }

extern "C" {

int64_t HostWindow_id(ANativeWindow* window) { return window != nullptr ? window->id : 0; }
int64_t HostWindow_surfaceId(ANativeWindow* window) { return HostWindow_id(window); }

int32_t HostWindow_isConsumer(ANativeWindow* window) {
  return window != nullptr && window->consumer ? 1 : 0;
}

void ANativeWindow_acquire(ANativeWindow* window) {
  if (window == nullptr) {
    HOSTPLAT_LOGE("ANativeWindow_acquire: null window");
    return;
  }
  HostJournal_record("ANativeWindow_acquire", "win=%lld", static_cast<long long>(window->id));
  HostWindow_retain(window);
}

void ANativeWindow_release(ANativeWindow* window) {
  if (window == nullptr) {
    HOSTPLAT_LOGE("ANativeWindow_release: null window");
    return;
  }
  HostJournal_record("ANativeWindow_release", "win=%lld", static_cast<long long>(window->id));
  HostWindow_drop(window);
}

int32_t ANativeWindow_getWidth(ANativeWindow* window) {
  if (window == nullptr) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  return EffectiveWidth(window);
}

int32_t ANativeWindow_getHeight(ANativeWindow* window) {
  if (window == nullptr) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  return EffectiveHeight(window);
}

int32_t ANativeWindow_getFormat(ANativeWindow* window) {
  if (window == nullptr) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  return EffectiveFormat(window);
}

int32_t ANativeWindow_setBuffersGeometry(ANativeWindow* window, int32_t width, int32_t height,
                                         int32_t format) {
  if (window == nullptr || width < 0 || height < 0 || width > kMaxSide || height > kMaxSide ||
      (width == 0) != (height == 0) || format < 0) {
    return -EINVAL;
  }
  HostJournal_record("ANativeWindow_setBuffersGeometry", "win=%lld %dx%d format=%d",
                     static_cast<long long>(window->id), width, height, format);
  std::lock_guard<std::mutex> lock(window->mutex);
  window->geometryWidth = width;
  window->geometryHeight = height;
  window->geometryFormat = format;
  return 0;
}

int32_t ANativeWindow_lock(ANativeWindow* window, ANativeWindow_Buffer* outBuffer,
                           ARect* inOutDirtyBounds) {
  if (window == nullptr || outBuffer == nullptr) {
    return -EINVAL;
  }
  std::unique_lock<std::mutex> lock(window->mutex);
  if (window->consumer) {
    return -EINVAL;
  }
  ++window->lockAttempts;
  if (window->locksBlocked) {
    // As a device's lock waits for a buffer while the consumer holds all.
    ++window->blockedLockers;
    window->changed.notify_all();
    window->changed.wait(lock, [window] { return !window->locksBlocked; });
    --window->blockedLockers;
  }
  if (window->locked >= 0) {
    HOSTPLAT_LOGE("ANativeWindow_lock: window already locked");
    return -EINVAL;
  }
  if (window->failLocks != 0) {
    if (window->failLocks > 0) {
      --window->failLocks;
    }
    return window->lockError;
  }
  const int32_t width = EffectiveWidth(window);
  const int32_t height = EffectiveHeight(window);
  const int32_t format = EffectiveFormat(window);
  const int32_t stride = width + window->stridePadding;
  const size_t bytes = HostWindow_bufferBytes(format, stride, height);
  if (bytes == 0) {
    return -EINVAL;
  }
  const int back = window->front == 0 ? 1 : 0;
  SurfaceBuffer& buffer = window->buffers[back];
  if (buffer.width != width || buffer.height != height || buffer.stride != stride ||
      buffer.format != format || buffer.bytes.size() != bytes) {
    try {
      // Exactly the buffer's size: a write past it is an overrun that the
      // address sanitizer reports.
      std::vector<uint8_t> fresh(bytes, HOST_WINDOW_FILL_BYTE);
      buffer.bytes.swap(fresh);
    } catch (const std::bad_alloc&) {
      return -ENOMEM;
    }
    buffer.width = width;
    buffer.height = height;
    buffer.stride = stride;
    buffer.format = format;
  }
  window->locked = back;
  outBuffer->width = width;
  outBuffer->height = height;
  outBuffer->stride = stride;
  outBuffer->format = format;
  outBuffer->bits = buffer.bytes.data();
  std::memset(outBuffer->reserved, 0, sizeof(outBuffer->reserved));
  if (inOutDirtyBounds != nullptr) {
    *inOutDirtyBounds = ARect{0, 0, width, height};
  }
  return 0;
}

int32_t ANativeWindow_unlockAndPost(ANativeWindow* window) {
  if (window == nullptr) {
    return -EINVAL;
  }
  HostPostedFrame posted{};
  HostWindow_PostObserver observer = nullptr;
  void* observerContext = nullptr;
  {
    std::lock_guard<std::mutex> lock(window->mutex);
    if (window->locked < 0) {
      HOSTPLAT_LOGE("ANativeWindow_unlockAndPost: window not locked");
      return -EINVAL;
    }
    window->front = window->locked;
    window->locked = -1;
    ++window->posts;
    window->lastSequence = ++gGlobalPostSequence;
    const SurfaceBuffer& buffer = window->buffers[window->front];
    posted = HostPostedFrame{buffer.width,          buffer.height, buffer.stride,
                             buffer.format,         buffer.bytes.data(), buffer.bytes.size(),
                             window->posts,         window->lastSequence};
    observer = window->observer;
    observerContext = window->observerContext;
  }
  // The posted buffer stays untouched until the next post of this window,
  // which only this (the one producer's) thread can make.
  if (observer != nullptr) {
    observer(observerContext, &posted);
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  window->changed.notify_all();
  return 0;
}

void HostWindow_setStridePadding(ANativeWindow* window, int32_t extraPixels) {
  if (window == nullptr || extraPixels < 0 || extraPixels > kMaxSide) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  window->stridePadding = extraPixels;
}

void HostWindow_failLocks(ANativeWindow* window, int32_t count, int32_t error) {
  if (window == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  window->failLocks = count;
  window->lockError = error < 0 ? error : -EIO;
}

void HostWindow_blockLocks(ANativeWindow* window, int32_t blocked) {
  if (window == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  window->locksBlocked = blocked != 0;
  window->changed.notify_all();
}

int32_t HostWindow_waitForBlockedLock(ANativeWindow* window, int32_t timeoutMs) {
  if (window == nullptr) {
    return -EINVAL;
  }
  std::unique_lock<std::mutex> lock(window->mutex);
  const bool reached = window->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                [&] { return window->blockedLockers > 0; });
  return reached ? 0 : -ETIMEDOUT;
}

uint64_t HostWindow_lockAttempts(ANativeWindow* window) {
  if (window == nullptr) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  return window->lockAttempts;
}

void HostWindow_setPostObserver(ANativeWindow* window, HostWindow_PostObserver observer,
                                void* context) {
  if (window == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  window->observer = observer;
  window->observerContext = context;
}

uint64_t HostWindow_postCount(ANativeWindow* window) {
  if (window == nullptr) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  return window->posts;
}

int32_t HostWindow_waitForPosts(ANativeWindow* window, uint64_t count, int32_t timeoutMs) {
  if (window == nullptr) {
    return -EINVAL;
  }
  std::unique_lock<std::mutex> lock(window->mutex);
  const bool reached = window->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                [&] { return window->posts >= count; });
  return reached ? 0 : -ETIMEDOUT;
}

int64_t HostWindow_copyLastPosted(ANativeWindow* window, HostPostedFrame* info, uint8_t* dst,
                                  size_t capacity) {
  if (window == nullptr) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  if (window->front < 0) {
    if (info != nullptr) {
      *info = HostPostedFrame{};
    }
    return 0;
  }
  const SurfaceBuffer& buffer = window->buffers[window->front];
  if (info != nullptr) {
    *info = HostPostedFrame{buffer.width,  buffer.height, buffer.stride,       buffer.format,
                            nullptr,       buffer.bytes.size(), window->posts, window->lastSequence};
  }
  if (dst == nullptr || capacity < buffer.bytes.size()) {
    return -ENOSPC;
  }
  std::memcpy(dst, buffer.bytes.data(), buffer.bytes.size());
  return static_cast<int64_t>(buffer.bytes.size());
}

/* Consumer side ------------------------------------------------------------ */

void HostWindow_setFrameAvailable(ANativeWindow* window, HostWindow_FrameAvailable callback,
                                  void* context) {
  if (window == nullptr) {
    return;
  }
  std::unique_lock<std::mutex> lock(window->mutex);
  window->available = callback;
  window->availableContext = context;
  if (callback == nullptr && window->callbacksInFlight > 0 &&
      window->callbackThread != std::this_thread::get_id()) {
    window->changed.wait(lock, [&] { return window->callbacksInFlight == 0; });
  }
}

int32_t HostWindow_dequeueFrame(ANativeWindow* window, int32_t width, int32_t height,
                                int32_t format, int32_t rowPadding, int32_t chromaGap,
                                HostFrame** frame) {
  if (window == nullptr || frame == nullptr || width <= 0 || height <= 0 || width > kMaxSide ||
      height > kMaxSide || rowPadding < 0 || rowPadding > 4096 || chromaGap < 0 ||
      chromaGap > (1 << 20)) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  if (!window->consumer) {
    return -EINVAL;
  }
  if (window->abandoned) {
    return -EPIPE;
  }
  for (auto& slot : window->slots) {
    if (slot->state != SlotState::kFree) {
      continue;
    }
    try {
      if (!LayOutFrame(slot.get(), width, height, format, rowPadding, chromaGap)) {
        return -EINVAL;
      }
    } catch (const std::bad_alloc&) {
      return -ENOMEM;
    }
    slot->state = SlotState::kDequeued;
    *frame = &slot->frame;
    return 0;
  }
  return -EAGAIN;
}

int32_t HostWindow_queueFrame(ANativeWindow* window, HostFrame* frame) {
  if (window == nullptr || frame == nullptr) {
    return -EINVAL;
  }
  HostWindow_FrameAvailable callback = nullptr;
  void* context = nullptr;
  {
    std::lock_guard<std::mutex> lock(window->mutex);
    int index = -1;
    FrameSlot* slot = SlotOf(window, frame, &index);
    if (slot == nullptr || slot->state != SlotState::kDequeued) {
      return -EINVAL;
    }
    if (window->abandoned) {
      slot->state = SlotState::kFree;
      return -EPIPE;
    }
    if (window->queued >= 0) {
      // The consumer has not taken the previous frame: it is dropped, as a
      // buffer queue in asynchronous mode drops it.
      window->slots[static_cast<size_t>(window->queued)]->state = SlotState::kFree;
    }
    window->queued = index;
    slot->state = SlotState::kQueued;
    callback = window->available;
    context = window->availableContext;
    if (callback != nullptr) {
      ++window->callbacksInFlight;
      window->callbackThread = std::this_thread::get_id();
    }
  }
  if (callback != nullptr) {
    callback(context);
    std::lock_guard<std::mutex> lock(window->mutex);
    --window->callbacksInFlight;
    window->changed.notify_all();
  }
  return 0;
}

void HostWindow_cancelFrame(ANativeWindow* window, HostFrame* frame) {
  if (window == nullptr || frame == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  FrameSlot* slot = SlotOf(window, frame, nullptr);
  if (slot != nullptr && slot->state == SlotState::kDequeued) {
    slot->state = SlotState::kFree;
  }
}

int32_t HostWindow_acquireFrame(ANativeWindow* window, HostFrame** frame) {
  if (window == nullptr || frame == nullptr) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  if (window->queued < 0) {
    return -EAGAIN;
  }
  FrameSlot* slot = window->slots[static_cast<size_t>(window->queued)].get();
  window->queued = -1;
  slot->state = SlotState::kAcquired;
  *frame = &slot->frame;
  return 0;
}

void HostWindow_releaseFrame(ANativeWindow* window, HostFrame* frame) {
  if (window == nullptr || frame == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  FrameSlot* slot = SlotOf(window, frame, nullptr);
  if (slot != nullptr && slot->state == SlotState::kAcquired) {
    slot->state = SlotState::kFree;
  }
}

void HostWindow_abandon(ANativeWindow* window) {
  if (window == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(window->mutex);
  window->abandoned = true;
  if (window->queued >= 0) {
    window->slots[static_cast<size_t>(window->queued)]->state = SlotState::kFree;
    window->queued = -1;
  }
}

}  // extern "C"
