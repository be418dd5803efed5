#pragma once
// Host-only control of the platform stand-ins (libandroid.so, libmediandk.so,
// libcamera2ndk.so). Tests and demo programs use it to set up the cameras the
// platform offers, to make them fail, stall or disconnect, and to look at what
// reached the windows. Nothing of this exists on a device; quadcam never
// includes it.
#include <stddef.h>
#include <stdint.h>

#include <android/native_window.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Windows (libandroid.so) ------------------------------------------ */

// A window such as a Java surface carries, backed by memory, with the given
// default buffer size and pixel format. The caller holds one reference.
ANativeWindow* HostWindow_create(int32_t width, int32_t height, int32_t format);
// The id to store in a Java surface's long field "nativeWindowId" so that
// ANativeWindow_fromSurface finds this window; ids are never reused.
int64_t HostWindow_surfaceId(ANativeWindow* window);
int32_t HostWindow_refCount(ANativeWindow* window);
// Windows of every kind (surfaces and image-reader windows) alive now.
int32_t HostWindow_liveCount(void);
// Locked buffers get a stride this many pixels wider than their width.
void HostWindow_setStridePadding(ANativeWindow* window, int32_t extraPixels);
// The next `count` locks fail with `error` (a negative errno); a negative
// count fails every lock until called again with 0.
void HostWindow_failLocks(ANativeWindow* window, int32_t count, int32_t error);
uint64_t HostWindow_lockAttempts(ANativeWindow* window);
// While blocked, ANativeWindow_lock waits (as on a device whose consumer
// holds every buffer) until called again with 0.
void HostWindow_blockLocks(ANativeWindow* window, int32_t blocked);
// Waits until some thread waits in a blocked lock: 0, or -ETIMEDOUT.
int32_t HostWindow_waitForBlockedLock(ANativeWindow* window, int32_t timeoutMs);

// A posted buffer: stride in pixels, bits covering the whole buffer.
typedef struct HostPostedFrame {
  int32_t width;
  int32_t height;
  int32_t stride;
  int32_t format;
  const uint8_t* bits;
  size_t size;
  uint64_t postNumber;      // 1, 2, ... for this window
  uint64_t globalSequence;  // order of posts across all windows
} HostPostedFrame;

// Called on the posting thread for every post, before unlockAndPost returns.
// The observer must not call back into the code that posts.
typedef void (*HostWindow_PostObserver)(void* context, const HostPostedFrame* frame);
void HostWindow_setPostObserver(ANativeWindow* window, HostWindow_PostObserver observer,
                                void* context);
uint64_t HostWindow_postCount(ANativeWindow* window);
// Waits until the window has seen `count` posts: 0, or -ETIMEDOUT.
int32_t HostWindow_waitForPosts(ANativeWindow* window, uint64_t count, int32_t timeoutMs);
// Copies the last posted buffer into dst (stride included). Returns the bytes
// copied, 0 when nothing was posted, or -ENOSPC when dst is too small; *info
// (bits set to null) describes the buffer.
int64_t HostWindow_copyLastPosted(ANativeWindow* window, HostPostedFrame* info, uint8_t* dst,
                                  size_t capacity);
// Bytes a buffer of this format needs, or 0 for formats the windows refuse.
size_t HostWindow_bufferBytes(int32_t format, int32_t stride, int32_t height);
// Value of every byte of a fresh buffer; bytes nobody wrote keep it.
#define HOST_WINDOW_FILL_BYTE 0xA5

/* ---- Journal of lifecycle calls (libandroid.so) ------------------------ */

// While enabled, every call that creates, opens, closes, frees, acquires or
// releases a platform object is recorded as "<function> <object>", e.g.
// "ACameraDevice_close cam=3". Per-frame calls are not recorded.
void HostJournal_enable(int32_t enabled);
void HostJournal_clear(void);
size_t HostJournal_count(void);
// Copies entry `index` (zero-terminated, cut to capacity); returns its length.
size_t HostJournal_entry(size_t index, char* text, size_t capacity);

/* ---- Cameras (libcamera2ndk.so) ---------------------------------------- */

