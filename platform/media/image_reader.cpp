// Image readers: the consumer end of a window that a camera fills. A reader
// hands out at most maxImages images at a time. Images hold no memory of
// their own: they wrap frames of the window's pool, so streaming allocates
// nothing.
//
// As on the platform, each reader calls its listener on a thread of its own:
// a queued frame posts a call (with the listener set at that moment) that
// the reader's thread makes later. A frame queued before stopRepeating, or
// before the camera closed, may therefore reach the listener after those
// calls have returned. AImageReader_delete holds the reader's lock while it
// stops that thread and waits for a listener call in progress, and the
// listener needs the same lock to acquire or delete an image: a listener
// still running when its reader is deleted deadlocks on the platform. The
// stand-in finds that case and stops the process with a message instead of
// hanging.
#include <media/NdkImage.h>
#include <media/NdkImageReader.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "host_platform/host_platform.h"
#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"

struct AImage {
  AImageReader* reader = nullptr;
  HostFrame* frame = nullptr;  // null while the image is not handed out
};

// A listener call posted for the reader's thread.
struct ListenerCall {
  AImageReader_ImageListener listener;
  bool heldUntilDelete;  // see HostImageReader_holdListenersUntilDelete
};

struct AImageReader {
  int64_t id = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t format = 0;
  int32_t maxImages = 0;
  ANativeWindow* window = nullptr;  // the reader's own reference

  // The reader's lock: images, and the whole of AImageReader_delete.
  std::mutex mutex;
  int32_t acquired = 0;
  bool deleted = false;  // freed once the last image handed out is deleted
  bool threadEnded = false;  // and once its thread has ended
  std::vector<std::unique_ptr<AImage>> images;
  // Set while AImageReader_delete holds the lock and waits for the thread.
  std::atomic<bool> deleteWaits{false};

  // The listener and the calls posted for the reader's thread.
  std::mutex callMutex;
  std::condition_variable callPosted;
  AImageReader_ImageListener listener{};
  std::deque<ListenerCall> calls;
  bool stopping = false;  // delete has begun: no further call is made
  bool deletedByOwnListener = false;  // the thread frees the reader as it ends
  std::thread thread;
};

