#pragma once
// The process-wide state that the camera side, the composition and the
// output worker share. One camera set per process; the camera table itself
// is private to camera_session.cpp.
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
// closeCamera (written only while no camera and no worker runs).
struct CompositionLayout {
  int32_t width = 0;
  int32_t height = 0;
  int32_t format = 0;
};
extern CompositionLayout gLayout;

// The composed two-by-two picture. Listeners write their own quadrants
// under a shared lock (the quadrants never overlap); the worker reads the
// whole picture under the exclusive lock, so a window never shows a
// quadrant half-way through being rewritten.
extern cv::Mat dstComb;
extern std::shared_mutex gCombMutex;

// Hand-off to the output worker, all under gPreview_mutex: the arrival
// flags, the "complete set waiting" flag and the run flag.
extern std::mutex gPreview_mutex;
extern std::condition_variable gPreview_cond;
extern int32_t mChEnable[4];
extern bool framesPending;
extern int32_t workerRunning;
