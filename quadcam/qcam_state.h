#pragma once
// The process-wide state that the camera side, the composition and the
// output worker share. One camera set per process; the camera table itself
// is private to camera_session.cpp.
//
// Threads: the Java callers (openCamera/closeCamera and the two surface
// setters, from any thread, even at once), one listener thread per image
// reader (the platform's), and the output worker.
//
// Synchronisation objects, and who holds each:
//   1. gSetMutex (camera_session.cpp): the open/close caller, for the whole
//      of OpenCameraSet or CloseCameraSet.
//   2. The listener gates (gGateMutex and gGateLeft, listener_gate.cpp): the
//      mutex only to count a listener in or out or to shut a gate; a
//      listener is then "inside" (a count, not a held mutex) while it
//      composes, and closing a slot waits for it to leave.
//   3. gCombMutex (below): shared by a listener writing its quadrant,
//      exclusive for the worker's read and for ResetComposition.
//   4. gPreview_mutex (below, with gPreview_cond and the worker's state
//      signal in output_worker.cpp): the arrival flags and the worker's
//      hand-off and run state.
//   5. previewWindowMutex and recordWindowMutex (output_worker.cpp): held
//      only to swap a window pointer or take a reference on it.
//
// Lock order. The one nested acquisition is the composition lock, then the
// preview mutex, both under the open/close mutex (ResetComposition called
// from OpenCameraSet):
//   gSetMutex  ->  gCombMutex  ->  gPreview_mutex
// Beyond that the open/close caller takes gPreview_mutex alone
// (StopOutputWorker) and waits for the gates and the readers' listeners
// while holding gSetMutex; that is safe because no listener and no worker
// ever takes gSetMutex. A listener takes gCombMutex and gPreview_mutex one
// after the other, never together. The worker lets go of gPreview_mutex
// before it takes a window mutex, a window's buffer or gCombMutex, takes
// gCombMutex only once a window's buffer is its own (so a listener never
// waits for a window's consumer), and holds a window mutex with nothing
// else. The gate mutex and the window mutexes are leaves: nothing is taken
// while one is held. A new lock keeps this order, or the close path can
// deadlock against a listener.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include <opencv2/core.hpp>

#ifndef QCAM_PREVIEW_FORMAT
#define QCAM_PREVIEW_FORMAT 35
#endif

// Image format asked of every reader and the layout of the composed frame:
// 35 (YUV_420_888, composed as NV21) or 1 (RGBA_8888). Fixed at build time;
// host tests change it between a close and the next open.
extern int32_t previewFormat;

// Per-camera size and format of the open set, fixed from openCamera to
// closeCamera. Written only by ResetComposition at open, under the
// exclusive composition lock: a worker that the last close left inside a
// window lock may still read it then, under the same lock.
struct CompositionLayout {
  int32_t width = 0;
  int32_t height = 0;
  int32_t format = 0;
};
extern CompositionLayout gLayout;

// The composed two-by-two picture. The lock is used the other way round
// from a reader/writer lock: the shared side is taken by the writers. Four
// listeners write at once, each only its own quadrant, and the quadrants
// never overlap, so they need no exclusion from one another; all they need
// is that the picture is not reallocated and not being read meanwhile. The
// worker reads the whole picture and needs it still, so it takes the
// exclusive lock: no quadrant changes under its copy, and a window never
// shows a quadrant half-way through being rewritten. ResetComposition
// takes it exclusively too, as it replaces the buffer and gLayout.
extern cv::Mat dstComb;
extern std::shared_mutex gCombMutex;

// Hand-off to the output worker, all under gPreview_mutex: the arrival
// flags, the "complete set waiting" flag and the run flag.
extern std::mutex gPreview_mutex;
extern std::condition_variable gPreview_cond;
extern int32_t mChEnable[4];
extern bool framesPending;
extern int32_t workerRunning;
