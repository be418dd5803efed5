// The frame loop of the car views and the layers around the car, drawn into
// the real context and read back: the wheel animation by speed and gear,
// the blink cycle by angle and lamp state, the twelve-slot state cache, the
// drawing order of the screen modes, the scrolling ground, the shadow, the
// other car and the beams, and the car quad's uniforms.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "avm/bridge/command_handlers.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/scene_layers.h"
#include "avm/sprites/sprite_image.h"
#include "avm/view/car_params.h"
#include "avm/view/frame_loop.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kW = kTestScreenWidth;
constexpr int kH = kTestScreenHeight;

// A flat BGRA picture (bytes as the decoder gives them).
cv::Mat Flat(int width, int height, int b, int g, int r, int a) {
  return cv::Mat(height, width, CV_8UC4, cv::Scalar(b, g, r, a));
}

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

// --- Wheels -----------------------------------------------------------

TEST_F(CarView, WheelStepsBySpeedClass) {
  RestAt(130);
  struct Case {
    int32_t speed;
    int frames;
    uint32_t steps;
    uint32_t ticks;
  };
  const Case cases[] = {
      {0, 6, 0, 0},      {-20, 6, 0, 0},     {1500, 6, 0, 0},   {1501, 9, 3, 9},
      {5000, 9, 3, 9},   {5001, 8, 4, 8},    {10000, 8, 4, 8},  {10001, 5, 5, 5},
      {30000, 5, 5, 5},  {30001, 3, 6, 3},
  };
  for (const Case& c : cases) {
    scene_->vehicleSpeed.store(c.speed);
    const uint32_t phase = gWheelPhase;
    const uint32_t ticks = gWheelTickCounter;
    for (int i = 0; i < c.frames; ++i) {
      Frame();
    }
    EXPECT_EQ(gWheelPhase - phase, c.steps) << c.speed;
    EXPECT_EQ(gWheelTickCounter - ticks, c.ticks) << c.speed;
    EXPECT_EQ(scene_->wheelFrame, static_cast<int>(gWheelPhase % 6)) << c.speed;
  }
}

TEST_F(CarView, SlowWheelsTurnOneFrameInThree) {
  RestAt(0);
  scene_->vehicleSpeed.store(0);
  Frame();
  std::vector<int> frames = {scene_->wheelFrame};
  scene_->vehicleSpeed.store(1501);
  for (int i = 0; i < 12; ++i) {
    Frame();
    frames.push_back(scene_->wheelFrame);
  }
  int changes = 0;
  for (size_t i = 1; i < frames.size(); ++i) {
    if (frames[i] != frames[i - 1]) {
      EXPECT_EQ(frames[i], (frames[i - 1] + 1) % 6);
      ++changes;
    }
  }
  EXPECT_EQ(changes, 4);
}

TEST_F(CarView, ReverseRunsTheFramesBackwards) {
  RestAt(158);
  scene_->reverseGear = 1;
  scene_->vehicleSpeed.store(10001);
  Frame();
  int previous = scene_->wheelFrame;
  EXPECT_EQ(previous, 5 - static_cast<int>(gWheelPhase % 6));
  for (int i = 0; i < 7; ++i) {
    Frame();
    EXPECT_EQ(scene_->wheelFrame, (previous + 5) % 6);  // 5, 4, 3, ..., 0, 5
    previous = scene_->wheelFrame;
  }
}

TEST_F(CarView, WheelsStayWhileTurningAndOffStateAngles) {
  scene_->vehicleSpeed.store(30001);
  const uint32_t phase = gWheelPhase;
  RestAt(100);  // not a state angle
  Frame();
  scene_->spriteAngle = 130;
  scene_->spriteAngleTarget = 144;  // turning
  Frame();
  EXPECT_EQ(gWheelPhase, phase);
  // Only the 3D modes keep the sprites current.
  RestAt(130);
  scene_->screenMode = 12;
  Frame();
  EXPECT_EQ(gWheelPhase, phase);
  scene_->screenMode = 15;
  Frame();
  EXPECT_EQ(gWheelPhase, phase + 2);
}

