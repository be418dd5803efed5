#pragma once
// How the stand-ins hand frames to each other: a camera (producer) fills
// frames that an image reader's window (consumer) queues for the reader, as
// the platform's buffer queue does between a camera and an image reader.
// Exported by libandroid.so for libcamera2ndk.so and libmediandk.so only.
#include <stddef.h>
#include <stdint.h>

#include <android/native_window.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HostFrame {
  int32_t width;
  int32_t height;
  int32_t format;
  int32_t planeCount;
  uint8_t* planeData[3];
  int32_t planeLength[3];
  int32_t rowStride[3];
  int32_t pixelStride[3];
  int64_t timestampNs;
} HostFrame;

typedef void (*HostWindow_FrameAvailable)(void* context);

// A consumer window whose pool has room for maxAcquired frames in the
// consumer's hands plus one queued and one being filled. Caller holds one
// reference.
ANativeWindow* HostWindow_createConsumer(int32_t width, int32_t height, int32_t format,
                                         int32_t maxAcquired);
int32_t HostWindow_isConsumer(ANativeWindow* window);
// Called on the producer's thread after each queued frame. Setting null
// detaches and waits for a call in progress on another thread to return.
void HostWindow_setFrameAvailable(ANativeWindow* window, HostWindow_FrameAvailable callback,
                                  void* context);
// Producer side. The frame is laid out for the size and format: YUV_420_888
// as NV21 (luma, then after `chromaGap` bytes V/U pairs, pixel stride 2, the
// luma row stride); RGBA/RGBX one plane. Rows end with rowPadding bytes.
// -EPIPE once the consumer is gone, -EAGAIN when no free frame, -EINVAL.
int32_t HostWindow_dequeueFrame(ANativeWindow* window, int32_t width, int32_t height,
                                int32_t format, int32_t rowPadding, int32_t chromaGap,
                                HostFrame** frame);
// Queues a filled frame (an older queued one is dropped) and calls the
// consumer's callback.
int32_t HostWindow_queueFrame(ANativeWindow* window, HostFrame* frame);
void HostWindow_cancelFrame(ANativeWindow* window, HostFrame* frame);
// Consumer side: -EAGAIN when nothing is queued.
int32_t HostWindow_acquireFrame(ANativeWindow* window, HostFrame** frame);
void HostWindow_releaseFrame(ANativeWindow* window, HostFrame* frame);
// Stops the consumer end: the producer's later dequeues fail with -EPIPE.
void HostWindow_abandon(ANativeWindow* window);

// Records a lifecycle call in the journal (see HostJournal_enable).
void HostJournal_record(const char* function, const char* objectFormat, ...)
    __attribute__((format(printf, 2, 3)));

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
extern "C" {
#endif

// References taken and dropped by the stand-ins themselves; unlike
// ANativeWindow_acquire/release they are not journaled.
void HostWindow_retain(ANativeWindow* window);
void HostWindow_drop(ANativeWindow* window);
// The window's journal name, "win=<id>".
int64_t HostWindow_id(ANativeWindow* window);

#ifdef __cplusplus
}
#endif
