// Device, session and capture callbacks. They only report: a camera that
// fails or disconnects simply stops delivering and its quadrant stops
// changing.
#include "quadcam/camera_session.h"
#include "quadcam/qcam_log.h"

namespace {

void OnDisconnected(void*, ACameraDevice*) { QCAM_LOGD("onDisconnected"); }
void OnError(void*, ACameraDevice*, int error) { QCAM_LOGD("error %d", error); }

void OnSessionClosed(void*, ACameraCaptureSession*) { QCAM_LOGD("Session closed"); }
void OnSessionReady(void*, ACameraCaptureSession*) { QCAM_LOGD("Session ready"); }
void OnSessionActive(void*, ACameraCaptureSession*) { QCAM_LOGD("Session active"); }

void OnCaptureStarted(void*, ACameraCaptureSession*, const ACaptureRequest*, int64_t) {}
void OnCaptureProgressed(void*, ACameraCaptureSession*, ACaptureRequest*, const ACameraMetadata*) {
  QCAM_LOGD("Capture Progressed");
}
void OnCaptureCompleted(void*, ACameraCaptureSession*, ACaptureRequest*, const ACameraMetadata*) {}
void OnCaptureFailed(void*, ACameraCaptureSession*, ACaptureRequest*, ACameraCaptureFailure*) {
  QCAM_LOGD("Capture Failed");
}
void OnCaptureSequenceCompleted(void*, ACameraCaptureSession*, int sequenceId, int64_t) {
  QCAM_LOGD("onCaptureSequenceCompleted %d", sequenceId);
}
void OnCaptureSequenceAborted(void*, ACameraCaptureSession*, int) {
  QCAM_LOGD("onCaptureSequenceAborted");
}
void OnCaptureBufferLost(void*, ACameraCaptureSession*, ACaptureRequest*, ACameraWindowType*,
                         int64_t) {
  QCAM_LOGD("Capture Buffer Lost");
}

}  // namespace

ACameraDevice_StateCallbacks deviceCallbacks = {nullptr, OnDisconnected, OnError};

ACameraCaptureSession_stateCallbacks sessionCallbacks = {nullptr, OnSessionClosed, OnSessionReady,
                                                         OnSessionActive};

ACameraCaptureSession_captureCallbacks captureCallbacks = {
    nullptr,
    OnCaptureStarted,
    OnCaptureProgressed,
    OnCaptureCompleted,
    OnCaptureFailed,
    OnCaptureSequenceCompleted,
    OnCaptureSequenceAborted,
    OnCaptureBufferLost,
};