TEST_F(CarView, DoorModeShowsTheFirstWheelFrame) {
  RestAt(130);
  scene_->vehicleSpeed.store(10001);
  scene_->doorOpen[0] = 1;
  scene_->doorSpritesAvailable = 1;
  for (int i = 0; i < 4; ++i) {
    Frame();
    EXPECT_EQ(scene_->wheelFrame, 0);
  }
  // Without door sprites the open door is not shown and the wheels turn.
  scene_->doorSpritesAvailable = 0;
  std::vector<int> frames;
  for (int i = 0; i < 3; ++i) {
    Frame();
    frames.push_back(scene_->wheelFrame);
  }
  EXPECT_NE(frames[0], frames[1]);
  EXPECT_NE(frames[1], frames[2]);
}

// --- Blinking ---------------------------------------------------------

// Frames in blink phase 1 over count frames at a resting angle.
int LitFrames(ViewParam* scene, int angle, int32_t lampState, int count) {
  scene->spriteAngle = angle;
  scene->spriteAngleTarget = angle;
  scene->lampState = lampState;
  scene->blinkCounter = 0;
  scene->blinkPhase = 0;
  int lit = 0;
  for (int i = 0; i < count; ++i) {
    AvmDraw();
    lit += scene->blinkPhase;
  }
  return lit;
}

TEST_F(CarView, LampsBlinkTwelveFramesOnTwelveOff) {
  RestAt(54);
  scene_->lampState = 3;
  scene_->blinkCounter = 0;
  scene_->blinkPhase = 0;
  std::vector<int> phases;
  for (int i = 0; i < 48; ++i) {
    Frame();
    phases.push_back(scene_->blinkPhase);
  }
  for (int i = 0; i < 48; ++i) {
    // Counter 12 turns the lamp on, 24 off, 36 on, 48 off.
    const int expected = ((i + 1) / 12) % 2;
    EXPECT_EQ(phases[i], expected) << "frame " << i;
  }
}

TEST_F(CarView, WhichAnglesBlinkForWhichLampState) {
  // Both indicators blink at the ends, but at a side only its own does.
  EXPECT_EQ(LitFrames(scene_, 54, 3, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 144, 3, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 130, 3, 48), 0);
  EXPECT_EQ(LitFrames(scene_, 158, 3, 48), 0);
  EXPECT_EQ(LitFrames(scene_, 130, 1, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 158, 1, 48), 0);
  EXPECT_EQ(LitFrames(scene_, 158, 2, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 144, 0, 48), 0);
  // -1 runs the cycle everywhere; the partial views run it whatever the lamps.
  for (int angle : {0, 24, 54, 72, 96, 130, 144, 158}) {
    EXPECT_EQ(LitFrames(scene_, angle, -1, 48), 24) << angle;
  }
  EXPECT_EQ(LitFrames(scene_, 72, 0, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 96, 0, 48), 24);
}

TEST_F(CarView, AStoppedCycleGoesDarkButKeepsItsCount) {
  RestAt(130);
  scene_->lampState = 1;
  scene_->blinkCounter = 11;
  scene_->blinkPhase = 0;
  Frame();
  EXPECT_EQ(scene_->blinkPhase, 1);
  ASSERT_EQ(CmdLamps(0), 1);
  Frame();
  EXPECT_EQ(scene_->blinkPhase, 0);
  EXPECT_EQ(scene_->blinkCounter, 12);
}

TEST_F(CarView, TheBlinkCycleRunsOnAcrossTheCountersWrap) {
  // The counter counts every blinking frame for the life of the car: near
  // the top of its range it must neither overflow nor break the cycle.
  RestAt(54);
  scene_->lampState = 3;
  scene_->blinkPhase = 0;
  scene_->blinkCounter = std::numeric_limits<int32_t>::max() - 30;
  std::vector<int> toggles;
  int phase = scene_->blinkPhase;
  for (int frame = 0; frame < 80; ++frame) {
    Frame();
    if (scene_->blinkPhase != phase) {
      toggles.push_back(frame);
      phase = scene_->blinkPhase;
    }
  }
  ASSERT_GE(toggles.size(), 6u);
  for (std::size_t i = 1; i < toggles.size(); ++i) {
    EXPECT_EQ(toggles[i] - toggles[i - 1], 12) << "toggle " << i;
  }
}

// --- The state cache --------------------------------------------------

