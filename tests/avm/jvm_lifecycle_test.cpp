// The renderer inside a real Java VM, driven through its Java class as the
// app drives it: start-up commands, initialisation with the common pictures
// loaded through Java, frames read back from the GL context, notifications.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/java_callbacks.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

void NoSleep(uint32_t) {}

class JavaRenderer : public ::testing::Test {
 protected:
  void SetUp() override {
    StartJavaRenderer();
    root_ = MakeAssetRoot(dir_.path());
    TakeNotifications();
    TakeLoadRequests();
  }
  void TearDown() override { gFrameClock = FrameClock{GetTickCount, SleepMilliseconds}; }

  // Frames without waiting for the pacing.
  void FastFrames() { gFrameClock = FrameClock{GetTickCount, NoSleep}; }

  TempDir dir_;
  std::string root_;
};

// Runs first in this program: the library has not been initialised yet.
TEST_F(JavaRenderer, StartupCommandsThenInitialisation) {
  ASSERT_EQ(gBridge.initialised.load(), 0) << "must run before any initialisation";
  EXPECT_EQ(JavaDraw(nullptr), -9);
  const std::vector<int> camera = {3};
  EXPECT_EQ(JavaDraw(&camera), -9);
  EXPECT_EQ(JavaSetCmd(0, 20), -9);
  EXPECT_EQ(JavaSetCmd(84, 0), -9);

  // A null asset directory is refused, and the library stays uninitialised.
  {
    LogCapture log;
    EXPECT_EQ(JavaInitialise(nullptr), 0);
    EXPECT_TRUE(log.Contains("KESTRA", "---------error,files_path NULL!"));
    EXPECT_TRUE(log.Contains("KESTRA", "---------avm.so,version 1.27"));
  }
  EXPECT_EQ(JavaDraw(&camera), -9);
  EXPECT_EQ(JavaSetCmd(84, 0), -9);

  // The test picture lives on the device's storage; here below the test folder.
  ASSERT_EQ(mkdir((dir_.path() + "/sdcard").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir_.path() + "/sdcard/avm").c_str(), 0755), 0);
  ASSERT_TRUE(WritePicture(dir_.path() + "/sdcard/avm/pic.bmp", QuadrantPicture(32, 32)));
  SetDeviceStorageRoot(dir_.path() + "/sdcard");

  EXPECT_EQ(JavaSetCmd(13, 1), 1);
  EXPECT_EQ(JavaSetCmd(17, 2), 1);
  EXPECT_EQ(JavaSetCmd(19, 3), 1);                     // 1280 x 800
  EXPECT_EQ(JavaSetCmd(89, 1024 * 65536 + 600), 1);   // then 1024 x 600 by pixels
  ASSERT_TRUE(WritePicture(root_ + "common/line.png", QuadrantPicture(8, 8)));

  LogCapture log;
  EXPECT_EQ(JavaInitialise(root_.c_str()), 1);
  EXPECT_TRUE(log.Contains("KESTRA", "---------avm.so,version 1.27"));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------AVM_Init time:"), 1);
  const ViewParam* scene = pViewParam;
  EXPECT_EQ(scene->testPictureMode, 1);
  EXPECT_EQ(scene->bottomStyle, 2);
  EXPECT_EQ(scene->screenIndex, 0);
  EXPECT_EQ(scene->screenWidth, 1024);
  EXPECT_EQ(scene->screenHeight, 600);

  // The common pictures, in order, then the test picture.
  EXPECT_EQ(TakeLoadRequests(),
            (std::vector<std::string>{
                "common/car_bottom1.png", root_ + "/common/plate/plate.png", "common/line.png",
                "common/tire_warning.png", "common/power_low.png", "common/leak.png",
                "common/pressure_low.png", "common/pressure_high.png",
                "common/temperature_high.png", "common/tire_ok.png", "common/safe_line.png",
                "/sdcard/avm/pic.bmp"}));

  // The BMP test picture reached its texture through Java.
  glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
  DrawPicture(static_cast<GLuint>(scene->cameraTexture), GetIdentityMatrix4x4(), kFullScreenQuad,
              kSpriteTexCoords);
  std::vector<uint8_t> frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, 100, 100), 255, 0, 0));
  EXPECT_TRUE(Near(FramePixel(frame, 900, 500), 255, 255, 255));
  // And the PNG line picture into its own.
  DrawPicture(scene->lineTexture, GetIdentityMatrix4x4(), kFullScreenQuad, kSpriteTexCoords);
  frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, 900, 100), 0, 255, 0));

  // The test picture stands in for the camera: the array's texture is ignored.
  FastFrames();
  const std::vector<int> other = {5};
  const int testTexture = scene->cameraTexture;
  EXPECT_EQ(JavaDraw(&other), 1);
  EXPECT_EQ(pViewParam->cameraTexture, testTexture);
  SetDeviceStorageRoot("");
  EXPECT_EQ(JavaSetCmd(13, 0), 1);
}

TEST_F(JavaRenderer, MissingTestPictureSwitchesTheModeOff) {
  SetDeviceStorageRoot(dir_.path() + "/nothing-here");
  EXPECT_EQ(JavaSetCmd(13, 1), 1);
  EXPECT_EQ(JavaInitialise(root_.c_str()), 1);
  EXPECT_EQ(JavaSetCmd(13, 0), 1);
  SetDeviceStorageRoot("");
  EXPECT_EQ(pViewParam->testPictureMode, 0);
  const std::vector<std::string> requests = TakeLoadRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back(), "/sdcard/avm/pic.bmp");
}

