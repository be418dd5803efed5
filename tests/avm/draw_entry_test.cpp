// The draw method without a Java VM: frame pacing driven by a clock the test
// moves, idle preloading, pending reloads, the demo animation, the 3D turn
// and the logs.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "avm/bridge/avm_jni.h"
#include "avm/bridge/frame_clock.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/frame_loop.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

class DrawEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    FakeClock::Install(1000000);
    // Every angle loaded: no idle preload unless a test asks for one.
    for (AngleMark& mark : scene_->angleLoaded) {
      mark.loaded = 1;
    }
  }
  void TearDown() override {
    FakeClock::Uninstall();
    gBridge.initialised.store(1);
  }
  // A frame that starts elapsedMs after the end of the previous frame's pacing.
  int FrameAfter(uint32_t elapsedMs, int camera = -1) {
    preTime = FakeClock::now - elapsedMs;
    FakeClock::sleeps.clear();
    return AvmDrawFrame(camera);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(DrawEntry, BeforeInitialisationNothingHappens) {
  gBridge.initialised.store(0);
  const uint32_t frames = scene_->frameCounter;
  EXPECT_EQ(FrameAfter(0), -9);
  EXPECT_EQ(Java_com_kestra_avm_AVM_Draw(nullptr, nullptr, nullptr), -9);
  EXPECT_EQ(scene_->frameCounter, frames);
  EXPECT_EQ(scene_->firstFrameSeen, 0);
  EXPECT_TRUE(FakeClock::sleeps.empty());
}

TEST_F(DrawEntry, NormalPathSleepsTo40Milliseconds) {
  EXPECT_EQ(FrameAfter(10), 1);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{30});
  FrameAfter(0);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{40});
  FrameAfter(39);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{1});
  FrameAfter(40);
  EXPECT_TRUE(FakeClock::sleeps.empty());
  // The end of this frame's pacing is where the next frame measures from.
  EXPECT_EQ(preTime, FakeClock::now);
  EXPECT_EQ(nowTime, FakeClock::now);
}

TEST_F(DrawEntry, IdlePreloadTakesTheFrameOfOneAngle) {
  std::memset(scene_->angleLoaded, 0, sizeof(scene_->angleLoaded));
  scene_->angleLoadEnabled = 1;
  LogCapture log;
  FrameAfter(10);
  EXPECT_TRUE(FakeClock::sleeps.empty());  // the load used the idle time
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 1);
  EXPECT_EQ(scene_->angleLoaded[1].loaded, 0);
  FrameAfter(69);
  EXPECT_EQ(scene_->angleLoaded[1].loaded, 1);
  // A frame 70 ms after the previous one has no idle time.
  FrameAfter(70);
  EXPECT_EQ(scene_->angleLoaded[2].loaded, 0);
  EXPECT_TRUE(FakeClock::sleeps.empty());
  // The lowest missing angle goes first.
  scene_->angleLoaded[0].loaded = 0;
  FrameAfter(5);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 1);
  EXPECT_EQ(scene_->angleLoaded[2].loaded, 0);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------load_textureAll2 fail"), 0);
}

TEST_F(DrawEntry, PreloadWithoutTextureNameIsLoggedAndMarked) {
  std::memset(scene_->angleLoaded, 0, sizeof(scene_->angleLoaded));
  scene_->angleLoadEnabled = 1;
  scene_->angleTextures[0].texture = 0;
  LogCapture log;
  FrameAfter(10);
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_textureAll2 fail,0"));
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 1);
}

TEST_F(DrawEntry, PreloadStaysOffWhenDisabledOrSingleTexture) {
  std::memset(scene_->angleLoaded, 0, sizeof(scene_->angleLoaded));
  scene_->angleLoadEnabled = 0;
  FrameAfter(10);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 0);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{30});
  scene_->angleLoadEnabled = 1;
  scene_->singleTextureMode = 1;
  FrameAfter(10);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 0);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{30});
}

TEST_F(DrawEntry, AllAnglesLoadedMeansPlainPacing) {
  // Angle 191 loaded is the sign that the walk through the angles is over,
  // even when lower angles were reset meanwhile.
  scene_->angleLoadEnabled = 1;
  scene_->angleLoaded[5].loaded = 0;
  FrameAfter(75);
  EXPECT_TRUE(FakeClock::sleeps.empty());
  FrameAfter(12);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{28});
  EXPECT_EQ(scene_->angleLoaded[5].loaded, 0);
}

