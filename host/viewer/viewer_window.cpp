#include "host/viewer/viewer_window.h"

#include <GLES2/gl2.h>
#include <SDL.h>

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/lib/png_codec.h"

namespace {

SDL_Window* gWindow = nullptr;
SDL_GLContext gContext = nullptr;
int gWidth = 0;
int gHeight = 0;

std::string SdlReason(const std::string& what) { return what + ": " + SDL_GetError(); }

}  // namespace

bool OpenHiddenWindow(int width, int height, std::string* error) {
  // The Java VM handles the process's signals; SDL keeps out of them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // An ES 2.0 context as on the head unit, through EGL rather than GLX.
  SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    *error = SdlReason("no display for a window");
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  gWindow = SDL_CreateWindow("avm-viewer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                             height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (gWindow == nullptr) {
    *error = SdlReason("no window");
    SDL_Quit();
    return false;
  }
  gContext = SDL_GL_CreateContext(gWindow);
  if (gContext == nullptr || SDL_GL_MakeCurrent(gWindow, gContext) != 0) {
    *error = SdlReason("no OpenGL ES 2.0 context");
    CloseWindow();
    return false;
  }
  // The renderer paces its frames itself (40 ms); waiting for the display
  // on top of that would only add jitter.
  SDL_GL_SetSwapInterval(0);
  gWidth = width;
  gHeight = height;
  return true;
}

void ShowWindow() { SDL_ShowWindow(gWindow); }

void PresentFrame() { SDL_GL_SwapWindow(gWindow); }

void SetWindowTitle(const std::string& title) { SDL_SetWindowTitle(gWindow, title.c_str()); }

bool WriteFramePng(const std::string& path, std::string* error) {
  cv::Mat rgba(gHeight, gWidth, CV_8UC4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, gWidth, gHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data);
  if (glGetError() != GL_NO_ERROR) {
    *error = "the frame could not be read back";
    return false;
  }
  // GL rows count from the bottom; a picture's from the top.
  cv::Mat upright;
  cv::flip(rgba, upright, 0);
  cv::Mat bgr;
  cv::cvtColor(upright, bgr, cv::COLOR_RGBA2BGR);
  return tools::WritePng(path, bgr, error);
}

void CloseWindow() {
  if (gContext != nullptr) {
    SDL_GL_MakeCurrent(gWindow, nullptr);
    SDL_GL_DeleteContext(gContext);
    gContext = nullptr;
  }
  if (gWindow != nullptr) {
    SDL_DestroyWindow(gWindow);
    gWindow = nullptr;
  }
  SDL_Quit();
}
