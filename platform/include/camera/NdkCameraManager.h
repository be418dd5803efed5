#pragma once
// Camera manager (host stand-in): the list of cameras and opening them.
#include <camera/NdkCameraDevice.h>
#include <camera/NdkCameraError.h>
#include <camera/NdkCameraMetadata.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ACameraManager ACameraManager;

ACameraManager* ACameraManager_create(void);
void ACameraManager_delete(ACameraManager* manager);

typedef struct ACameraIdList {
  int numCameras;
  const char** cameraIds;
} ACameraIdList;

camera_status_t ACameraManager_getCameraIdList(ACameraManager* manager,
                                               /*out*/ ACameraIdList** cameraIdList);
void ACameraManager_deleteCameraIdList(ACameraIdList* cameraIdList);

camera_status_t ACameraManager_openCamera(ACameraManager* manager, const char* cameraId,
                                          ACameraDevice_StateCallbacks* callback,
                                          /*out*/ ACameraDevice** device);

#ifdef __cplusplus
}
#endif
