// Session outputs, output targets, capture requests and capture sessions.
// A session keeps references on its output windows (through its device) for
// as long as the device is open, so a camera never draws into a window that
// was freed under it.
#include <algorithm>
#include <new>

#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"
#include "platform/camera/camera_objects.h"

namespace {

bool Contains(const std::vector<ANativeWindow*>& windows, const ANativeWindow* window) {
  return std::find(windows.begin(), windows.end(), window) != windows.end();
}

}  // namespace

extern "C" {

camera_status_t ACaptureSessionOutputContainer_create(ACaptureSessionOutputContainer** container) {
  if (container == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  auto* created = new (std::nothrow) ACaptureSessionOutputContainer();
  if (created == nullptr) {
    return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  created->serial = Service().nextContainerSerial++;
  ++Service().live.containers;
  HostJournal_record("ACaptureSessionOutputContainer_create", "container=%lld",
                     static_cast<long long>(created->serial));
  *container = created;
  return ACAMERA_OK;
}

void ACaptureSessionOutputContainer_free(ACaptureSessionOutputContainer* container) {
  if (container == nullptr) {
    return;
  }
  HostJournal_record("ACaptureSessionOutputContainer_free", "container=%lld",
                     static_cast<long long>(container->serial));
  std::lock_guard<std::mutex> lock(Service().mutex);
  --Service().live.containers;
  delete container;
}

camera_status_t ACaptureSessionOutput_create(ACameraWindowType* anw, ACaptureSessionOutput** output) {
  if (anw == nullptr || output == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  auto* created = new (std::nothrow) ACaptureSessionOutput{anw};
  if (created == nullptr) {
    return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
  }
  HostJournal_record("ACaptureSessionOutput_create", "win=%lld",
                     static_cast<long long>(HostWindow_id(anw)));
  std::lock_guard<std::mutex> lock(Service().mutex);
  ++Service().live.sessionOutputs;
  *output = created;
  return ACAMERA_OK;
}

void ACaptureSessionOutput_free(ACaptureSessionOutput* output) {
  if (output == nullptr) {
    return;
  }
  HostJournal_record("ACaptureSessionOutput_free", "win=%lld",
                     static_cast<long long>(HostWindow_id(output->window)));
  std::lock_guard<std::mutex> lock(Service().mutex);
  --Service().live.sessionOutputs;
  delete output;
}

camera_status_t ACaptureSessionOutputContainer_add(ACaptureSessionOutputContainer* container,
                                                   const ACaptureSessionOutput* output) {
  if (container == nullptr || output == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  if (!Contains(container->windows, output->window)) {
    container->windows.push_back(output->window);
  }
  return ACAMERA_OK;
}

camera_status_t ACaptureSessionOutputContainer_remove(ACaptureSessionOutputContainer* container,
                                                      const ACaptureSessionOutput* output) {
  if (container == nullptr || output == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  auto& w = container->windows;
  w.erase(std::remove(w.begin(), w.end(), output->window), w.end());
  return ACAMERA_OK;
}

camera_status_t ACameraOutputTarget_create(ACameraWindowType* window, ACameraOutputTarget** output) {
  if (window == nullptr || output == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  auto* created = new (std::nothrow) ACameraOutputTarget{window};
  if (created == nullptr) {
    return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
  }
  HostJournal_record("ACameraOutputTarget_create", "win=%lld",
                     static_cast<long long>(HostWindow_id(window)));
  std::lock_guard<std::mutex> lock(Service().mutex);
  ++Service().live.outputTargets;
  *output = created;
  return ACAMERA_OK;
}

void ACameraOutputTarget_free(ACameraOutputTarget* output) {
  if (output == nullptr) {
    return;
  }
  HostJournal_record("ACameraOutputTarget_free", "win=%lld",
                     static_cast<long long>(HostWindow_id(output->window)));
  std::lock_guard<std::mutex> lock(Service().mutex);
  --Service().live.outputTargets;
  delete output;
}

camera_status_t ACaptureRequest_addTarget(ACaptureRequest* request, const ACameraOutputTarget* output) {
  if (request == nullptr || output == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  if (!Contains(request->targets, output->window)) {
    if (request->targets.size() >= kMaxTargets) {
      return ACAMERA_ERROR_INVALID_PARAMETER;
    }
    request->targets.push_back(output->window);
  }
  return ACAMERA_OK;
}

camera_status_t ACaptureRequest_removeTarget(ACaptureRequest* request,
                                             const ACameraOutputTarget* output) {
  if (request == nullptr || output == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  auto& t = request->targets;
  t.erase(std::remove(t.begin(), t.end(), output->window), t.end());
  return ACAMERA_OK;
}

void ACaptureRequest_free(ACaptureRequest* request) {
  if (request == nullptr) {
    return;
  }
  HostJournal_record("ACaptureRequest_free", "cam=%s", request->cameraId.c_str());
  std::lock_guard<std::mutex> lock(Service().mutex);
  --Service().live.requests;
  delete request;
}

camera_status_t ACameraDevice_createCaptureSession(ACameraDevice* device,
                                                   const ACaptureSessionOutputContainer* outputs,
                                                   const ACameraCaptureSession_stateCallbacks* callbacks,
                                                   ACameraCaptureSession** session) {
  if (device == nullptr || outputs == nullptr || callbacks == nullptr || session == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  HostJournal_record("ACameraDevice_createCaptureSession", "cam=%s", device->id.c_str());
  std::vector<ANativeWindow*> newlyHeld;
  {
    std::lock_guard<std::mutex> lock(Service().mutex);
    if (device->closing || device->disconnected || device->failed) {
      return ACAMERA_ERROR_CAMERA_DISCONNECTED;
    }
    if (outputs->windows.empty()) {
      return ACAMERA_ERROR_INVALID_PARAMETER;
    }
    auto* created = new (std::nothrow) ACameraCaptureSession();
    if (created == nullptr) {
      return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
    }
    // A new session replaces the device's earlier one.
    EndRepeating(device, true);
    for (ACameraCaptureSession* earlier : device->sessions) {
      if (!earlier->closed) {
        earlier->closed = true;
        DeviceEvent closed{DeviceEvent::kSessionClosed};
        closed.session = earlier;
        closed.sessionCallbacks = earlier->callbacks;
        QueueEvent(device, closed);
      }
    }
    created->device = device;
    created->callbacks = *callbacks;
    created->outputs = outputs->windows;
    created->refs = 2;  // the app's handle and the device
    for (ANativeWindow* window : created->outputs) {
      if (!Contains(device->heldWindows, window)) {
        device->heldWindows.push_back(window);
        newlyHeld.push_back(window);
      }
    }
    device->sessions.push_back(created);
    ++Service().live.sessions;
    DeviceEvent ready{DeviceEvent::kSessionReady};
    ready.session = created;
    ready.sessionCallbacks = created->callbacks;
    QueueEvent(device, ready);
    *session = created;
  }
  for (ANativeWindow* window : newlyHeld) {
    HostWindow_retain(window);
  }
  return ACAMERA_OK;
}

void ACameraCaptureSession_close(ACameraCaptureSession* session) {
  if (session == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = session->device;
  HostJournal_record("ACameraCaptureSession_close", "cam=%s",
                     device != nullptr ? device->id.c_str() : "closed");
  if (device != nullptr && !session->closed) {
    if (device->repeatingSession == session) {
      EndRepeating(device, true);
    }
    session->closed = true;
    DeviceEvent closed{DeviceEvent::kSessionClosed};
    closed.session = session;
    closed.sessionCallbacks = session->callbacks;
    QueueEvent(device, closed);
  }
  session->closed = true;
  UnrefSession(session);  // the app's handle
}

camera_status_t ACameraCaptureSession_getDevice(ACameraCaptureSession* session, ACameraDevice** device) {
  if (session == nullptr || device == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  if (session->closed || session->device == nullptr) {
    *device = nullptr;
    return ACAMERA_ERROR_SESSION_CLOSED;
  }
  *device = session->device;
  return ACAMERA_OK;
}

camera_status_t ACameraCaptureSession_setRepeatingRequest(
    ACameraCaptureSession* session, ACameraCaptureSession_captureCallbacks* callbacks,
    int numRequests, ACaptureRequest** requests, int* captureSequenceId) {
  if (session == nullptr || numRequests < 1 || requests == nullptr || requests[0] == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = session->device;
  if (session->closed || device == nullptr) {
    return ACAMERA_ERROR_SESSION_CLOSED;
  }
  HostJournal_record("ACameraCaptureSession_setRepeatingRequest", "cam=%s", device->id.c_str());
  if (device->disconnected || device->failed) {
    return ACAMERA_ERROR_CAMERA_DISCONNECTED;
  }
  // The stand-in streams the first request of a burst.
  const ACaptureRequest* request = requests[0];
  if (request->targets.empty()) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  for (ANativeWindow* target : request->targets) {
    if (!Contains(session->outputs, target)) {
      HOSTPLAT_LOGE("setRepeatingRequest: target is not an output of the session");
      return ACAMERA_ERROR_INVALID_PARAMETER;
    }
  }
  EndRepeating(device, false);
  device->repeatingSession = session;
  device->repeatingCallbacks =
      callbacks != nullptr ? *callbacks : ACameraCaptureSession_captureCallbacks{};
  device->repeatingRequest.templateId = request->templateId;
  device->repeatingRequest.targets = request->targets;
  device->sequenceId = device->nextSequenceId++;
  device->firstFrameOfSequence = device->frameNumber + 1;
  device->nextFrameAt = std::chrono::steady_clock::now();
  DeviceEvent active{DeviceEvent::kSessionActive};
  active.session = session;
  active.sessionCallbacks = session->callbacks;
  QueueEvent(device, active);
  if (captureSequenceId != nullptr) {
    *captureSequenceId = device->sequenceId;
  }
  return ACAMERA_OK;
}

namespace {

camera_status_t StopRepeating(ACameraCaptureSession* session, bool aborted, const char* function) {
  if (session == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = session->device;
  if (session->closed || device == nullptr) {
    return ACAMERA_ERROR_SESSION_CLOSED;
  }
  HostJournal_record(function, "cam=%s", device->id.c_str());
  if (device->repeatingSession == session) {
    // As on the platform, a frame the camera is producing still reaches its
    // targets after this returns, and their listeners run later still.
    EndRepeating(device, aborted);
  }
  return ACAMERA_OK;
}

}  // namespace

camera_status_t ACameraCaptureSession_stopRepeating(ACameraCaptureSession* session) {
  return StopRepeating(session, false, "ACameraCaptureSession_stopRepeating");
}

camera_status_t ACameraCaptureSession_abortCaptures(ACameraCaptureSession* session) {
  return StopRepeating(session, true, "ACameraCaptureSession_abortCaptures");
}

}  // extern "C"
