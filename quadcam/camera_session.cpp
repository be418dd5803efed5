// Opening and closing the camera set. Every camera object is created at
// open and freed at close, each in a fixed order: at open every camera
// first, then each slot's whole stream; at close slot by slot (the session
// stopped and closed, its parts freed, the device closed, then the reader
// and its window), the manager and its id list last. A slot whose camera or
// reader could not be had keeps null handles and the calls that need them
// are skipped, while the other cameras carry on.
#include "quadcam/camera_session.h"

#include <media/NdkImage.h>

#include <mutex>

#include "quadcam/frame_composition.h"
#include "quadcam/listener_gate.h"
#include "quadcam/output_worker.h"
#include "quadcam/qcam_log.h"
#include "quadcam/qcam_state.h"

CameraTable cameraTable;
// The readers' image format: state of the open camera set.
int32_t previewFormat = QCAM_PREVIEW_FORMAT;

namespace {

bool gSetOpen = false;  // an open not yet matched by a close (even one that opened no camera)

AImageReader_ImageListener gListeners[4] = {
    {nullptr, imageAvailableCallbackNum[0]},
    {nullptr, imageAvailableCallbackNum[1]},
    {nullptr, imageAvailableCallbackNum[2]},
    {nullptr, imageAvailableCallbackNum[3]},
};

void OpenSlotStreams(CameraSlot& slot, int32_t k, int32_t width, int32_t height) {
  if (AImageReader_new(width, height, previewFormat, 1, &slot.reader) != AMEDIA_OK) {
    QCAM_LOGD("AImageReader_new");
    slot.reader = nullptr;
  }
  if (slot.reader != nullptr) {
    if (AImageReader_getWindow(slot.reader, &slot.readerWindow) != AMEDIA_OK ||
        slot.readerWindow == nullptr) {
      QCAM_LOGD("AImageReader_getWindow failed");
      slot.readerWindow = nullptr;
    }
    OpenListenerGate(k);
    AImageReader_setImageListener(slot.reader, &gListeners[k]);
  }
  if (slot.readerWindow != nullptr) {
    ACaptureSessionOutput_create(slot.readerWindow, &slot.sessionOutput);
  }
  ACaptureSessionOutputContainer_create(&slot.outputContainer);
  if (slot.outputContainer != nullptr && slot.sessionOutput != nullptr) {
    ACaptureSessionOutputContainer_add(slot.outputContainer, slot.sessionOutput);
  }
  if (slot.device != nullptr && slot.outputContainer != nullptr && slot.sessionOutput != nullptr) {
    ACameraDevice_createCaptureSession(slot.device, slot.outputContainer, &sessionCallbacks,
                                       &slot.session);
  }
  if (slot.device != nullptr) {
    ACameraDevice_createCaptureRequest(slot.device, TEMPLATE_PREVIEW, &slot.request);
  }
  if (slot.readerWindow != nullptr) {
    ANativeWindow_acquire(slot.readerWindow);
    ACameraOutputTarget_create(slot.readerWindow, &slot.outputTarget);
  }
  if (slot.request != nullptr && slot.outputTarget != nullptr) {
    ACaptureRequest_addTarget(slot.request, slot.outputTarget);
  }
  if (slot.session != nullptr && slot.request != nullptr) {
    ACameraCaptureSession_setRepeatingRequest(slot.session, &captureCallbacks, 1, &slot.request,
                                              nullptr);
  }
}

void openCameras(int32_t width, int32_t height) {
  CameraTable& t = cameraTable;
  t.manager = ACameraManager_create();
  if (t.manager == nullptr) {
    QCAM_LOGE("ACameraManager_create failed");
    return;
  }
  const camera_status_t listed = ACameraManager_getCameraIdList(t.manager, &t.idList);
  if (listed != ACAMERA_OK || t.idList == nullptr) {
    QCAM_LOGE("ACameraManager_getCameraIdList failed with %d", static_cast<int>(listed));
    t.idList = nullptr;
  }
  const int32_t listed_count =
      t.idList != nullptr && t.idList->cameraIds != nullptr ? t.idList->numCameras : 0;
  bool present[4] = {false, false, false, false};
  for (int32_t k = 0; k < 4; ++k) {
    const int32_t position = k + kFirstCameraPosition;
    if (position >= listed_count || t.idList->cameraIds[position] == nullptr) {
      // Too short a list: the slot stays empty rather than reading past it.
      QCAM_LOGE("camera slot %d: the platform lists %d cameras, none at position %d", k,
                listed_count, position);
      continue;
    }
    present[k] = true;
    ACameraManager_openCamera(t.manager, t.idList->cameraIds[position], &deviceCallbacks,
                              &t.slots[k].device);
  }
  for (int32_t k = 0; k < 4; ++k) {
    if (present[k]) {
      OpenSlotStreams(t.slots[k], k, width, height);
    }
  }
  QCAM_LOGD("init cam");
}

void closeCameras() {
  CameraTable& t = cameraTable;
  if (t.manager == nullptr) {
    return;
  }
  for (int32_t k = 0; k < 4; ++k) {
    CameraSlot& slot = t.slots[k];
    if (slot.session != nullptr) {
      ACameraCaptureSession_stopRepeating(slot.session);
      ACameraCaptureSession_close(slot.session);
    }
    if (slot.outputContainer != nullptr) {
      ACaptureSessionOutputContainer_free(slot.outputContainer);
    }
    if (slot.sessionOutput != nullptr) {
      ACaptureSessionOutput_free(slot.sessionOutput);
    }
    if (slot.request != nullptr) {
      ACaptureRequest_free(slot.request);
    }
    if (slot.outputTarget != nullptr) {
      ACameraOutputTarget_free(slot.outputTarget);
    }
    if (slot.device != nullptr) {
      ACameraDevice_close(slot.device);
    }
    if (slot.reader != nullptr) {
      // Frames still arrive after the stop and the device's close; the
      // reader goes only once no listener of this slot is running.
      ShutListenerGate(k);
      AImageReader_delete(slot.reader);
    }
    if (slot.readerWindow != nullptr) {
      ANativeWindow_release(slot.readerWindow);
    }
    slot = CameraSlot{};
  }
  ACameraManager_delete(t.manager);
  if (t.idList != nullptr) {
    ACameraManager_deleteCameraIdList(t.idList);
  }
  t.manager = nullptr;
  t.idList = nullptr;
}

// Java may call openCamera and closeCamera from any thread, even two at
// once: the set's objects are made and freed by one of them at a time, or
// two closes free the same objects.
std::mutex gSetMutex;

void CloseCameraSetLocked() {
  StopOutputWorker();
  closeCameras();
  gSetOpen = false;
  QCAM_LOGD("exit cam");
}

}  // namespace

void OpenCameraSet(int32_t width, int32_t height) {
  std::lock_guard<std::mutex> lock(gSetMutex);
  if (gSetOpen) {
    // One camera table per process: the running set goes first.
    QCAM_LOGD("openCamera while open: closing the running set first");
    CloseCameraSetLocked();
  }
  if (width <= 0 || height <= 0 || width > kMaxCameraSide || height > kMaxCameraSide) {
    QCAM_LOGE("openCamera: camera size %dx%d refused", width, height);
    return;
  }
  if (!ResetComposition(width, height, previewFormat)) {
    return;
  }
  gSetOpen = true;
  openCameras(width, height);
  StartOutputWorker();
}

void CloseCameraSet() {
  std::lock_guard<std::mutex> lock(gSetMutex);
  CloseCameraSetLocked();
}