TEST_F(CarView, EachSlotIsComposedOnceUntilACommandClearsTheCache) {
  RestAt(144);
  scene_->vehicleSpeed.store(0);
  scene_->lampState = 0;
  Frame();
  const int w = scene_->wheelFrame;
  EXPECT_EQ(scene_->frameLoaded[0][w], 1);
  int loaded = 0;
  for (const auto& row : scene_->frameLoaded) {
    for (int16_t flag : row) {
      loaded += flag;
    }
  }
  EXPECT_EQ(loaded, 1);

  // A current slot is only bound: what it holds stays.
  Plant(scene_->frameTextures[0][w]);
  Frame();
  Frame();
  EXPECT_TRUE(StillPlanted(scene_->frameTextures[0][w]));
  // The lamp, door and angle commands make every slot stale: the next frame
  // composes the slot again (this car has no pictures: an empty image).
  for (int command : {6, 4, 7}) {
    Plant(scene_->frameTextures[0][w]);
    if (command == 6) {
      CmdLamps(0);
    } else if (command == 4) {
      CmdDoors(0);
    } else {
      CmdViewAngle(270);  // 144 rests there
      RestAt(144);
    }
    EXPECT_EQ(scene_->frameLoaded[0][w], 0) << command;
    Frame();
    EXPECT_FALSE(StillPlanted(scene_->frameTextures[0][w])) << command;
    EXPECT_EQ(scene_->frameLoaded[0][w], 1) << command;
  }
}

TEST_F(CarView, AFullCycleComposesAtMostTwelveImages) {
  RestAt(72);
  scene_->lampState = -1;
  scene_->vehicleSpeed.store(10001);
  std::memset(scene_->frameLoaded, 0, sizeof(scene_->frameLoaded));
  for (int i = 0; i < 72; ++i) {
    Frame();
  }
  for (const auto& row : scene_->frameLoaded) {
    for (int16_t flag : row) {
      EXPECT_EQ(flag, 1);
    }
  }
  // From now on nothing is composed: every slot keeps a planted picture.
  for (const auto& row : scene_->frameTextures) {
    for (uint32_t texture : row) {
      Plant(texture);
    }
  }
  for (int i = 0; i < 30; ++i) {
    Frame();
  }
  for (const auto& row : scene_->frameTextures) {
    for (uint32_t texture : row) {
      EXPECT_TRUE(StillPlanted(texture));
    }
  }
}

TEST_F(CarView, TurningComposesNothing) {
  scene_->spriteAngle = 130;
  scene_->spriteAngleTarget = 0;
  std::memset(scene_->frameLoaded, 0, sizeof(scene_->frameLoaded));
  Frame();
  for (const auto& row : scene_->frameLoaded) {
    for (int16_t flag : row) {
      EXPECT_EQ(flag, 0);
    }
  }
}

TEST_F(CarView, TheWholeCarImageLoadsOnDemandAndSingleTextureFollowsTheAngle) {
  RestAt(40);
  scene_->angleLoaded[40].loaded = 0;
  Plant(scene_->angleTextures[40].texture);
  Frame();
  EXPECT_EQ(scene_->angleLoaded[40].loaded, 1);
  EXPECT_FALSE(StillPlanted(scene_->angleTextures[40].texture));
  Plant(scene_->angleTextures[40].texture);
  Frame();
  EXPECT_TRUE(StillPlanted(scene_->angleTextures[40].texture));

  scene_->singleTextureMode = 1;
  scene_->singleTextureAngle = -1;
  Plant(scene_->singleTexture[0]);
  Frame();
  EXPECT_EQ(scene_->singleTextureAngle, 40);
  EXPECT_FALSE(StillPlanted(scene_->singleTexture[0]));
  Plant(scene_->singleTexture[0]);
  Frame();
  EXPECT_TRUE(StillPlanted(scene_->singleTexture[0]));
}

// --- What each screen mode draws ---------------------------------------

