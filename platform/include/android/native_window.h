#pragma once
// Native window API (host stand-in of the platform's libandroid.so). Same
// names, types and signatures as on the device; the windows are backed by
// memory and can be inspected through host_platform/host_platform.h.
#include <stdint.h>

#include <android/rect.h>

#ifdef __cplusplus
extern "C" {
#endif

enum ANativeWindow_LegacyFormat {
  WINDOW_FORMAT_RGBA_8888 = 1,
  WINDOW_FORMAT_RGBX_8888 = 2,
  WINDOW_FORMAT_RGB_565 = 4,
};

struct ANativeWindow;
typedef struct ANativeWindow ANativeWindow;

typedef struct ANativeWindow_Buffer {
  int32_t width;   // pixels
  int32_t height;  // pixels
  int32_t stride;  // pixels per line in memory, >= width
  int32_t format;
  void* bits;
  uint32_t reserved[6];
} ANativeWindow_Buffer;

void ANativeWindow_acquire(ANativeWindow* window);
void ANativeWindow_release(ANativeWindow* window);
int32_t ANativeWindow_getWidth(ANativeWindow* window);
int32_t ANativeWindow_getHeight(ANativeWindow* window);
int32_t ANativeWindow_getFormat(ANativeWindow* window);
int32_t ANativeWindow_setBuffersGeometry(ANativeWindow* window, int32_t width, int32_t height,
                                         int32_t format);
int32_t ANativeWindow_lock(ANativeWindow* window, ANativeWindow_Buffer* outBuffer,
                           ARect* inOutDirtyBounds);
int32_t ANativeWindow_unlockAndPost(ANativeWindow* window);

#ifdef __cplusplus
}
#endif
