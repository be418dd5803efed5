#pragma once
// The fixtures of the car-view tests: a renderer initialised on the test GL
// context over an empty asset tree, resting in the 3D view with a rendering
// camera equal to the current one, and (Ground) a flat view of the ground.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/sprite_image.h"
#include "avm/view/car_params.h"
#include "avm/view/frame_loop.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/process_runner.h"

constexpr int kW = kTestScreenWidth;
constexpr int kH = kTestScreenHeight;

// A flat BGRA picture (bytes as the decoder gives them).
cv::Mat Flat(int width, int height, int b, int g, int r, int a);

class CarView : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    scene_->screenMode = 5;
    for (AngleMark& mark : scene_->angleLoaded) {
      mark.loaded = 1;
    }
    // A rendering camera equal to the current one and a frame of 101 x 101.
    carPicSizeCur[2] = 101.0f;
    carPicSizeCur[3] = 101.0f;
    carLookatAllCur[4] = scene_->mainFovy;
    carLookatAllCur[5] = scene_->mainAspect;
    for (auto& cord : carCordCur) {
      cord[0] = 0.0f;
      cord[1] = 0.0f;
      cord[2] = 101.0f;
      cord[3] = 101.0f;
    }
    glViewport(0, 0, kW, kH);
  }

  void RestAt(int angle) {
    scene_->spriteAngle = angle;
    scene_->spriteAngleTarget = angle;
  }

  // A frame of the loop without the draw entry's pacing.
  void Frame() { AvmDraw(); }

  // Fills a texture with a picture that no loader makes, so that a test can
  // tell whether a loader ran on it since.
  void Plant(uint32_t texture) { UploadSpriteImage(static_cast<int>(texture), Flat(3, 5, 9, 9, 9, 255)); }
  static bool StillPlanted(uint32_t texture) {
    const std::vector<uint8_t> pixels = ReadTexture(texture, 3, 5);
    return pixels.size() == 3 * 5 * 4 && pixels[0] == 9;
  }

  // Ground and car layers off: only what a test turns on is drawn.
  void AllLayersOff() {
    scene_->backgroundOn = 0;
    scene_->roadwayOn = 0;
    scene_->laneOn = 0;
    scene_->bottomShadowOn = 0;
    scene_->volumeLightOn = 0;
    scene_->aiCarMode = 0;
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

class Ground : public CarView {
 protected:
  void SetUp() override {
    CarView::SetUp();
    // A flat view of the ground: x from -1000 to 1000 across the screen, y
    // over 2000 (shadow) or 80000 (roadway) units.
    LoadIdentity(scene_->viewMatrix);
    LoadIdentity(scene_->projMatrix);
    scene_->projMatrix[0] = 1.0f / 1000.0f;
    scene_->projMatrix[5] = 1.0f / 1000.0f;
    scene_->projMatrix[10] = 1e-6f;
    UploadSpriteImage(static_cast<int>(scene_->roadwayTexture), Flat(4, 4, 255, 255, 255, 255));
    UploadSpriteImage(static_cast<int>(scene_->laneTexture), Flat(4, 4, 255, 255, 255, 255));
    glViewport(0, 0, kW, kH);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static void LoadIdentity(float* m) {
    std::memset(m, 0, 16 * sizeof(float));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
  }
  // Screen column of ground x.
  static int Column(float x) { return static_cast<int>((x / 1000.0f + 1.0f) * 0.5f * kW); }
  // True when the middle row is lit at ground x.
  static bool LitAt(const std::vector<uint8_t>& frame, float x) {
    return FramePixel(frame, Column(x), kH / 2).r > 128;
  }
};
