#pragma once
// Camera metadata handle (host stand-in). The stand-in's capture results
// carry no entries, so the handle is all there is.
#include <camera/NdkCameraError.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ACameraMetadata ACameraMetadata;

#ifdef __cplusplus
}
#endif