TEST_F(DrawEntry, PacedPathOfThe3DView) {
  scene_->carViewActive = 1;
  scene_->frameRate = 50;  // 20 ms
  FrameAfter(5);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{15});
  FrameAfter(25);
  EXPECT_TRUE(FakeClock::sleeps.empty());
  // Pending idle loads wait while the paced path runs.
  std::memset(scene_->angleLoaded, 0, sizeof(scene_->angleLoaded));
  scene_->angleLoadEnabled = 1;
  FrameAfter(5);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 0);
  // 25 frames per second is the normal period: the normal path runs.
  scene_->frameRate = 25;
  FrameAfter(5);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 1);
}

TEST_F(DrawEntry, FrameRateWithoutPeriodTakesTheNormalPath) {
  scene_->carViewActive = 1;
  for (int rate : {0, -5}) {
    scene_->frameRate = rate;
    EXPECT_EQ(FrameAfter(10), 1);
    EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{30}) << rate;
  }
  scene_->frameRate = 2000;  // a period of 0: never early
  FrameAfter(0);
  EXPECT_TRUE(FakeClock::sleeps.empty());
}

TEST_F(DrawEntry, PendingReloadsClearOrSetTheirFlags) {
  scene_->carBottomReload = 1;
  scene_->plateReload = 1;
  scene_->backgroundLoaded = 0;
  scene_->roadwayLoaded = 0;
  scene_->laneLoaded = 0;
  LogCapture log;
  FrameAfter(40);
  EXPECT_EQ(scene_->carBottomReload, 0);
  EXPECT_EQ(scene_->plateReload, 0);
  EXPECT_EQ(scene_->backgroundLoaded, 1);
  EXPECT_EQ(scene_->roadwayLoaded, 1);
  EXPECT_EQ(scene_->laneLoaded, 1);
  // Five loads were asked for; without a Java VM each reports it.
  EXPECT_EQ(log.Count("KESTRA", "-------------LoadTextureFunc,_jniEnv:NULL"), 5);
  FrameAfter(40);
  EXPECT_EQ(log.Count("KESTRA", "-------------LoadTextureFunc,_jniEnv:NULL"), 5);
}

TEST_F(DrawEntry, CameraTextureIsTakenUnlessTheTestPictureStandsIn) {
  const uint32_t frames = scene_->frameCounter;
  FrameAfter(40, 17);
  EXPECT_EQ(scene_->cameraTexture, 17);
  EXPECT_EQ(scene_->frameCounter, frames + 1);
  EXPECT_EQ(scene_->firstFrameSeen, 1);
  // No array at all is no camera picture.
  EXPECT_EQ(Java_com_kestra_avm_AVM_Draw(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(scene_->cameraTexture, -1);
  scene_->testPictureMode = 1;
  scene_->cameraTexture = 99;
  FrameAfter(40, 17);
  EXPECT_EQ(scene_->cameraTexture, 99);
}

TEST_F(DrawEntry, WithoutCameraOnlyTheLogoScreenDraws) {
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  scene_->screenMode = 0;
  FrameAfter(40, -1);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), 500, 300), 255, 0, 0));
  // A camera picture: the frame is cleared.
  FrameAfter(40, 5);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), 500, 300), 0, 0, 0));

  glClear(GL_COLOR_BUFFER_BIT);
  scene_->screenMode = 20;
  scene_->logoLoaded = 1;
  FrameAfter(40, -1);
  // The logo texture holds no picture here: the logo screen is black.
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), 500, 300), 0, 0, 0));
}

TEST_F(DrawEntry, DemoDoorsStepThroughTheirPattern) {
  scene_->demoMode = 1;
  gDemoDirection = 1;
  const struct {
    uint32_t frame;
    int doors[4];
  } steps[] = {{500, {1, 0, 0, 0}},  {1000, {0, 1, 0, 0}}, {2500, {1, 1, 1, 1}},
               {4000, {1, 0, 1, 0}}, {6500, {1, 1, 0, 1}}, {8000, {0, 0, 0, 0}},
               {10500, {1, 0, 0, 0}}};
  int direction = 1;
  for (const auto& step : steps) {
    scene_->frameCounter = step.frame - 1;
    scene_->topViewDirty = 0;
    FrameAfter(40);
    direction = 1 - direction;
    for (int door = 0; door < 4; ++door) {
      EXPECT_EQ(scene_->doorOpen[door], step.doors[door]) << step.frame << " door " << door;
    }
    EXPECT_EQ(scene_->topViewDirty, 1);
    EXPECT_EQ(gDemoDirection, direction);
    EXPECT_EQ(scene_->reverseGear, direction);
  }
}

