#pragma once
// Camera devices and session outputs (host stand-in).
#include <camera/NdkCameraCaptureSession.h>
#include <camera/NdkCameraError.h>
#include <camera/NdkCameraWindowType.h>
#include <camera/NdkCaptureRequest.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ACameraDevice ACameraDevice;

typedef enum {
  TEMPLATE_PREVIEW = 1,
  TEMPLATE_STILL_CAPTURE = 2,
  TEMPLATE_RECORD = 3,
  TEMPLATE_VIDEO_SNAPSHOT = 4,
  TEMPLATE_ZERO_SHUTTER_LAG = 5,
  TEMPLATE_MANUAL = 6,
} ACameraDevice_request_template;

typedef void (*ACameraDevice_StateCallback)(void* context, ACameraDevice* device);
typedef void (*ACameraDevice_ErrorStateCallback)(void* context, ACameraDevice* device, int error);

enum {
  ERROR_CAMERA_IN_USE = 1,
  ERROR_MAX_CAMERAS_IN_USE = 2,
  ERROR_CAMERA_DISABLED = 3,
  ERROR_CAMERA_DEVICE = 4,
  ERROR_CAMERA_SERVICE = 5
};

typedef struct ACameraDevice_StateCallbacks {
  void* context;
  ACameraDevice_StateCallback onDisconnected;
  ACameraDevice_ErrorStateCallback onError;
} ACameraDevice_StateCallbacks;

typedef ACameraDevice_StateCallbacks ACameraDevice_stateCallbacks;

camera_status_t ACameraDevice_close(ACameraDevice* device);
const char* ACameraDevice_getId(const ACameraDevice* device);
camera_status_t ACameraDevice_createCaptureRequest(const ACameraDevice* device,
                                                   ACameraDevice_request_template templateId,
                                                   /*out*/ ACaptureRequest** request);

typedef struct ACaptureSessionOutputContainer ACaptureSessionOutputContainer;
typedef struct ACaptureSessionOutput ACaptureSessionOutput;

camera_status_t ACaptureSessionOutputContainer_create(
    /*out*/ ACaptureSessionOutputContainer** container);
void ACaptureSessionOutputContainer_free(ACaptureSessionOutputContainer* container);
camera_status_t ACaptureSessionOutput_create(ACameraWindowType* anw,
                                             /*out*/ ACaptureSessionOutput** output);
void ACaptureSessionOutput_free(ACaptureSessionOutput* output);
camera_status_t ACaptureSessionOutputContainer_add(ACaptureSessionOutputContainer* container,
                                                   const ACaptureSessionOutput* output);
camera_status_t ACaptureSessionOutputContainer_remove(ACaptureSessionOutputContainer* container,
                                                      const ACaptureSessionOutput* output);
camera_status_t ACameraDevice_createCaptureSession(
    ACameraDevice* device, const ACaptureSessionOutputContainer* outputs,
    const ACameraCaptureSession_stateCallbacks* callbacks,
    /*out*/ ACameraCaptureSession** session);

#ifdef __cplusplus
}
#endif
