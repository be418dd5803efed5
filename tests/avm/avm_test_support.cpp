#include "tests/avm/avm_test_support.h"

#include <GLES2/gl2.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <opencv2/imgcodecs.hpp>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/shader_programs.h"
#include "avm/include/avm_radar.h"
#include "host/egl/host_egl.h"

void StartTestGlContext() {
  static bool started = false;
  if (started) {
    return;
  }
  if (!HostEglStart(kTestScreenWidth, kTestScreenHeight)) {
    std::fprintf(stderr, "no headless GL context: these tests need Mesa's surfaceless EGL\n");
    std::abort();
  }
  started = true;
}

uint32_t FakeClock::now = 0;
std::vector<uint32_t> FakeClock::sleeps;

namespace {

uint32_t FakeNow() { return FakeClock::now; }

void FakeSleep(uint32_t ms) {
  FakeClock::sleeps.push_back(ms);
  FakeClock::now += ms;
}

}  // namespace

void FakeClock::Install(uint32_t start) {
  now = start;
  sleeps.clear();
  gFrameClock = FrameClock{FakeNow, FakeSleep};
}

void FakeClock::Uninstall() { gFrameClock = FrameClock{GetTickCount, SleepMilliseconds}; }

bool WritePicture(const std::string& path, const cv::Mat& image) {
  try {
    return cv::imwrite(path, image);
  } catch (const cv::Exception&) {
    return false;
  }
}

cv::Mat QuadrantPicture(int width, int height) {
  cv::Mat picture(height, width, CV_8UC3);
  const int halfW = width / 2;
  const int halfH = height / 2;
  picture(cv::Rect(0, 0, halfW, halfH)).setTo(cv::Scalar(0, 0, 255));
  picture(cv::Rect(halfW, 0, width - halfW, halfH)).setTo(cv::Scalar(0, 255, 0));
  picture(cv::Rect(0, halfH, halfW, height - halfH)).setTo(cv::Scalar(255, 0, 0));
  picture(cv::Rect(halfW, halfH, width - halfW, height - halfH)).setTo(cv::Scalar(255, 255, 255));
  return picture;
}

std::string MakeAssetRoot(const std::string& dir) {
  const std::string root = dir + "/assets/";
  mkdir(root.c_str(), 0755);
  mkdir((root + "common").c_str(), 0755);
  return root;
}

Rgba FramePixel(const std::vector<uint8_t>& frame, int x, int y) {
  const HostPixel pixel = HostEglPixel(frame, x, y);
  return Rgba{pixel.r, pixel.g, pixel.b, pixel.a};
}

bool Near(const Rgba& pixel, int r, int g, int b, int tolerance) {
  return std::abs(pixel.r - r) <= tolerance && std::abs(pixel.g - g) <= tolerance &&
         std::abs(pixel.b - b) <= tolerance;
}

namespace {

// Binds a framebuffer with texture as its colour; returns it (0 when the
// texture cannot be a colour attachment).
GLuint AttachTexture(uint32_t texture) {
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    return 0;
  }
  return framebuffer;
}

void DetachFramebuffer(GLuint framebuffer) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
}

}  // namespace

std::vector<uint8_t> ReadTexture(uint32_t texture, int width, int height) {
  std::vector<uint8_t> pixels;
  const GLuint framebuffer = AttachTexture(texture);
  if (framebuffer == 0 || width <= 0 || height <= 0) {
    if (framebuffer != 0) {
      DetachFramebuffer(framebuffer);
    }
    return pixels;
  }
  pixels.resize(static_cast<std::size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  DetachFramebuffer(framebuffer);
  return pixels;
}

bool TextureHasImage(uint32_t texture) {
  const GLuint framebuffer = AttachTexture(texture);
  if (framebuffer == 0) {
    return false;
  }
  DetachFramebuffer(framebuffer);
  return true;
}

int32_t BufferBytes(uint32_t buffer) {
  GLint size = -1;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return size;
}

bool SceneLockFreeForOthers() {
  bool taken = false;
  std::thread other([&taken] {
    taken = gBridge.sceneMutex.try_lock();
    if (taken) {
      gBridge.sceneMutex.unlock();
    }
  });
  other.join();
  return taken;
}

bool ShowRadarFromAbove(ViewParam* scene) {
  uint32_t names[9];
  CreateTexture(names, 9);
  for (int i = 0; i < 9; ++i) {
    const uint8_t level = static_cast<uint8_t>(20 * (i + 1));
    uint8_t pixels[16];
    for (int p = 0; p < 4; ++p) {
      pixels[4 * p] = level;
      pixels[4 * p + 1] = level;
      pixels[4 * p + 2] = level;
      pixels[4 * p + 3] = 255;
    }
    glBindTexture(GL_TEXTURE_2D, names[i]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  }
  LookAt(scene->viewMatrix, 0.0f, 0.0f, 800.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  PerspectiveMatrix4x4(scene->projMatrix, 60.0f,
                       static_cast<float>(kTestScreenWidth) / kTestScreenHeight, 1.0f, 5000.0f);
  glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
  return AvmSetRadarTextures(names, 9) == 1;
}
