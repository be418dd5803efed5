#pragma once
// The records behind the camera NDK handles, and the one state of the
// simulated camera service. Internal to libcamera2ndk.so.
#include <camera/NdkCameraCaptureSession.h>
#include <camera/NdkCameraDevice.h>
#include <camera/NdkCameraManager.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host_platform/host_platform.h"
#include "platform/camera/frame_source.h"

struct ACameraMetadata {
  int unused;
};

struct ACameraManager {
  int unused;
};

struct ACameraOutputTarget {
  ANativeWindow* window;
};

struct ACaptureSessionOutput {
  ANativeWindow* window;
};

struct ACaptureSessionOutputContainer {
  int64_t serial;
  std::vector<ANativeWindow*> windows;
};

struct ACaptureRequest {
  std::string cameraId;
  int templateId = 0;
  std::vector<ANativeWindow*> targets;
};

struct ACameraCaptureSession {
  ACameraDevice* device = nullptr;
  ACameraCaptureSession_stateCallbacks callbacks{};
  std::vector<ANativeWindow*> outputs;
  bool closed = false;
  int refs = 0;  // the app's handle, the device, queued events
};

// A callback the device thread delivers later, in order.
struct DeviceEvent {
  enum Kind {
    kDisconnected,
    kError,
    kSessionClosed,
    kSessionReady,
    kSessionActive,
    kSequenceCompleted,
    kSequenceAborted,
  } kind;
  ACameraCaptureSession* session = nullptr;  // holds a reference
  ACameraCaptureSession_stateCallbacks sessionCallbacks{};
  ACameraCaptureSession_captureCallbacks captureCallbacks{};
  int value = 0;  // error code or sequence id
  int64_t frameNumber = 0;
};

constexpr size_t kMaxTargets = 4;

struct ACameraDevice {
  std::string id;
  int cameraIndex = 0;
  ACameraDevice_StateCallbacks callbacks{};
  HostCameraConfig config{};
  FrameSource source;
  bool sourceUsable = true;

  std::condition_variable wake;  // with the platform mutex
  std::thread thread;
  std::thread::id threadId;
  bool closing = false;
  bool disconnected = false;
  bool failed = false;
  bool stalled = false;
  bool producing = false;
  int32_t stepsPending = 0;
  int32_t failCaptures = 0;
  std::deque<DeviceEvent> events;

  std::vector<ACameraCaptureSession*> sessions;  // device references
  std::vector<ANativeWindow*> heldWindows;       // references on session outputs
  ACameraCaptureSession* repeatingSession = nullptr;
  ACameraCaptureSession_captureCallbacks repeatingCallbacks{};
  ACaptureRequest repeatingRequest;  // the device's own copy
  int sequenceId = -1;
  int nextSequenceId = 0;
  int64_t frameNumber = 0;
  int64_t firstFrameOfSequence = 0;
  std::chrono::steady_clock::time_point nextFrameAt;
  ACameraMetadata result{};
};

struct CameraSettings {
  HostCameraConfig config{};
  std::string sourceFile;
  int32_t openCount = 0;
  uint64_t delivered = 0;
  ACameraDevice* openDevice = nullptr;
};

struct CameraService {
  std::mutex mutex;
  std::condition_variable delivered;  // a frame delivered or a capture done
  std::vector<std::string> ids;
  std::map<std::string, CameraSettings> cameras;
  int32_t failManagerCreate = 0;
  HostCameraObjects live{};
  int64_t nextContainerSerial = 1;
};

CameraService& Service();
// Settings record of an id (created with defaults); caller holds the mutex.
CameraSettings& SettingsOf(const std::string& id);
// Drops one session reference; frees it at zero. Caller holds the mutex.
void UnrefSession(ACameraCaptureSession* session);
// Queues an event for the device thread. Caller holds the mutex.
void QueueEvent(ACameraDevice* device, DeviceEvent event);
// Stops the device's repeating request, queueing the end of its sequence.
// Caller holds the mutex.
void EndRepeating(ACameraDevice* device, bool aborted);
// Body of each device's thread.
void RunDevice(ACameraDevice* device);