TEST_F(CarView, ModeFifteenKeepsSpritesButDrawsNothing) {
  RestAt(40);
  AllLayersOff();
  scene_->backgroundOn = 1;
  scene_->backgroundMode = 0;
  UploadSpriteImage(static_cast<int>(scene_->backgroundTexture), Flat(4, 4, 200, 200, 200, 255));
  scene_->carViewActive = 0;
  scene_->carSpriteReady = 0;
  scene_->screenMode = 15;
  Frame();
  EXPECT_EQ(scene_->carViewActive, 1);
  EXPECT_EQ(scene_->carSpriteReady, 1);
  std::vector<uint8_t> frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, kW / 2, kH / 2), 0, 0, 0));
  scene_->screenMode = 5;
  Frame();
  frame = HostEglReadPixels();
  const int x = static_cast<int>(scene_->mainViewport[0] + scene_->mainViewport[2] / 2);
  const int y = kH - 1 - static_cast<int>(scene_->mainViewport[1] + scene_->mainViewport[3] / 2);
  EXPECT_TRUE(Near(FramePixel(frame, x, y), 200, 200, 200));
}

TEST_F(CarView, RestingStateAngleDrawsTheStateSpriteTurningDrawsTheWholeCar) {
  AllLayersOff();
  scene_->carSpritesPresent = 1;
  RestAt(130);
  scene_->vehicleSpeed.store(0);
  scene_->lampState = 0;
  Frame();  // composes the slot (an empty image: this car has no pictures)
  const int w = scene_->wheelFrame;
  UploadSpriteImage(static_cast<int>(scene_->frameTextures[0][w]), Flat(4, 4, 255, 0, 0, 255));
  UploadSpriteImage(static_cast<int>(scene_->angleTextures[130].texture),
                    Flat(4, 4, 0, 255, 0, 255));
  const int x = static_cast<int>(scene_->mainViewport[0] + scene_->mainViewport[2] / 2);
  const int y = kH - 1 - static_cast<int>(scene_->mainViewport[1] + scene_->mainViewport[3] / 2);
  Frame();
  // The decoded B byte lands in the texture's R.
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), x, y), 255, 0, 0));
  scene_->spriteAngleTarget = 131;  // turning away: the loop draws the whole car
  scene_->spriteAngle = 130;
  AvmDraw();
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), x, y), 0, 255, 0));
  // At a resting angle that is no state angle, the whole car as well.
  RestAt(131);
  UploadSpriteImage(static_cast<int>(scene_->angleTextures[131].texture),
                    Flat(4, 4, 255, 255, 0, 255));
  Frame();
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), x, y), 255, 255, 0));
}

// --- The car quad -----------------------------------------------------

class CarQuad : public CarView {
 protected:
  void SetUp() override {
    CarView::SetUp();
    RestAt(10);
    scene_->carSpritesPresent = 1;
    scene_->carSpriteReady = 1;
    scene_->singleTextureMode = 0;
    // Left half transparent, right half opaque white.
    cv::Mat picture = Flat(8, 8, 255, 255, 255, 255);
    picture(cv::Rect(0, 0, 4, 8)).setTo(cv::Scalar(0, 0, 0, 0));
    UploadSpriteImage(static_cast<int>(scene_->angleTextures[10].texture), picture);
    UploadSpriteImage(static_cast<int>(scene_->frameTextures[0][0]), picture);
    scene_->blinkPhase = 0;
    scene_->wheelFrame = 0;
    glViewport(0, 0, kW, kH);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  }
  Rgba Left() { return FramePixel(HostEglReadPixels(), kW / 4, kH / 2); }
  Rgba Right() { return FramePixel(HostEglReadPixels(), 3 * kW / 4, kH / 2); }
};

TEST_F(CarQuad, BrightnessScalesTheColourNotTheTransparency) {
  scene_->carBrightness = 1.0f;
  DrawCar3D_All();
  EXPECT_TRUE(Near(Right(), 255, 255, 255));
  EXPECT_TRUE(Near(Left(), 0, 0, 255));
  scene_->carBrightness = 0.0f;
  DrawCar3D_All();
  EXPECT_TRUE(Near(Right(), 0, 0, 0));  // black, and opaque over the blue
  EXPECT_TRUE(Near(Left(), 0, 0, 255));
}

TEST_F(CarQuad, NoSpriteReadyDrawsNoWholeCarButTheStateSpriteAnyway) {
  scene_->carBrightness = 1.0f;
  scene_->carSpriteReady = 0;
  DrawCar3D_All();
  EXPECT_TRUE(Near(Right(), 0, 0, 255));
  DrawCar3D_Some();
  EXPECT_TRUE(Near(Right(), 255, 255, 255));
}

