// An open camera: its thread streams the repeating request's frames at the
// configured rate (or one per step) into the request's target windows and
// delivers the device, session and capture callbacks in order. Closing the
// device drains its pending callbacks and joins the thread, so nothing of the
// camera runs once ACameraDevice_close has returned.
#include <algorithm>
#include <array>

#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"
#include "platform/camera/camera_objects.h"

namespace {

struct FrameJob {
  ACameraCaptureSession* session;
  ACaptureRequest* request;
  ACameraCaptureSession_captureCallbacks callbacks;
  std::array<ANativeWindow*, kMaxTargets> targets;
  size_t targetCount;
  int64_t frameNumber;
  int sequenceId;
  bool fail;
};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Deliver(const DeviceEvent& e, ACameraDevice* device) {
  switch (e.kind) {
    case DeviceEvent::kDisconnected:
      if (device->callbacks.onDisconnected != nullptr) {
        device->callbacks.onDisconnected(device->callbacks.context, device);
      }
      break;
    case DeviceEvent::kError:
      if (device->callbacks.onError != nullptr) {
        device->callbacks.onError(device->callbacks.context, device, e.value);
      }
      break;
    case DeviceEvent::kSessionClosed:
      if (e.sessionCallbacks.onClosed != nullptr) {
        e.sessionCallbacks.onClosed(e.sessionCallbacks.context, e.session);
      }
      break;
    case DeviceEvent::kSessionReady:
      if (e.sessionCallbacks.onReady != nullptr) {
        e.sessionCallbacks.onReady(e.sessionCallbacks.context, e.session);
      }
      break;
    case DeviceEvent::kSessionActive:
      if (e.sessionCallbacks.onActive != nullptr) {
        e.sessionCallbacks.onActive(e.sessionCallbacks.context, e.session);
      }
      break;
    case DeviceEvent::kSequenceCompleted:
      if (e.captureCallbacks.onCaptureSequenceCompleted != nullptr) {
        e.captureCallbacks.onCaptureSequenceCompleted(e.captureCallbacks.context, e.session,
                                                      e.value, e.frameNumber);
      }
      break;
    case DeviceEvent::kSequenceAborted:
      if (e.captureCallbacks.onCaptureSequenceAborted != nullptr) {
        e.captureCallbacks.onCaptureSequenceAborted(e.captureCallbacks.context, e.session, e.value);
      }
      break;
  }
}

// Runs without the service mutex: the listeners of the targets run inside.
bool Produce(ACameraDevice* device, const FrameJob& job) {
  const ACameraCaptureSession_captureCallbacks& cb = job.callbacks;
  const int64_t timestamp = NowNs();
  if (cb.onCaptureStarted != nullptr) {
    cb.onCaptureStarted(cb.context, job.session, job.request, timestamp);
  }
  if (job.fail || !device->sourceUsable) {
    if (cb.onCaptureFailed != nullptr) {
      ACameraCaptureFailure failure{job.frameNumber, CAPTURE_FAILURE_REASON_ERROR, job.sequenceId,
                                    false};
      cb.onCaptureFailed(cb.context, job.session, job.request, &failure);
    }
    return false;
  }
  bool delivered = false;
  for (size_t i = 0; i < job.targetCount; ++i) {
    ANativeWindow* window = job.targets[i];
    const HostCameraConfig& config = device->config;
    const int32_t width = config.frameWidth > 0 ? config.frameWidth : ANativeWindow_getWidth(window);
    const int32_t height = config.frameHeight > 0 ? config.frameHeight : ANativeWindow_getHeight(window);
    const int32_t format = ANativeWindow_getFormat(window);
    HostFrame* frame = nullptr;
    if (HostWindow_dequeueFrame(window, width, height, format, config.rowPadding,
                                config.chromaGap, &frame) != 0) {
      if (cb.onCaptureBufferLost != nullptr) {
        cb.onCaptureBufferLost(cb.context, job.session, job.request, window, job.frameNumber);
      }
      continue;
    }
    if (!device->source.Fill(frame, job.frameNumber, device->cameraIndex)) {
      HostWindow_cancelFrame(window, frame);
      if (cb.onCaptureFailed != nullptr) {
        ACameraCaptureFailure failure{job.frameNumber, CAPTURE_FAILURE_REASON_ERROR,
                                      job.sequenceId, false};
        cb.onCaptureFailed(cb.context, job.session, job.request, &failure);
      }
      continue;
    }
    for (int p = 0; p < frame->planeCount; ++p) {
      frame->planeLength[p] = std::max(0, frame->planeLength[p] - config.truncateBytes);
    }
    frame->timestampNs = timestamp;
    if (HostWindow_queueFrame(window, frame) == 0) {
      delivered = true;
    }
  }
  if (device->config.partialResults != 0 && cb.onCaptureProgressed != nullptr) {
    cb.onCaptureProgressed(cb.context, job.session, job.request, &device->result);
  }
  if (cb.onCaptureCompleted != nullptr) {
    cb.onCaptureCompleted(cb.context, job.session, job.request, &device->result);
  }
  return delivered;
}

}  // namespace

void QueueEvent(ACameraDevice* device, DeviceEvent event) {
  if (event.session != nullptr) {
    ++event.session->refs;
  }
  device->events.push_back(event);
  device->wake.notify_all();
}

void UnrefSession(ACameraCaptureSession* session) {
  if (--session->refs == 0) {
    --Service().live.sessions;
    delete session;
  }
}