typedef struct HostCameraConfig {
  int32_t framesPerSecond;  // streaming rate; default 30
  int32_t stepMode;         // 1: a frame only per HostCamera_step
  int32_t frameWidth;       // 0: the size of the target window
  int32_t frameHeight;
  int32_t rowPadding;       // bytes after every row (row stride - row bytes)
  int32_t chromaGap;        // bytes between the luma and the chroma rows
  int32_t truncateBytes;    // every plane's data length reported this much short
  int32_t openError;        // result of ACameraManager_openCamera (0: opens)
  int32_t partialResults;   // 1: onCaptureProgressed before each completion
  const char* sourceFile;   // raw NV21 frames at the frame size, looping; null: test pattern
} HostCameraConfig;

void HostCamera_defaultConfig(HostCameraConfig* config);
// The platform's camera list (default "0" to "5"). -EBUSY while a camera is open.
int32_t HostCamera_setIds(const char* const* ids, int32_t count);
// Settings of one camera, applied when it is next opened. -EINVAL for a bad
// value or an unreadable source file.
int32_t HostCamera_configure(const char* id, const HostCameraConfig* config);
// Default ids and settings, counters cleared. -EBUSY while a camera is open.
int32_t HostCamera_reset(void);
// The next `count` ACameraManager_create calls give null.
void HostCamera_failManagerCreate(int32_t count);
// Live actions on an open camera; -ENODEV when it is not open.
int32_t HostCamera_stall(const char* id, int32_t stalled);
int32_t HostCamera_step(const char* id, int32_t frames);
int32_t HostCamera_disconnect(const char* id);
int32_t HostCamera_reportError(const char* id, int32_t error);
int32_t HostCamera_failCaptures(const char* id, int32_t count);
// Frames queued into the camera's targets since the last reset. Their
// readers' listeners run later, on the readers' own threads: wait for them
// with HostImageReader_waitIdle.
uint64_t HostCamera_framesDelivered(const char* id);
int32_t HostCamera_waitFramesDelivered(const char* id, uint64_t count, int32_t timeoutMs);
// Waits until every step asked of the camera has been captured (delivered,
// failed or lost, its capture callbacks returned), or the camera closed:
// 0, or -ETIMEDOUT. A failed capture delivers no frame, so this is how a
// test knows that it happened.
int32_t HostCamera_waitStepsDone(const char* id, int32_t timeoutMs);
int32_t HostCamera_openCount(const char* id);
int32_t HostCamera_isOpen(const char* id);

typedef struct HostCameraObjects {
  int32_t managers;
  int32_t idLists;
  int32_t devices;
  int32_t sessions;
  int32_t containers;
  int32_t sessionOutputs;
  int32_t requests;
  int32_t outputTargets;
} HostCameraObjects;
// Camera objects created and not yet freed.
void HostCamera_liveObjects(HostCameraObjects* objects);

/* ---- Image readers (libmediandk.so) ------------------------------------ */

// Each reader calls its listener on a thread of its own, for every queued
// frame, with the listener set when the frame was queued; such a call may
// come after stopRepeating and after the camera closed. AImageReader_delete
// holds the reader's lock while it waits for a listener call in progress;
// a listener that then needs the lock (to acquire or delete an image) would
// wait forever on a device: the stand-in logs it and aborts.

void HostImageReader_failNew(int32_t count);
void HostImageReader_failGetWindow(int32_t count);
int32_t HostImageReader_liveReaders(void);
int32_t HostImageReader_liveImages(void);
// Waits until every listener call posted so far has returned (or was
// dropped by a delete): 0, or -ETIMEDOUT.
int32_t HostImageReader_waitIdle(int32_t timeoutMs);
// While set, the listener call of each frame queued from now on is held
// back and made only once AImageReader_delete of its reader has begun, as
// a call already taken up by the reader's thread when the app deletes the
// reader. Calls held this way stay held after the setting is cleared.
void HostImageReader_holdListenersUntilDelete(int32_t hold);

#ifdef __cplusplus
}
#endif