TEST_F(CarQuad, DamagedTablesDrawNothingAndRaiseNoError) {
  scene_->carBrightness = 1.0f;
  while (glGetError() != GL_NO_ERROR) {
  }
  carPicSizeCur[2] = 1.0f;
  DrawCar3D_All();
  DrawCar3D_Some();
  carPicSizeCur[2] = 101.0f;
  carCordCur[10][2] = std::numeric_limits<float>::quiet_NaN();
  DrawCar3D_All();
  carCordCur[10][2] = 101.0f;
  scene_->mainAspect = 0.0f;
  DrawCar3D_Some();
  EXPECT_TRUE(Near(Right(), 0, 0, 255));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The angle outside the tables draws nothing either.
  scene_->mainAspect = carLookatAllCur[5];
  scene_->spriteAngle = 192;
  DrawCar3D_All();
  scene_->spriteAngle = -1;
  DrawCar3D_Some();
  EXPECT_TRUE(Near(Right(), 0, 0, 255));
}

TEST_F(CarQuad, TopViewWithoutGeometryDrawsNothing) {
  UploadSpriteImage(static_cast<int>(scene_->topViewTexture), Flat(8, 8, 255, 255, 255, 255));
  const float top[5] = {200.0f, 600.0f, 100.0f, 400.0f, 900.0f};
  std::memcpy(carTop2Cur, top, sizeof(top));
  scene_->topViewDirty = 1;
  scene_->topGeometryValid = 0;
  DrawCar3D_Top();
  EXPECT_EQ(scene_->topViewDirty, 0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), kW / 2, kH / 2), 0, 0, 255));
  // With it, the loader's picture (empty here: no car) is drawn; a planted
  // one shows when nothing is dirty.
  UploadSpriteImage(static_cast<int>(scene_->topViewTexture), Flat(8, 8, 255, 255, 255, 255));
  scene_->topGeometryValid = 1;
  DrawCar3D_Top();
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), kW / 2, kH / 2), 255, 255, 255));
}

// --- Ground layers ----------------------------------------------------

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

TEST_F(Ground, PhaseAlternatesAtStandstillAndMovesWithTheSpeedClass) {
  scene_->reverseGear = 0;
  scene_->vehicleSpeed.store(0);
  gRoadwayPhase = 0;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 100);
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 0);
  const struct {
    int32_t speed;
    int step;
  } classes[] = {{1, 1}, {5000, 1}, {5001, 2}, {10000, 2}, {10001, 3}, {30000, 3}, {30001, 4}};
  for (const auto& c : classes) {
    gRoadwayPhase = 50;
    gLanePhase = 10;
    scene_->vehicleSpeed.store(c.speed);
    DrawRoadway(0);
    DrawLaneline(0);
    EXPECT_EQ(gRoadwayPhase, 50 + c.step) << c.speed;
    EXPECT_EQ(gLanePhase, 10 + c.step) << c.speed;
  }
  // Forward wraps past 99 to 0; reverse falls and wraps from 0 or below to 100.
  scene_->vehicleSpeed.store(30001);
  gRoadwayPhase = 96;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 0);
  scene_->reverseGear = 1;
  gRoadwayPhase = 10;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 6);
  gRoadwayPhase = 3;
  DrawRoadway(0);
  EXPECT_EQ(gRoadwayPhase, 100);
}

TEST_F(Ground, TextureOffsetFollowsThePhase) {
  // A picture with its top quarter red and the rest green: the tile shows
  // rows v .. v + 0.75 of it, so phase 100 (v = 0) starts in red and phase 0
  // (v = 0.25) shows green only.
  cv::Mat picture = Flat(4, 16, 0, 255, 0, 255);
  picture(cv::Rect(0, 0, 4, 4)).setTo(cv::Scalar(0, 0, 255, 255));
  UploadSpriteImage(static_cast<int>(scene_->roadwayTexture), picture);
  scene_->vehicleSpeed.store(0);
  scene_->projMatrix[5] = 1.0f / 1100.0f;  // one tile, y -1100..1100, fills the height
  scene_->viewMatrix[13] = -(-22500.0f + 1100.0f) / 1.0f;  // centre the first tile
  gRoadwayPhase = 0;
  DrawRoadway(0);
  std::vector<uint8_t> frame = HostEglReadPixels();
  int red = 0;
  for (int y = 0; y < kH; ++y) {
    red += FramePixel(frame, kW / 2, y).b > 128 ? 1 : 0;  // texture B = picture R byte
  }
  EXPECT_LE(red, 1);  // at most the blended edge row
  glClear(GL_COLOR_BUFFER_BIT);
  DrawRoadway(0);  // phase 100 now
  frame = HostEglReadPixels();
  red = 0;
  for (int y = 0; y < kH; ++y) {
    red += FramePixel(frame, kW / 2, y).b > 128 ? 1 : 0;
  }
  // A quarter of the picture over three quarters of it on screen: a third
  // of the height, at the tile's far end (y + 2200 is v, the top).
  EXPECT_NEAR(red, kH / 3, 4);
  EXPECT_GT(FramePixel(frame, kW / 2, 5).b, 160);
}

