#pragma once
// The preview and record windows and the output worker that copies the
// composed frame into them once per complete set of camera frames.
#include <android/native_window.h>

#include <cstdint>

#include <opencv2/core.hpp>

// Which window a setter replaces.
enum class OutputKind { kPreview, kRecord };

// Sets (or, with null, clears) a window. `window` carries one reference that
// the library now owns; the earlier window is released. The geometry is set
// to the composed picture of width x height cameras. Never waits for the
// worker: a copy in progress holds a reference of its own on the earlier
// window and finishes on it; later passes take the new one.
void SetOutputWindow(OutputKind kind, ANativeWindow* window, int32_t width, int32_t height);

// Starts the worker (logs and leaves it stopped when the thread cannot be
// created). At most one worker runs: call StopOutputWorker first.
void StartOutputWorker();
// Clears workerRunning, wakes the worker and waits for it to end, unless it
// waits in a window lock (a window's consumer may hold every buffer for as
// long as it likes): then it is left to end on its own once the lock
// returns, after posting that one buffer. Either way it serves nothing more.
void StopOutputWorker();

// Copies the composed picture (format 35 NV21 or format 1 RGBA of
// 2*camWidth x 2*camHeight pixels) into a locked window buffer of its own
// geometry, format and stride: exactly the picture where the geometry
// matches, the overlapping part where it does not, never past either buffer.
// Returns the bytes written, or -1 when the window's format cannot take the
// picture.
int64_t CopyPictureToWindow(const cv::Mat& picture, int32_t pictureFormat, int32_t camWidth,
                            int32_t camHeight, const ANativeWindow_Buffer& buffer);

// Copies the composed picture into two locked window buffers, each exactly
// as CopyPictureToWindow would, and sets the bytes written into each (or
// -1). Where both take the same rows of the picture (same geometry and
// format, any strides) the picture is read once for both, row by row;
// otherwise each is copied on its own.
void CopyPictureToWindows(const cv::Mat& picture, int32_t pictureFormat, int32_t camWidth,
                          int32_t camHeight, const ANativeWindow_Buffer& first,
                          const ANativeWindow_Buffer& second, int64_t* firstBytes,
                          int64_t* secondBytes);

// Workers serving the open set now (0 or 1), for tests. A worker that
// closeCamera left to finish a window lock no longer counts.
int32_t LiveOutputWorkers();
// Waits until every worker thread has ended, one left finishing a window
// lock included: true, or false after timeoutMs.
bool WaitOutputWorkersEnded(int32_t timeoutMs);
// Waits until the worker has served every set handed to it and waits for
// the next one: true, or false after timeoutMs (or when no worker runs).
// Tests use it to know that a set which should not reach a window did not,
// without waiting an arbitrary time for something that does not happen.
bool WaitOutputWorkerIdle(int32_t timeoutMs);
