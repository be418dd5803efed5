// Camera manager: the platform's camera list and opening cameras. Each open
// camera gets a thread of its own that streams its frames and delivers its
// callbacks.
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"
#include "platform/camera/camera_objects.h"

extern "C" {

ACameraManager* ACameraManager_create(void) {
  CameraService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.failManagerCreate > 0) {
    --s.failManagerCreate;
    return nullptr;
  }
  auto* manager = new (std::nothrow) ACameraManager();
  if (manager != nullptr) {
    ++s.live.managers;
    HostJournal_record("ACameraManager_create", "ids=%zu", s.ids.size());
  }
  return manager;
}

void ACameraManager_delete(ACameraManager* manager) {
  if (manager == nullptr) {
    return;
  }
  HostJournal_record("ACameraManager_delete", "manager");
  std::lock_guard<std::mutex> lock(Service().mutex);
  --Service().live.managers;
  delete manager;
}

camera_status_t ACameraManager_getCameraIdList(ACameraManager* manager,
                                               ACameraIdList** cameraIdList) {
  if (manager == nullptr || cameraIdList == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  CameraService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  // One block: the record, the pointer array, then the strings.
  size_t bytes = sizeof(ACameraIdList) + s.ids.size() * sizeof(const char*);
  for (const std::string& id : s.ids) {
    bytes += id.size() + 1;
  }
  auto* block = static_cast<char*>(std::malloc(bytes));
  if (block == nullptr) {
    return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
  }
  auto* list = reinterpret_cast<ACameraIdList*>(block);
  auto** pointers = reinterpret_cast<const char**>(block + sizeof(ACameraIdList));
  char* text = block + sizeof(ACameraIdList) + s.ids.size() * sizeof(const char*);
  for (size_t i = 0; i < s.ids.size(); ++i) {
    std::memcpy(text, s.ids[i].c_str(), s.ids[i].size() + 1);
    pointers[i] = text;
    text += s.ids[i].size() + 1;
  }
  list->numCameras = static_cast<int>(s.ids.size());
  list->cameraIds = pointers;
  ++s.live.idLists;
  HostJournal_record("ACameraManager_getCameraIdList", "ids=%zu", s.ids.size());
  *cameraIdList = list;
  return ACAMERA_OK;
}

void ACameraManager_deleteCameraIdList(ACameraIdList* cameraIdList) {
  if (cameraIdList == nullptr) {
    return;
  }
  HostJournal_record("ACameraManager_deleteCameraIdList", "ids=%d", cameraIdList->numCameras);
  std::lock_guard<std::mutex> lock(Service().mutex);
  --Service().live.idLists;
  std::free(cameraIdList);
}

camera_status_t ACameraManager_openCamera(ACameraManager* manager, const char* cameraId,
                                          ACameraDevice_StateCallbacks* callback,
                                          ACameraDevice** device) {
  if (manager == nullptr || cameraId == nullptr || callback == nullptr || device == nullptr) {
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  *device = nullptr;
  CameraService& s = Service();
  std::unique_lock<std::mutex> lock(s.mutex);
  int index = -1;
  for (size_t i = 0; i < s.ids.size(); ++i) {
    if (s.ids[i] == cameraId) {
      index = static_cast<int>(i);
    }
  }
  if (index < 0) {
    HOSTPLAT_LOGE("ACameraManager_openCamera: no camera %s", cameraId);
    return ACAMERA_ERROR_INVALID_PARAMETER;
  }
  CameraSettings& settings = SettingsOf(cameraId);
  HostJournal_record("ACameraManager_openCamera", "cam=%s", cameraId);
  if (settings.openDevice != nullptr) {
    return ACAMERA_ERROR_CAMERA_IN_USE;
  }
  if (settings.config.openError != 0) {
    return static_cast<camera_status_t>(settings.config.openError);
  }
  auto* created = new (std::nothrow) ACameraDevice();
  if (created == nullptr) {
    return ACAMERA_ERROR_NOT_ENOUGH_MEMORY;
  }
  created->id = cameraId;
  created->cameraIndex = index;
  created->callbacks = *callback;
  created->config = settings.config;
  created->repeatingRequest.cameraId = cameraId;
  if (!settings.sourceFile.empty()) {
    created->sourceUsable = created->source.OpenFile(settings.sourceFile);
  }
  settings.openDevice = created;
  ++settings.openCount;
  ++s.live.devices;
  try {
    created->thread = std::thread(RunDevice, created);
  } catch (const std::system_error&) {
    settings.openDevice = nullptr;
    --s.live.devices;
    delete created;
    return ACAMERA_ERROR_CAMERA_SERVICE;
  }
  created->threadId = created->thread.get_id();
  *device = created;
  return ACAMERA_OK;
}

}  // extern "C"