TEST_F(Ground, TheOtherCarShiftsTheRoad) {
  const struct {
    int mode;
    float left, right;
  } cases[] = {{0, -555, 555}, {2, -555, 555}, {3, -455, 655}, {4, -655, 455}};
  for (const auto& c : cases) {
    scene_->aiCarMode = c.mode;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawRoadway(0);
    std::vector<uint8_t> frame = HostEglReadPixels();
    EXPECT_TRUE(LitAt(frame, c.left + 8)) << c.mode;
    EXPECT_FALSE(LitAt(frame, c.left - 8)) << c.mode;
    EXPECT_TRUE(LitAt(frame, c.right - 8)) << c.mode;
    EXPECT_FALSE(LitAt(frame, c.right + 8)) << c.mode;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawLaneline(0);
    frame = HostEglReadPixels();
    EXPECT_TRUE(LitAt(frame, c.left + 8)) << c.mode;
    EXPECT_FALSE(LitAt(frame, c.left - 8)) << c.mode;
  }
}

TEST_F(Ground, FlatShadowIsAMidGreyRectangleOfTheCarsSize) {
  scene_->carBottomIndex = 3;
  scene_->shadowLuma = 0.5f;
  scene_->carWidth = 190;
  scene_->carLength = 523;
  DrawCarBottomShadow(0);
  std::vector<uint8_t> frame = HostEglReadPixels();
  const Rgba centre = FramePixel(frame, kW / 2, kH / 2);
  EXPECT_TRUE(Near(centre, 128, 128, 128, 1));
  EXPECT_GT(FramePixel(frame, Column(90), kH / 2).r, 100);
  EXPECT_EQ(FramePixel(frame, Column(100), kH / 2).r, 0);
  const int rowInside = kH / 2 - static_cast<int>(255.0f / 1000.0f * kH / 2);
  const int rowOutside = kH / 2 - static_cast<int>(268.0f / 1000.0f * kH / 2);
  EXPECT_GT(FramePixel(frame, kW / 2, rowInside).r, 100);
  EXPECT_EQ(FramePixel(frame, kW / 2, rowOutside).r, 0);

  // The top view scales it by topScale; the picture form draws the picture.
  scene_->topScale[0] = 2.0f;
  scene_->topScale[1] = 1.0f;
  glClear(GL_COLOR_BUFFER_BIT);
  DrawCarBottomShadow(1);
  frame = HostEglReadPixels();
  EXPECT_GT(FramePixel(frame, Column(180), kH / 2).r, 100);
  EXPECT_EQ(FramePixel(frame, Column(200), kH / 2).r, 0);
  scene_->carBottomIndex = 1;
  UploadSpriteImage(static_cast<int>(scene_->carBottomTexture), Flat(4, 4, 0, 0, 255, 255));
  glClear(GL_COLOR_BUFFER_BIT);
  DrawCarBottomShadow(0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), kW / 2, kH / 2), 0, 0, 255));
}