// Like the door command, each door step of the demo makes the state images
// stale, whatever the mode: they are shown again when the 3D view comes back.
TEST_F(DrawEntry, DemoDoorStepsDropTheStateCacheInEveryMode) {
  scene_->demoMode = 1;
  // Outside modes 0, 1, 8 and 9 the demo holds the wheels straight: no
  // steering change drops the cache here.
  gBridge.demoSteer = 0.0f;
  scene_->steerAngle = 0.0;
  for (int32_t mode : {5, 15, 12, 7}) {
    scene_->screenMode = mode;
    scene_->frameLoaded[1][3] = 1;
    scene_->frameCounter = 497;
    FrameAfter(40);  // frame 498: no door step
    EXPECT_EQ(scene_->frameLoaded[1][3], 1) << "mode " << mode;
    scene_->frameCounter = 499;
    FrameAfter(40);
    EXPECT_EQ(scene_->frameLoaded[1][3], 0) << "mode " << mode;
  }
}

TEST_F(DrawEntry, DemoSpeedClimbsAndStartsOver) {
  scene_->demoMode = 1;
  scene_->vehicleSpeed.store(50000);
  scene_->frameCounter = 24;
  FrameAfter(40);
  EXPECT_EQ(scene_->vehicleSpeed.load(), 51000);
  FrameAfter(40);  // frame 26: no change
  EXPECT_EQ(scene_->vehicleSpeed.load(), 51000);
  scene_->frameCounter = 49;
  FrameAfter(40);
  EXPECT_EQ(scene_->vehicleSpeed.load(), 1000);
}

TEST_F(DrawEntry, DemoSteeringSwingsBetweenItsLimits) {
  scene_->demoMode = 1;
  scene_->screenMode = 0;
  gBridge.demoSteer = 28.5f;
  gDemoSteerStep = 1.0f;
  scene_->frameCounter = 4;
  FrameAfter(40);  // frame 5: 29.5, beyond 29: the step turns
  EXPECT_FLOAT_EQ(gBridge.demoSteer, 29.5f);
  EXPECT_FLOAT_EQ(gDemoSteerStep, -0.2f);
  EXPECT_FLOAT_EQ(static_cast<float>(scene_->steerAngle), 29.5f);
  scene_->frameCounter = 9;
  FrameAfter(40);
  EXPECT_FLOAT_EQ(gBridge.demoSteer, 29.3f);
  // Other screen modes straighten the wheels.
  scene_->screenMode = 3;
  scene_->frameCounter = 14;
  FrameAfter(40);
  EXPECT_EQ(gBridge.demoSteer, 0.0f);
  EXPECT_EQ(scene_->steerAngle, 0.0);
  gDemoSteerStep = 1.0f;
}

std::vector<int> TurnAngles(ViewParam* scene, int frames) {
  std::vector<int> angles;
  for (int i = 0; i < frames; ++i) {
    AvmDrawFrame(-1);
    angles.push_back(scene->spriteAngle);
  }
  return angles;
}

TEST_F(DrawEntry, TurnFrom0To144GoesDownThrough191) {
  scene_->screenMode = 5;
  scene_->spriteAngle = 0;
  scene_->spriteAngleTarget = 144;
  const std::vector<int> angles = TurnAngles(scene_, 48);
  EXPECT_EQ(angles.front(), 191);
  EXPECT_EQ(angles[1], 190);
  EXPECT_EQ(angles.back(), 144);
  EXPECT_FLOAT_EQ(scene_->camAngle, 144 * 1.875f);
  // At the target the frame rate settles to 25.
  scene_->frameRate = 60;
  AvmDrawFrame(-1);
  EXPECT_EQ(scene_->spriteAngle, 144);
  EXPECT_EQ(scene_->frameRate, 25);
}

TEST_F(DrawEntry, RotationShowTurnsUpTheLongWay) {
  scene_->screenMode = 15;
  scene_->spriteAngle = 0;
  scene_->spriteAngleTarget = 144;
  scene_->rotationShow = 1;
  scene_->animationNotify = 1;
  const std::vector<int> angles = TurnAngles(scene_, 144);
  for (int i = 0; i < 144; ++i) {
    ASSERT_EQ(angles[i], i + 1);
  }
  EXPECT_EQ(scene_->rotationShow, 0);
  EXPECT_EQ(scene_->animationNotify, 0);
}

TEST_F(DrawEntry, TurnFrom0To96GoesUpEitherWay) {
  for (int show : {0, 1}) {
    scene_->screenMode = 5;
    scene_->spriteAngle = 0;
    scene_->spriteAngleTarget = 96;
    scene_->rotationShow = show;
    const std::vector<int> angles = TurnAngles(scene_, 96);
    EXPECT_EQ(angles.front(), 1) << show;
    EXPECT_EQ(angles.back(), 96) << show;
  }
  // Downwards when the target lies less than half a turn below.
  scene_->spriteAngle = 100;
  scene_->spriteAngleTarget = 10;
  EXPECT_EQ(TurnAngles(scene_, 1).front(), 99);
  // The other way round when it lies more than half a turn below.
  scene_->spriteAngle = 150;
  scene_->spriteAngleTarget = 10;
  EXPECT_EQ(TurnAngles(scene_, 2), (std::vector<int>{151, 152}));
}