namespace {

std::atomic<int32_t> gFailNew{0};
std::atomic<int32_t> gFailGetWindow{0};
std::atomic<int32_t> gLiveReaders{0};
std::atomic<int32_t> gLiveImages{0};
std::atomic<int64_t> gNextReaderId{1};
std::atomic<bool> gHoldUntilDelete{false};

// Listener calls posted and not yet returned (or dropped), over all readers.
std::mutex gIdleMutex;
std::condition_variable gIdleChanged;
int64_t gCallsOutstanding = 0;

// The reader whose thread this is, on a reader's thread.
thread_local AImageReader* tReaderOfThisThread = nullptr;

void CountCalls(int64_t change) {
  std::lock_guard<std::mutex> lock(gIdleMutex);
  gCallsOutstanding += change;
  gIdleChanged.notify_all();
}

bool TakeFailure(std::atomic<int32_t>& counter) {
  int32_t left = counter.load();
  while (left > 0) {
    if (counter.compare_exchange_weak(left, left - 1)) {
      return true;
    }
  }
  return false;
}

void FreeReader(AImageReader* reader) {
  HostWindow_drop(reader->window);
  delete reader;
  --gLiveReaders;
}

// The reader's lock, taken by calls a listener makes. On the reader's own
// thread, while AImageReader_delete holds the lock waiting for that very
// thread, the platform would wait forever: reported and stopped instead.
std::unique_lock<std::mutex> LockReader(AImageReader* reader) {
  std::unique_lock<std::mutex> lock(reader->mutex, std::defer_lock);
  if (tReaderOfThisThread != reader) {
    lock.lock();
    return lock;
  }
  while (!lock.try_lock()) {
    if (reader->deleteWaits) {
      HOSTPLAT_LOGE("deadlock: the listener of reader %lld needs the reader's lock, which "
                    "AImageReader_delete holds while it waits for this listener",
                    static_cast<long long>(reader->id));
      std::fprintf(stderr,
                   "hostplat: deadlock: the listener of reader %lld needs the reader's lock, which "
                   "AImageReader_delete holds while it waits for this listener\n",
                   static_cast<long long>(reader->id));
      std::abort();
    }
    std::this_thread::yield();
  }
  return lock;
}

// Called on the camera's thread for each queued frame: posts a listener call.
void OnFrameAvailable(void* context) {
  auto* reader = static_cast<AImageReader*>(context);
  std::lock_guard<std::mutex> lock(reader->callMutex);
  if (reader->stopping || reader->listener.onImageAvailable == nullptr) {
    return;
  }
  reader->calls.push_back(ListenerCall{reader->listener, gHoldUntilDelete.load()});
  CountCalls(1);
  reader->callPosted.notify_all();
}

// The reader's thread: makes the posted calls in order until delete stops
// it; calls still posted then are dropped, as a stopped looper drops them,
// except those held for that moment.
void RunReaderThread(AImageReader* reader) {
  tReaderOfThisThread = reader;
  std::unique_lock<std::mutex> lock(reader->callMutex);
  for (;;) {
    reader->callPosted.wait(lock, [&] { return reader->stopping || !reader->calls.empty(); });
    ListenerCall call{};
    if (reader->stopping) {
      const auto held = std::find_if(reader->calls.begin(), reader->calls.end(),
                                     [](const ListenerCall& c) { return c.heldUntilDelete; });
      if (held == reader->calls.end()) {
        break;
      }
      call = *held;
      reader->calls.erase(held);
    } else {
      call = reader->calls.front();
      reader->calls.pop_front();
      if (call.heldUntilDelete) {
        reader->callPosted.wait(lock, [&] { return reader->stopping; });
      }
    }
    lock.unlock();
    call.listener.onImageAvailable(call.listener.context, reader);
    lock.lock();
    CountCalls(-1);
  }
  CountCalls(-static_cast<int64_t>(reader->calls.size()));
  reader->calls.clear();
  if (!reader->deletedByOwnListener) {
    return;  // AImageReader_delete waits for this thread and frees the reader
  }
  lock.unlock();
  bool freeNow = false;
  {
    std::lock_guard<std::mutex> readerLock(reader->mutex);
    reader->threadEnded = true;
    freeNow = reader->acquired == 0;
  }
  if (freeNow) {
    FreeReader(reader);
  }
}

bool ValidImage(const AImage* image) { return image != nullptr && image->frame != nullptr; }

}  // namespace