TEST_F(JavaRenderer, LogoScreenReachesTheFrame) {
  ASSERT_TRUE(WritePicture(root_ + "common/logo.png", QuadrantPicture(200, 120)));
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  FastFrames();
  TakeLoadRequests();
  EXPECT_EQ(JavaSetCmd(0, 20), 1);
  const std::vector<int> noCamera = {-1};
  EXPECT_EQ(JavaDraw(&noCamera), 1);
  // The first frame loads the three ground layers and the logo.
  EXPECT_EQ(TakeLoadRequests(),
            (std::vector<std::string>{root_ + "common/background1.png",
                                      root_ + "common/roadway1.png", root_ + "common/lane0.png",
                                      "common/logo.png"}));
  std::vector<uint8_t> frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, 256, 150), 255, 0, 0));
  EXPECT_TRUE(Near(FramePixel(frame, 768, 150), 0, 255, 0));
  EXPECT_TRUE(Near(FramePixel(frame, 256, 450), 0, 0, 255));
  EXPECT_TRUE(Near(FramePixel(frame, 768, 450), 255, 255, 255));

  // Loaded once: the next frames ask Java for nothing.
  EXPECT_EQ(JavaDraw(nullptr), 1);
  const std::vector<int> empty;
  EXPECT_EQ(JavaDraw(&empty), 1);
  EXPECT_TRUE(TakeLoadRequests().empty());
  EXPECT_EQ(pViewParam->cameraTexture, -1);
  frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, 768, 150), 0, 255, 0));
}

TEST_F(JavaRenderer, PendingReloadsAskJavaForTheirPictures) {
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  FastFrames();
  JavaDraw(nullptr);
  TakeLoadRequests();
  ViewParam* scene = pViewParam;
  scene->carBottomReload = 1;
  scene->plateReload = 1;
  scene->backgroundIndex = 3;
  scene->backgroundLoaded = 0;
  scene->laneIndex = 7;
  scene->laneLoaded = 0;
  JavaDraw(nullptr);
  EXPECT_EQ(TakeLoadRequests(),
            (std::vector<std::string>{"common/car_bottom1.png", root_ + "/common/plate/plate.png",
                                      root_ + "common/background3.png",
                                      root_ + "common/lane7.png"}));
}

TEST_F(JavaRenderer, RotationShowEndsWith150Then161) {
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  FastFrames();
  ViewParam* scene = pViewParam;
  scene->screenMode = 5;
  scene->spriteAngle = 140;
  scene->spriteAngleTarget = 144;
  scene->rotationShow = 1;
  scene->animationNotify = 1;
  for (int i = 0; i < 3; ++i) {
    JavaDraw(nullptr);
  }
  EXPECT_TRUE(TakeNotifications().empty());
  JavaDraw(nullptr);
  EXPECT_EQ(scene->spriteAngle, 144);
  EXPECT_EQ(TakeNotifications(), (std::vector<int>{150, 161}));
  EXPECT_EQ(scene->rotationShow, 0);
  JavaDraw(nullptr);
  EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(JavaRenderer, RotationShowWithReverseEndsWith152Then161) {
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  FastFrames();
  ViewParam* scene = pViewParam;
  scene->screenMode = 15;
  scene->spriteAngle = 95;
  scene->spriteAngleTarget = 96;
  scene->rotationShow = 1;
  scene->rotationReverseSeen = 1;
  JavaDraw(nullptr);
  EXPECT_EQ(TakeNotifications(), (std::vector<int>{152, 161}));
}

TEST_F(JavaRenderer, TurnsWithoutShowOrOntoTheSingleTextureAngleStaySilent) {
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  FastFrames();
  ViewParam* scene = pViewParam;
  scene->screenMode = 5;
  scene->spriteAngle = 1;
  scene->spriteAngleTarget = 0;
  JavaDraw(nullptr);
  EXPECT_EQ(scene->spriteAngle, 0);
  scene->spriteAngle = 1;
  scene->rotationShow = 1;
  scene->singleTextureAngle = 0;
  JavaDraw(nullptr);
  EXPECT_EQ(scene->rotationShow, 1);
  EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(JavaRenderer, AnimationEndInTheFlatModesNotifies161) {
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  FastFrames();
  ViewParam* scene = pViewParam;
  for (int mode : {6, 7, 12, 13}) {
    scene->screenMode = mode;
    scene->animationNotify = 1;
    JavaDraw(nullptr);
    EXPECT_EQ(scene->animationNotify, 0);
    EXPECT_EQ(TakeNotifications(), std::vector<int>{161}) << mode;
  }
  scene->screenMode = 0;
  scene->animationNotify = 1;
  JavaDraw(nullptr);
  EXPECT_EQ(scene->animationNotify, 1);
  EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(JavaRenderer, JavaDecodesOnlyPictures) {
  ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
  ASSERT_TRUE(WriteFile(root_ + "common/not_a_picture.png", "plain text, not a PNG"));
  ASSERT_TRUE(WritePicture(root_ + "common/good.png", QuadrantPicture(4, 4)));
  const int texture = static_cast<int>(pViewParam->generalSpareTexture);
  EXPECT_EQ(LoadTextureFunc("common/missing.png", texture, 2), 0);
  EXPECT_EQ(LoadTextureFunc("common/not_a_picture.png", texture, 2), 0);
  EXPECT_EQ(LoadTextureFunc("common", texture, 2), 0);  // a directory
  EXPECT_EQ(LoadTextureFunc("common/good.png", texture, 2), 1);
  EXPECT_EQ(LoadTextureFunc((root_ + "common/good.png").c_str(), texture, 2), 1);
}

}  // namespace