TEST_F(Ground, BackgroundModes) {
  UploadSpriteImage(static_cast<int>(scene_->backgroundTexture), Flat(4, 4, 255, 255, 255, 255));
  const struct {
    int mode, angle;
    int32_t speed;
    int aiCar;
    bool drawn;
  } cases[] = {
      {0, 10, 0, 0, true},    {1, 144, 0, 0, false}, {1, 144, 1, 0, true},
      {1, 143, 1, 0, false},  {1, 144, 1, 3, false}, {1, 144, 1, 4, false},
      {1, 144, -1, 2, true},  {2, 144, 1, 0, false}, {-1, 144, 1, 0, false},
  };
  for (const auto& c : cases) {
    scene_->backgroundMode = c.mode;
    scene_->spriteAngle = c.angle;
    scene_->vehicleSpeed.store(c.speed);
    scene_->aiCarMode = c.aiCar;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawBackground(6);
    const Rgba pixel = FramePixel(HostEglReadPixels(), kW / 2, kH / 2);
    EXPECT_EQ(pixel.r > 128, c.drawn) << c.mode << " " << c.angle << " " << c.speed;
  }
}

TEST_F(Ground, BeamsAtSeventyTwoNeedThePartialWheelSet) {
  UploadSpriteImage(static_cast<int>(scene_->volumeLightTexture), Flat(4, 4, 255, 255, 255, 255));
  scene_->spriteAngle = 72;
  scene_->partialWheelSpritesPresent = 0;
  scene_->volumeLightLoaded = 0;
  DrawVoumeLight();
  EXPECT_EQ(scene_->volumeLightLoaded, 0);
  EXPECT_EQ(FramePixel(HostEglReadPixels(), kW / 2, kH / 2).r, 0);
  EXPECT_TRUE(TextureHasImage(scene_->volumeLightTexture));
  // At another angle whatever the texture holds is drawn and marked loaded.
  scene_->spriteAngle = 10;
  DrawVoumeLight();
  EXPECT_EQ(scene_->volumeLightLoaded, 1);
  EXPECT_GT(FramePixel(HostEglReadPixels(), kW / 2, kH / 2).r, 128);
  // At 72 with the set, the car's light1 picture is loaded (none here:
  // an empty texture).
  scene_->spriteAngle = 72;
  scene_->partialWheelSpritesPresent = 1;
  scene_->volumeLightLoaded = 0;
  DrawVoumeLight();
  EXPECT_EQ(scene_->volumeLightLoaded, 1);
  EXPECT_FALSE(TextureHasImage(scene_->volumeLightTexture));
}

TEST_F(Ground, WithoutAFiniteFrameTheOtherCarAndTheBeamsAreNotLoaded) {
  // No field of view: the rendering frame has no finite size.
  const float fovy = scene_->mainFovy;
  scene_->mainFovy = 0.0f;
  scene_->spriteAngle = 144;
  scene_->aiCarLoaded = 0;
  scene_->volumeLightLoaded = 0;
  Plant(scene_->aiCarTexture);
  Plant(scene_->volumeLightTexture);
  for (int frame = 0; frame < 100; ++frame) {
    DrawAiCar();
    DrawVoumeLight();
  }
  EXPECT_EQ(scene_->aiCarLoaded, 0);
  EXPECT_EQ(scene_->volumeLightLoaded, 0);
  EXPECT_TRUE(StillPlanted(scene_->aiCarTexture)) << "the other car was loaded";
  EXPECT_TRUE(StillPlanted(scene_->volumeLightTexture)) << "the beams were loaded";
  // With a frame to draw into, each is loaded once.
  scene_->mainFovy = fovy;
  DrawAiCar();
  DrawVoumeLight();
  EXPECT_EQ(scene_->aiCarLoaded, 1);
  EXPECT_EQ(scene_->volumeLightLoaded, 1);
  EXPECT_FALSE(StillPlanted(scene_->aiCarTexture));
}

TEST_F(Ground, OtherCarLoadsOnceAndCoversTheRenderingFrame) {
  UploadSpriteImage(static_cast<int>(scene_->aiCarTexture), Flat(4, 4, 255, 255, 255, 255));
  scene_->aiCarLoaded = 1;
  DrawAiCar();
  std::vector<uint8_t> frame = HostEglReadPixels();
  // Equal cameras: the whole viewport.
  EXPECT_GT(FramePixel(frame, 2, 2).r, 128);
  EXPECT_GT(FramePixel(frame, kW - 3, kH - 3).r, 128);
  scene_->aiCarLoaded = 0;
  DrawAiCar();
  EXPECT_EQ(scene_->aiCarLoaded, 1);
  EXPECT_FALSE(TextureHasImage(scene_->aiCarTexture));  // no warning2 picture in this car
}

}  // namespace