extern "C" {

media_status_t AImageReader_new(int32_t width, int32_t height, int32_t format, int32_t maxImages,
                                AImageReader** reader) {
  if (reader == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *reader = nullptr;
  if (width <= 0 || height <= 0 || maxImages < 1 || maxImages > 64 ||
      (format != AIMAGE_FORMAT_YUV_420_888 && format != AIMAGE_FORMAT_RGBA_8888 &&
       format != AIMAGE_FORMAT_RGBX_8888)) {
    HOSTPLAT_LOGE("AImageReader_new: unsupported %dx%d format %d maxImages %d", width, height,
                  format, maxImages);
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  if (TakeFailure(gFailNew)) {
    return AMEDIA_ERROR_UNKNOWN;
  }
  auto* created = new (std::nothrow) AImageReader();
  if (created == nullptr) {
    return AMEDIA_ERROR_UNKNOWN;
  }
  created->window = HostWindow_createConsumer(width, height, format, maxImages);
  if (created->window == nullptr) {
    delete created;
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  created->id = gNextReaderId++;
  created->width = width;
  created->height = height;
  created->format = format;
  created->maxImages = maxImages;
  for (int32_t i = 0; i < maxImages; ++i) {
    created->images.push_back(std::make_unique<AImage>());
    created->images.back()->reader = created;
  }
  try {
    created->thread = std::thread(RunReaderThread, created);
  } catch (const std::system_error&) {
    HostWindow_drop(created->window);
    delete created;
    return AMEDIA_ERROR_UNKNOWN;
  }
  HostWindow_setFrameAvailable(created->window, OnFrameAvailable, created);
  ++gLiveReaders;
  HostJournal_record("AImageReader_new", "reader=%lld win=%lld", static_cast<long long>(created->id),
                     static_cast<long long>(HostWindow_id(created->window)));
  *reader = created;
  return AMEDIA_OK;
}

void AImageReader_delete(AImageReader* reader) {
  if (reader == nullptr) {
    return;
  }
  HostJournal_record("AImageReader_delete", "reader=%lld", static_cast<long long>(reader->id));
  // The camera's later frames are refused.
  HostWindow_setFrameAvailable(reader->window, nullptr, nullptr);
  HostWindow_abandon(reader->window);
  bool freeNow = false;
  {
    // As the platform does: the reader's lock is held while the reader's
    // thread is stopped and a listener call in progress (or one posted
    // before the listener was cleared and taken up) is waited for.
    std::lock_guard<std::mutex> lock(reader->mutex);
    const bool ownListener = tReaderOfThisThread == reader;
    {
      std::lock_guard<std::mutex> callLock(reader->callMutex);
      reader->listener = AImageReader_ImageListener{};
      reader->stopping = true;
      reader->deletedByOwnListener = ownListener;
      reader->callPosted.notify_all();
    }
    if (ownListener) {
      // A listener deleting its own reader: its thread cannot wait for
      // itself. It ends once the listener returns, and frees the reader.
      reader->thread.detach();
    } else {
      reader->deleteWaits = true;
      reader->thread.join();
      reader->deleteWaits = false;
      reader->threadEnded = true;
    }
    reader->deleted = true;
    freeNow = reader->acquired == 0 && reader->threadEnded;
  }
  if (freeNow) {
    FreeReader(reader);
  }
}

media_status_t AImageReader_getWindow(AImageReader* reader, ANativeWindow** window) {
  if (reader == nullptr || window == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  if (TakeFailure(gFailGetWindow)) {
    *window = nullptr;
    return AMEDIA_ERROR_UNKNOWN;
  }
  HostJournal_record("AImageReader_getWindow", "reader=%lld win=%lld",
                     static_cast<long long>(reader->id),
                     static_cast<long long>(HostWindow_id(reader->window)));
  *window = reader->window;
  return AMEDIA_OK;
}

media_status_t AImageReader_getWidth(const AImageReader* reader, int32_t* width) {
  if (reader == nullptr || width == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *width = reader->width;
  return AMEDIA_OK;
}

media_status_t AImageReader_getHeight(const AImageReader* reader, int32_t* height) {
  if (reader == nullptr || height == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *height = reader->height;
  return AMEDIA_OK;
}

media_status_t AImageReader_getFormat(const AImageReader* reader, int32_t* format) {
  if (reader == nullptr || format == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *format = reader->format;
  return AMEDIA_OK;
}

media_status_t AImageReader_getMaxImages(const AImageReader* reader, int32_t* maxImages) {
  if (reader == nullptr || maxImages == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *maxImages = reader->maxImages;
  return AMEDIA_OK;
}

media_status_t AImageReader_acquireNextImage(AImageReader* reader, AImage** image) {
  if (reader == nullptr || image == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *image = nullptr;
  const std::unique_lock<std::mutex> lock = LockReader(reader);
  if (reader->deleted) {
    return AMEDIA_ERROR_INVALID_OBJECT;
  }
  if (reader->acquired >= reader->maxImages) {
    return AMEDIA_IMGREADER_MAX_IMAGES_ACQUIRED;
  }
  HostFrame* frame = nullptr;
  if (HostWindow_acquireFrame(reader->window, &frame) != 0) {
    return AMEDIA_IMGREADER_NO_BUFFER_AVAILABLE;
  }
  for (auto& slot : reader->images) {
    if (slot->frame == nullptr) {
      slot->frame = frame;
      ++reader->acquired;
      ++gLiveImages;
      *image = slot.get();
      return AMEDIA_OK;
    }
  }
  // Unreachable while acquired < maxImages; give the frame back all the same.
  HostWindow_releaseFrame(reader->window, frame);
  return AMEDIA_IMGREADER_MAX_IMAGES_ACQUIRED;
}

media_status_t AImageReader_acquireLatestImage(AImageReader* reader, AImage** image) {
  // The window keeps only the newest queued frame, so the next is the latest.
  return AImageReader_acquireNextImage(reader, image);
}

media_status_t AImageReader_setImageListener(AImageReader* reader,
                                             AImageReader_ImageListener* listener) {
  if (reader == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  HostJournal_record("AImageReader_setImageListener", "reader=%lld",
                     static_cast<long long>(reader->id));
  const std::unique_lock<std::mutex> lock = LockReader(reader);
  std::lock_guard<std::mutex> callLock(reader->callMutex);
  reader->listener = listener != nullptr ? *listener : AImageReader_ImageListener{};
  return AMEDIA_OK;
}

void AImage_delete(AImage* image) {
  if (!ValidImage(image)) {
    return;
  }
  AImageReader* reader = image->reader;
  bool freeReader = false;
  {
    const std::unique_lock<std::mutex> lock = LockReader(reader);
    HostWindow_releaseFrame(reader->window, image->frame);
    image->frame = nullptr;
    --reader->acquired;
    --gLiveImages;
    freeReader = reader->deleted && reader->threadEnded && reader->acquired == 0;
  }
  if (freeReader) {
    FreeReader(reader);
  }
}

media_status_t AImage_getWidth(const AImage* image, int32_t* width) {
  if (!ValidImage(image) || width == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *width = image->frame->width;
  return AMEDIA_OK;
}

media_status_t AImage_getHeight(const AImage* image, int32_t* height) {
  if (!ValidImage(image) || height == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *height = image->frame->height;
  return AMEDIA_OK;
}

media_status_t AImage_getFormat(const AImage* image, int32_t* format) {
  if (!ValidImage(image) || format == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *format = image->frame->format;
  return AMEDIA_OK;
}

media_status_t AImage_getCropRect(const AImage* image, AImageCropRect* rect) {
  if (!ValidImage(image) || rect == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *rect = AImageCropRect{0, 0, image->frame->width, image->frame->height};
  return AMEDIA_OK;
}

media_status_t AImage_getTimestamp(const AImage* image, int64_t* timestampNs) {
  if (!ValidImage(image) || timestampNs == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *timestampNs = image->frame->timestampNs;
  return AMEDIA_OK;
}

media_status_t AImage_getNumberOfPlanes(const AImage* image, int32_t* numPlanes) {
  if (!ValidImage(image) || numPlanes == nullptr) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *numPlanes = image->frame->planeCount;
  return AMEDIA_OK;
}

media_status_t AImage_getPlanePixelStride(const AImage* image, int planeIdx, int32_t* pixelStride) {
  if (!ValidImage(image) || pixelStride == nullptr || planeIdx < 0 ||
      planeIdx >= image->frame->planeCount) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *pixelStride = image->frame->pixelStride[planeIdx];
  return AMEDIA_OK;
}

media_status_t AImage_getPlaneRowStride(const AImage* image, int planeIdx, int32_t* rowStride) {
  if (!ValidImage(image) || rowStride == nullptr || planeIdx < 0 ||
      planeIdx >= image->frame->planeCount) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *rowStride = image->frame->rowStride[planeIdx];
  return AMEDIA_OK;
}

media_status_t AImage_getPlaneData(const AImage* image, int planeIdx, uint8_t** data,
                                   int* dataLength) {
  if (!ValidImage(image) || data == nullptr || dataLength == nullptr || planeIdx < 0 ||
      planeIdx >= image->frame->planeCount) {
    return AMEDIA_ERROR_INVALID_PARAMETER;
  }
  *data = image->frame->planeData[planeIdx];
  *dataLength = image->frame->planeLength[planeIdx];
  return AMEDIA_OK;
}

void HostImageReader_failNew(int32_t count) { gFailNew = count; }
void HostImageReader_holdListenersUntilDelete(int32_t hold) { gHoldUntilDelete = hold != 0; }

int32_t HostImageReader_waitIdle(int32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(gIdleMutex);
  return gIdleChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [] { return gCallsOutstanding == 0; })
             ? 0
             : -ETIMEDOUT;
}
void HostImageReader_failGetWindow(int32_t count) { gFailGetWindow = count; }
int32_t HostImageReader_liveReaders(void) { return gLiveReaders; }
int32_t HostImageReader_liveImages(void) { return gLiveImages; }

}  // extern "C"