void EndRepeating(ACameraDevice* device, bool aborted) {
  ACameraCaptureSession* session = device->repeatingSession;
  if (session == nullptr) {
    return;
  }
  DeviceEvent end{aborted || device->frameNumber < device->firstFrameOfSequence
                      ? DeviceEvent::kSequenceAborted
                      : DeviceEvent::kSequenceCompleted};
  end.session = session;
  end.captureCallbacks = device->repeatingCallbacks;
  end.value = device->sequenceId;
  end.frameNumber = device->frameNumber;
  QueueEvent(device, end);
  DeviceEvent ready{DeviceEvent::kSessionReady};
  ready.session = session;
  ready.sessionCallbacks = session->callbacks;
  QueueEvent(device, ready);
  device->repeatingSession = nullptr;
  device->repeatingCallbacks = ACameraCaptureSession_captureCallbacks{};
  device->repeatingRequest.targets.clear();
}

void RunDevice(ACameraDevice* device) {
  CameraService& s = Service();
  std::unique_lock<std::mutex> lock(s.mutex);
  for (;;) {
    if (!device->events.empty()) {
      DeviceEvent event = device->events.front();
      device->events.pop_front();
      lock.unlock();
      Deliver(event, device);
      lock.lock();
      if (event.session != nullptr) {
        UnrefSession(event.session);
      }
      continue;
    }
    if (device->closing) {
      break;
    }
    const bool streaming = device->repeatingSession != nullptr && !device->disconnected &&
                           !device->failed && !device->stalled;
    if (!streaming) {
      device->wake.wait(lock);
      continue;
    }
    if (device->config.stepMode != 0) {
      if (device->stepsPending == 0) {
        device->wake.wait(lock);
        continue;
      }
      --device->stepsPending;
    } else {
      const auto now = std::chrono::steady_clock::now();
      if (now < device->nextFrameAt) {
        device->wake.wait_until(lock, device->nextFrameAt);
        continue;
      }
      const auto period = std::chrono::nanoseconds(1000000000LL / device->config.framesPerSecond);
      device->nextFrameAt += period;
      if (device->nextFrameAt < now) {
        device->nextFrameAt = now + period;  // fell behind: no burst to catch up
      }
    }
    FrameJob job{};
    job.session = device->repeatingSession;
    ++job.session->refs;
    job.request = &device->repeatingRequest;
    job.callbacks = device->repeatingCallbacks;
    job.targetCount = std::min(kMaxTargets, device->repeatingRequest.targets.size());
    std::copy_n(device->repeatingRequest.targets.begin(), job.targetCount, job.targets.begin());
    job.frameNumber = ++device->frameNumber;
    job.sequenceId = device->sequenceId;
    job.fail = device->failCaptures > 0;
    if (job.fail) {
      --device->failCaptures;
    }
    device->producing = true;
    lock.unlock();
    const bool delivered = Produce(device, job);
    lock.lock();
    device->producing = false;
    UnrefSession(job.session);
    if (delivered) {
      ++SettingsOf(device->id).delivered;
    }
    s.delivered.notify_all();  // also a failed capture: its step is done
    device->wake.notify_all();
  }
}

extern "C" {

camera_status_t ACameraDevice_close(ACameraDevice* device) {
  if (device == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  HostJournal_record("ACameraDevice_close", "cam=%s", device->id.c_str());
  CameraService& s = Service();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (std::this_thread::get_id() == device->threadId) {
    HOSTPLAT_LOGE("ACameraDevice_close called from the camera's own callback");
    return ACAMERA_ERROR_INVALID_OPERATION;
  }
  EndRepeating(device, true);
  for (ACameraCaptureSession* session : device->sessions) {
    if (!session->closed) {
      session->closed = true;
      DeviceEvent closed{DeviceEvent::kSessionClosed};
      closed.session = session;
      closed.sessionCallbacks = session->callbacks;
      QueueEvent(device, closed);
    }
  }
  device->closing = true;
  device->wake.notify_all();
  lock.unlock();
  device->thread.join();
  lock.lock();
  for (ACameraCaptureSession* session : device->sessions) {
    session->device = nullptr;
    UnrefSession(session);
  }
  device->sessions.clear();
  std::vector<ANativeWindow*> held;
  held.swap(device->heldWindows);
  SettingsOf(device->id).openDevice = nullptr;
  --s.live.devices;
  s.delivered.notify_all();  // a wait for this camera's steps ends here
  lock.unlock();
  for (ANativeWindow* window : held) {
    HostWindow_drop(window);
  }
  delete device;
  return ACAMERA_OK;
}

const char* ACameraDevice_getId(const ACameraDevice* device) {
  return device != nullptr ? device->id.c_str() : nullptr;
}

camera_status_t ACameraDevice_createCaptureRequest(const ACameraDevice* device,
                                                   ACameraDevice_request_template templateId,
                                                   ACaptureRequest** request) {
  if (device == nullptr || request == nullptr || templateId < TEMPLATE_PREVIEW ||
      templateId > TEMPLATE_MANUAL) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  auto* created = new (std::nothrow) ACaptureRequest();
  if (created == nullptr) {
    return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
  }
  created->cameraId = device->id;
  created->templateId = templateId;
  HostJournal_record("ACameraDevice_createCaptureRequest", "cam=%s", device->id.c_str());
  std::lock_guard<std::mutex> lock(Service().mutex);
  ++Service().live.requests;
  *request = created;
  return ACAMERA_OK;
}

}  // extern "C"
