#pragma once
// One image handed out by an image reader (host stand-in of the media NDK).
#include <stdint.h>

#include <media/NdkMediaError.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AImage AImage;

enum AIMAGE_FORMATS {
  AIMAGE_FORMAT_RGBA_8888 = 0x1,
  AIMAGE_FORMAT_RGBX_8888 = 0x2,
  AIMAGE_FORMAT_RGB_888 = 0x3,
  AIMAGE_FORMAT_RGB_565 = 0x4,
  AIMAGE_FORMAT_RGBA_FP16 = 0x16,
  AIMAGE_FORMAT_YUV_420_888 = 0x23,
  AIMAGE_FORMAT_JPEG = 0x100,
  AIMAGE_FORMAT_RAW16 = 0x20,
  AIMAGE_FORMAT_RAW_PRIVATE = 0x24,
  AIMAGE_FORMAT_RAW10 = 0x25,
  AIMAGE_FORMAT_RAW12 = 0x26,
  AIMAGE_FORMAT_DEPTH16 = 0x44363159,
  AIMAGE_FORMAT_DEPTH_POINT_CLOUD = 0x101,
  AIMAGE_FORMAT_PRIVATE = 0x22,
};

typedef struct AImageCropRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} AImageCropRect;

void AImage_delete(AImage* image);
media_status_t AImage_getWidth(const AImage* image, /*out*/ int32_t* width);
media_status_t AImage_getHeight(const AImage* image, /*out*/ int32_t* height);
media_status_t AImage_getFormat(const AImage* image, /*out*/ int32_t* format);
media_status_t AImage_getCropRect(const AImage* image, /*out*/ AImageCropRect* rect);
media_status_t AImage_getTimestamp(const AImage* image, /*out*/ int64_t* timestampNs);
media_status_t AImage_getNumberOfPlanes(const AImage* image, /*out*/ int32_t* numPlanes);
media_status_t AImage_getPlanePixelStride(const AImage* image, int planeIdx,
                                          /*out*/ int32_t* pixelStride);
media_status_t AImage_getPlaneRowStride(const AImage* image, int planeIdx,
                                        /*out*/ int32_t* rowStride);
media_status_t AImage_getPlaneData(const AImage* image, int planeIdx, /*out*/ uint8_t** data,
                                   /*out*/ int* dataLength);

#ifdef __cplusplus
}
#endif
