#pragma once
// Capture requests and their output targets (host stand-in).
#include <camera/NdkCameraError.h>
#include <camera/NdkCameraMetadata.h>
#include <camera/NdkCameraWindowType.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ACameraOutputTarget ACameraOutputTarget;
typedef struct ACaptureRequest ACaptureRequest;

camera_status_t ACameraOutputTarget_create(ACameraWindowType* window,
                                           /*out*/ ACameraOutputTarget** output);
void ACameraOutputTarget_free(ACameraOutputTarget* output);
camera_status_t ACaptureRequest_addTarget(ACaptureRequest* request,
                                          const ACameraOutputTarget* output);
camera_status_t ACaptureRequest_removeTarget(ACaptureRequest* request,
                                             const ACameraOutputTarget* output);
void ACaptureRequest_free(ACaptureRequest* request);

#ifdef __cplusplus
}
#endif
