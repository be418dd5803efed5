// The simulated camera service: its camera list, per-camera settings and
// counters, and the host control calls of the camera stand-in.
#include <cerrno>
#include <cstdio>

#include "internal/platform_log.h"
#include "platform/camera/camera_objects.h"

namespace {

void SetDefaultIds(CameraService& s) {
  s.ids = {"0", "1", "2", "3", "4", "5"};
}

bool AnyOpen(const CameraService& s) {
  for (const auto& entry : s.cameras) {
    if (entry.second.openDevice != nullptr) {
      return true;
    }
  }
  return false;
}

ACameraDevice* OpenDevice(const char* id) {
  if (id == nullptr) {
    return nullptr;
  }
  auto found = Service().cameras.find(id);
  return found == Service().cameras.end() ? nullptr : found->second.openDevice;
}

}  // namespace

CameraService& Service() {
  static CameraService* service = [] {
    auto* s = new CameraService();
    SetDefaultIds(*s);
    return s;
  }();
  return *service;
}

CameraSettings& SettingsOf(const std::string& id) {
  auto found = Service().cameras.find(id);
  if (found == Service().cameras.end()) {
    CameraSettings settings;
    HostCamera_defaultConfig(&settings.config);
    found = Service().cameras.emplace(id, settings).first;
  }
  return found->second;
}

extern "C" {

void HostCamera_defaultConfig(HostCameraConfig* config) {
  if (config == nullptr) {
    return;
  }
  *config = HostCameraConfig{};
  config->framesPerSecond = 30;
}

int32_t HostCamera_setIds(const char* const* ids, int32_t count) {
  if (count < 0 || count > 64 || (count > 0 && ids == nullptr)) {
    return -EINVAL;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (ids[i] == nullptr) {
      return -EINVAL;
    }
  }
  CameraService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (AnyOpen(s)) {
    return -EBUSY;
  }
  s.ids.assign(ids, ids + count);
  return 0;
}

int32_t HostCamera_configure(const char* id, const HostCameraConfig* config) {
  if (id == nullptr || config == nullptr || config->framesPerSecond < 1 ||
      config->framesPerSecond > 1000 || config->frameWidth < 0 || config->frameHeight < 0 ||
      config->frameWidth > 16384 || config->frameHeight > 16384 ||
      (config->frameWidth == 0) != (config->frameHeight == 0) || config->rowPadding < 0 ||
      config->rowPadding > 4096 || config->chromaGap < 0 || config->chromaGap > (1 << 20) ||
      config->truncateBytes < 0) {
    HOSTPLAT_LOGE("HostCamera_configure: bad settings");
    return -EINVAL;
  }
  if (config->sourceFile != nullptr) {
    std::FILE* probe = std::fopen(config->sourceFile, "rb");
    if (probe == nullptr) {
      HOSTPLAT_LOGE("HostCamera_configure: cannot read %s", config->sourceFile);
      return -EINVAL;
    }
    std::fclose(probe);
  }
  CameraService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  CameraSettings& settings = SettingsOf(id);
  settings.config = *config;
  settings.sourceFile = config->sourceFile != nullptr ? config->sourceFile : "";
  settings.config.sourceFile = nullptr;  // the copy above is what lives on
  return 0;
}

int32_t HostCamera_reset(void) {
  CameraService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (AnyOpen(s)) {
    return -EBUSY;
  }
  SetDefaultIds(s);
  s.cameras.clear();
  s.failManagerCreate = 0;
  return 0;
}

void HostCamera_failManagerCreate(int32_t count) {
  std::lock_guard<std::mutex> lock(Service().mutex);
  Service().failManagerCreate = count;
}

int32_t HostCamera_stall(const char* id, int32_t stalled) {
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = OpenDevice(id);
  if (device == nullptr) {
    return -ENODEV;
  }
  device->stalled = stalled != 0;
  device->nextFrameAt = std::chrono::steady_clock::now();
  device->wake.notify_all();
  return 0;
}

int32_t HostCamera_step(const char* id, int32_t frames) {
  if (frames < 0) {
    return -EINVAL;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = OpenDevice(id);
  if (device == nullptr) {
    return -ENODEV;
  }
  device->stepsPending += frames;
  device->wake.notify_all();
  return 0;
}

int32_t HostCamera_disconnect(const char* id) {
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = OpenDevice(id);
  if (device == nullptr) {
    return -ENODEV;
  }
  device->disconnected = true;
  DeviceEvent event{DeviceEvent::kDisconnected};
  QueueEvent(device, event);
  return 0;
}

int32_t HostCamera_reportError(const char* id, int32_t error) {
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = OpenDevice(id);
  if (device == nullptr) {
    return -ENODEV;
  }
  device->failed = true;
  DeviceEvent event{DeviceEvent::kError};
  event.value = error;
  QueueEvent(device, event);
  return 0;
}

int32_t HostCamera_failCaptures(const char* id, int32_t count) {
  std::lock_guard<std::mutex> lock(Service().mutex);
  ACameraDevice* device = OpenDevice(id);
  if (device == nullptr) {
    return -ENODEV;
  }
  device->failCaptures = count;
  return 0;
}

uint64_t HostCamera_framesDelivered(const char* id) {
  if (id == nullptr) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  return SettingsOf(id).delivered;
}

int32_t HostCamera_waitFramesDelivered(const char* id, uint64_t count, int32_t timeoutMs) {
  if (id == nullptr) {
    return -EINVAL;
  }
  CameraService& s = Service();
  std::unique_lock<std::mutex> lock(s.mutex);
  const bool reached = s.delivered.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                            [&] { return SettingsOf(id).delivered >= count; });
  return reached ? 0 : -ETIMEDOUT;
}

int32_t HostCamera_waitStepsDone(const char* id, int32_t timeoutMs) {
  if (id == nullptr) {
    return -EINVAL;
  }
  CameraService& s = Service();
  std::unique_lock<std::mutex> lock(s.mutex);
  // Looked up afresh at every wake: the device may close meanwhile.
  const bool done = s.delivered.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const ACameraDevice* device = OpenDevice(id);
    return device == nullptr || (device->stepsPending == 0 && !device->producing);
  });
  return done ? 0 : -ETIMEDOUT;
}

int32_t HostCamera_openCount(const char* id) {
  if (id == nullptr) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  return SettingsOf(id).openCount;
}

int32_t HostCamera_isOpen(const char* id) {
  std::lock_guard<std::mutex> lock(Service().mutex);
  return OpenDevice(id) != nullptr ? 1 : 0;
}

void HostCamera_liveObjects(HostCameraObjects* objects) {
  if (objects == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(Service().mutex);
  *objects = Service().live;
}

}  // extern "C"
