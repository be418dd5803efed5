#include "host/egl/host_egl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>

#include <algorithm>
#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

EGLDisplay gDisplay = EGL_NO_DISPLAY;
EGLContext gContext = EGL_NO_CONTEXT;
EGLSurface gSurface = EGL_NO_SURFACE;
int gWidth = 0;
int gHeight = 0;

EGLDisplay SurfacelessDisplay() {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    std::fprintf(stderr, "host_egl: eglGetPlatformDisplayEXT missing\n");
    return EGL_NO_DISPLAY;
  }
  return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

}  // namespace

bool HostEglStart(int width, int height) {
  HostEglStop();
  if (width <= 0 || height <= 0) {
    return false;
  }
  if (gDisplay == EGL_NO_DISPLAY) {
    EGLDisplay display = SurfacelessDisplay();
    EGLint major = 0;
    EGLint minor = 0;
    if (display == EGL_NO_DISPLAY || eglInitialize(display, &major, &minor) != EGL_TRUE) {
      std::fprintf(stderr, "host_egl: no surfaceless display (0x%x)\n", eglGetError());
      return false;
    }
    gDisplay = display;
  }
  const EGLint configAttributes[] = {
      EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
      EGL_RED_SIZE,     8,               EGL_GREEN_SIZE,      8,
      EGL_BLUE_SIZE,    8,               EGL_ALPHA_SIZE,      8,
      EGL_DEPTH_SIZE,   16,              EGL_NONE,
  };
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (eglChooseConfig(gDisplay, configAttributes, &config, 1, &count) != EGL_TRUE || count < 1) {
    std::fprintf(stderr, "host_egl: no RGBA8 pbuffer config (0x%x)\n", eglGetError());
    return false;
  }
  eglBindAPI(EGL_OPENGL_ES_API);
  const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
  gContext = eglCreateContext(gDisplay, config, EGL_NO_CONTEXT, contextAttributes);
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  gSurface = eglCreatePbufferSurface(gDisplay, config, surfaceAttributes);
  if (gContext == EGL_NO_CONTEXT || gSurface == EGL_NO_SURFACE ||
      eglMakeCurrent(gDisplay, gSurface, gSurface, gContext) != EGL_TRUE) {
    std::fprintf(stderr, "host_egl: context or pbuffer failed (0x%x)\n", eglGetError());
    HostEglStop();
    return false;
  }
  gWidth = width;
  gHeight = height;
  return true;
}

void HostEglStop() {
  if (gDisplay == EGL_NO_DISPLAY) {
    return;
  }
  eglMakeCurrent(gDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (gSurface != EGL_NO_SURFACE) {
    eglDestroySurface(gDisplay, gSurface);
    gSurface = EGL_NO_SURFACE;
  }
  if (gContext != EGL_NO_CONTEXT) {
    eglDestroyContext(gDisplay, gContext);
    gContext = EGL_NO_CONTEXT;
  }
  gWidth = 0;
  gHeight = 0;
}

int HostEglWidth() { return gWidth; }
int HostEglHeight() { return gHeight; }

std::vector<uint8_t> HostEglReadPixels() {
  std::vector<uint8_t> frame(static_cast<std::size_t>(gWidth) * gHeight * 4);
  if (frame.empty()) {
    return frame;
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  std::vector<uint8_t> bottomUp(frame.size());
  glReadPixels(0, 0, gWidth, gHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  const std::size_t row = static_cast<std::size_t>(gWidth) * 4;
  for (int y = 0; y < gHeight; ++y) {
    std::copy_n(bottomUp.data() + (gHeight - 1 - y) * row, row, frame.data() + y * row);
  }
  return frame;
}

HostPixel HostEglPixel(const std::vector<uint8_t>& frame, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * gWidth + x) * 4;
  if (x < 0 || y < 0 || x >= gWidth || y >= gHeight || at + 3 >= frame.size()) {
    return HostPixel{0, 0, 0, 0};
  }
  return HostPixel{frame[at], frame[at + 1], frame[at + 2], frame[at + 3]};
}

bool HostEglWritePng(const std::string& path) {
  std::vector<uint8_t> frame = HostEglReadPixels();
  if (frame.empty()) {
    return false;
  }
  try {
    cv::Mat rgba(gHeight, gWidth, CV_8UC4, frame.data());
    cv::Mat bgra;
    cv::cvtColor(rgba, bgra, cv::COLOR_RGBA2BGRA);
    return cv::imwrite(path, bgra);
  } catch (const cv::Exception& error) {
    std::fprintf(stderr, "host_egl: %s\n", error.what());
    return false;
  }
}
