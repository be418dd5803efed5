#pragma once
// Image reader of the media NDK (host stand-in): the consumer end of a
// native window into which a camera delivers its frames.
#include <stdint.h>

#include <android/native_window.h>
#include <media/NdkImage.h>
#include <media/NdkMediaError.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AImageReader AImageReader;

media_status_t AImageReader_new(int32_t width, int32_t height, int32_t format, int32_t maxImages,
                                /*out*/ AImageReader** reader);
void AImageReader_delete(AImageReader* reader);
// The window belongs to the reader: never release it; delete the reader.
media_status_t AImageReader_getWindow(AImageReader* reader, /*out*/ ANativeWindow** window);
media_status_t AImageReader_getWidth(const AImageReader* reader, /*out*/ int32_t* width);
media_status_t AImageReader_getHeight(const AImageReader* reader, /*out*/ int32_t* height);
media_status_t AImageReader_getFormat(const AImageReader* reader, /*out*/ int32_t* format);
media_status_t AImageReader_getMaxImages(const AImageReader* reader, /*out*/ int32_t* maxImages);
media_status_t AImageReader_acquireNextImage(AImageReader* reader, /*out*/ AImage** image);
media_status_t AImageReader_acquireLatestImage(AImageReader* reader, /*out*/ AImage** image);

typedef void (*AImageReader_ImageCallback)(void* context, AImageReader* reader);

typedef struct AImageReader_ImageListener {
  void* context;
  AImageReader_ImageCallback onImageAvailable;
} AImageReader_ImageListener;

media_status_t AImageReader_setImageListener(AImageReader* reader,
                                             AImageReader_ImageListener* listener);

#ifdef __cplusplus
}
#endif
