#pragma once
// Capture sessions (host stand-in).
#include <stdbool.h>
#include <stdint.h>

#include <camera/NdkCameraError.h>
#include <camera/NdkCameraMetadata.h>
#include <camera/NdkCameraWindowType.h>
#include <camera/NdkCaptureRequest.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ACameraCaptureSession ACameraCaptureSession;

typedef void (*ACameraCaptureSession_stateCallback)(void* context, ACameraCaptureSession* session);

typedef struct ACameraCaptureSession_stateCallbacks {
  void* context;
  ACameraCaptureSession_stateCallback onClosed;
  ACameraCaptureSession_stateCallback onReady;
  ACameraCaptureSession_stateCallback onActive;
} ACameraCaptureSession_stateCallbacks;

enum {
  CAPTURE_FAILURE_REASON_FLUSHED = 0,
  CAPTURE_FAILURE_REASON_ERROR
};

typedef struct ACameraCaptureFailure {
  int64_t frameNumber;
  int reason;
  int sequenceId;
  bool wasImageCaptured;
} ACameraCaptureFailure;

typedef void (*ACameraCaptureSession_captureCallback_start)(void* context,
                                                            ACameraCaptureSession* session,
                                                            const ACaptureRequest* request,
                                                            int64_t timestamp);
typedef void (*ACameraCaptureSession_captureCallback_result)(void* context,
                                                             ACameraCaptureSession* session,
                                                             ACaptureRequest* request,
                                                             const ACameraMetadata* result);
typedef void (*ACameraCaptureSession_captureCallback_failed)(void* context,
                                                             ACameraCaptureSession* session,
                                                             ACaptureRequest* request,
                                                             ACameraCaptureFailure* failure);
typedef void (*ACameraCaptureSession_captureCallback_sequenceEnd)(void* context,
                                                                  ACameraCaptureSession* session,
                                                                  int sequenceId,
                                                                  int64_t frameNumber);
typedef void (*ACameraCaptureSession_captureCallback_sequenceAbort)(void* context,
                                                                    ACameraCaptureSession* session,
                                                                    int sequenceId);
typedef void (*ACameraCaptureSession_captureCallback_bufferLost)(void* context,
                                                                 ACameraCaptureSession* session,
                                                                 ACaptureRequest* request,
                                                                 ACameraWindowType* window,
                                                                 int64_t frameNumber);

typedef struct ACameraCaptureSession_captureCallbacks {
  void* context;
  ACameraCaptureSession_captureCallback_start onCaptureStarted;
  ACameraCaptureSession_captureCallback_result onCaptureProgressed;
  ACameraCaptureSession_captureCallback_result onCaptureCompleted;
  ACameraCaptureSession_captureCallback_failed onCaptureFailed;
  ACameraCaptureSession_captureCallback_sequenceEnd onCaptureSequenceCompleted;
  ACameraCaptureSession_captureCallback_sequenceAbort onCaptureSequenceAborted;
  ACameraCaptureSession_captureCallback_bufferLost onCaptureBufferLost;
} ACameraCaptureSession_captureCallbacks;

enum { CAPTURE_SEQUENCE_ID_NONE = -1 };

void ACameraCaptureSession_close(ACameraCaptureSession* session);

struct ACameraDevice;
typedef struct ACameraDevice ACameraDevice;

camera_status_t ACameraCaptureSession_getDevice(ACameraCaptureSession* session,
                                                /*out*/ ACameraDevice** device);
camera_status_t ACameraCaptureSession_setRepeatingRequest(
    ACameraCaptureSession* session,
    /*optional*/ ACameraCaptureSession_captureCallbacks* callbacks, int numRequests,
    ACaptureRequest** requests, /*optional*/ int* captureSequenceId);
camera_status_t ACameraCaptureSession_stopRepeating(ACameraCaptureSession* session);
camera_status_t ACameraCaptureSession_abortCaptures(ACameraCaptureSession* session);

#ifdef __cplusplus
}
#endif