TEST_F(DrawEntry, TurnOnlyInThe3DModesAndAlwaysInRange) {
  scene_->screenMode = 12;
  scene_->spriteAngle = 0;
  scene_->spriteAngleTarget = 50;
  AvmDrawFrame(-1);
  EXPECT_EQ(scene_->spriteAngle, 0);
  scene_->screenMode = 5;
  scene_->angleStep = -1000;  // never set so; the angle still stays an index
  for (int i = 0; i < 20; ++i) {
    AvmDrawFrame(-1);
    ASSERT_GE(scene_->spriteAngle, 0);
    ASSERT_LT(scene_->spriteAngle, 192);
  }
}

TEST_F(DrawEntry, GlErrorsAndFrameTimesAreLogged) {
  LogCapture log;
  glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM
  FrameAfter(40);
  EXPECT_TRUE(log.Contains("KESTRA", "---------glGetError:1280"));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  scene_->frameCounter = 299;
  FrameAfter(40);
  EXPECT_TRUE(log.Contains("KESTRA", "---------frame time:0"));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------frame time:"), 1);
}

uint32_t gSlowClock = 0;
uint32_t SlowClockNow() { return gSlowClock += 31; }
void NoSleep(uint32_t) {}

TEST_F(DrawEntry, SlowFrameIsLogged) {
  gFrameClock = FrameClock{SlowClockNow, NoSleep};
  scene_->frameCounter = 10;
  LogCapture log;
  AvmDrawFrame(-1);
  EXPECT_TRUE(log.Contains("KESTRA", "---------frame time:31"));
}

TEST_F(DrawEntry, PendingCarResetForgetsTheLoadedAngles) {
  scene_->carResetPending = 1;
  scene_->carSpritesPresent = 1;
  scene_->angleLoaded[3].second = 1;
  FrameAfter(40);
  EXPECT_EQ(scene_->carResetPending, 0);
  for (const AngleMark& mark : scene_->angleLoaded) {
    ASSERT_EQ(mark.loaded, 0);
    ASSERT_EQ(mark.second, 0);
  }
}

TEST_F(DrawEntry, SteeringIsClampedAndDropsTheSideCache) {
  scene_->screenMode = 6;
  scene_->frameLoaded[0][2] = 1;
  EXPECT_EQ(AvmSetTireAngle(40.0f, 0), 1);
  EXPECT_EQ(scene_->steerAngle, 32.0);
  EXPECT_EQ(scene_->frameLoaded[0][2], 0);
  scene_->frameLoaded[0][2] = 1;
  EXPECT_EQ(AvmSetTireAngle(33.0f, 0), 1);  // still 32: nothing changes
  EXPECT_EQ(scene_->frameLoaded[0][2], 1);
  // Open doors with door sprites keep the cached state images.
  scene_->doorOpen[1] = 1;
  scene_->doorSpritesAvailable = 1;
  EXPECT_EQ(AvmSetTireAngle(-50.0f, 1), 1);  // the straight wheel at both sides, as at 32
  EXPECT_EQ(scene_->steerAngle, -32.0);
  EXPECT_EQ(scene_->reverseGear, 1);
  EXPECT_EQ(scene_->frameLoaded[0][2], 1);
}

// The side views show the front wheel of a steer set (10, 20, 30 from 5,
// 10, 15 degrees towards the side seen, straight below 5 and above 30): a
// steering change drops the state images only when it changes the set of
// either side, in any screen mode.
TEST_F(DrawEntry, SteeringDropsTheStateCacheWhenASteerSetChanges) {
  const struct {
    float from, to;
    bool dropped;
  } cases[] = {
      {0.0f, 4.9f, false},   {4.9f, 5.0f, true},     {5.0f, 9.9f, false},  {9.9f, 10.0f, true},
      {14.0f, 15.0f, true},  {15.0f, 30.9f, false},  {30.9f, 31.0f, true}, {31.0f, 40.0f, false},
      {0.0f, -4.9f, false},  {-4.9f, -5.0f, true},   {-12.0f, -13.5f, false},
      {-14.9f, -15.0f, true}, {-30.0f, -31.0f, true}, {3.0f, -3.0f, false}, {7.0f, -7.0f, true},
  };
  for (int32_t mode : {5, 15, 12}) {
    scene_->screenMode = mode;
    for (const auto& c : cases) {
      AvmSetTireAngle(c.from, 0);
      scene_->frameLoaded[1][4] = 1;
      AvmSetTireAngle(c.to, 0);
      EXPECT_EQ(scene_->frameLoaded[1][4], c.dropped ? 0 : 1)
          << "mode " << mode << ", " << c.from << " to " << c.to;
    }
  }
}

}  // namespace
