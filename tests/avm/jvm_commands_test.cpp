// The command table and car selection through the app's Java class in a
// real Java VM: every command code with its results and fields, the
// notifications Java receives, the saved configuration read back by a
// fresh initialisation, and cars unpacked and selected by AVM.SetCar with
// their images read back from the textures.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>

#include <GLES2/gl2.h>

#include "avm/bridge/scene_state.h"
#include "avm/include/avm_radar.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/avm/command_cases.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

class JavaCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    StartJavaRenderer();
    root_ = MakeAssetRoot(dir_.path());
    TakeNotifications();
  }
  void Initialise() { ASSERT_EQ(JavaInitialise(root_.c_str()), 1); }

  TempDir dir_;
  std::string root_;
};

TEST_F(JavaCommands, WholeCommandTable) {
  RunCommandCases([this] { Initialise(); }, [](int cmd, int arg) { return JavaSetCmd(cmd, arg); },
                  [] { return TakeNotifications(); });
}

TEST_F(JavaCommands, SavedConfigurationComesBackWithTheNextInitialisation) {
  Initialise();
  ASSERT_EQ(JavaSetCmd(70, 1), 1);   // field of view 59
  ASSERT_EQ(JavaSetCmd(0, 12), 1);
  ASSERT_EQ(JavaSetCmd(20, -1), 1);  // top-view margin 210
  ViewParam* scene = pViewParam;
  scene->layoutRects[2][1] = 0.33f;
  scene->lrOffset[1] = 99;
  scene->lrParamsRight[2] = 31.5f;
  struct {
    float layoutRects[4][4];
    int32_t lrOffset[2];
    float lrParamCommon, lrParamsLeft[3], lrParamsRight[3];
  } saved;
  std::memcpy(saved.layoutRects, scene->layoutRects, sizeof(saved.layoutRects));
  std::memcpy(saved.lrOffset, scene->lrOffset, sizeof(saved.lrOffset));
  saved.lrParamCommon = scene->lrParamCommon;
  std::memcpy(saved.lrParamsLeft, scene->lrParamsLeft, sizeof(saved.lrParamsLeft));
  std::memcpy(saved.lrParamsRight, scene->lrParamsRight, sizeof(saved.lrParamsRight));
  EXPECT_EQ(JavaSetCmd(60, 0), 1);
  ASSERT_EQ(ReadFile(root_ + "common/config.bin").size(), 108u);

  Initialise();
  ASSERT_NE(pViewParam, scene);  // a fresh record, read from the file
  const ViewParam& read = *pViewParam;
  for (int rect = 0; rect < 4; ++rect) {
    for (int value = 0; value < 4; ++value) {
      EXPECT_EQ(read.layoutRects[rect][value], saved.layoutRects[rect][value]);
    }
  }
  EXPECT_EQ(read.topViewMargin, 210.0f);
  EXPECT_EQ(read.viewFovy, 59.0f);
  EXPECT_EQ(read.lrOffset[0], saved.lrOffset[0]);
  EXPECT_EQ(read.lrOffset[1], 99);
  EXPECT_EQ(read.lrParamCommon, saved.lrParamCommon);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(read.lrParamsLeft[i], saved.lrParamsLeft[i]);
    EXPECT_EQ(read.lrParamsRight[i], saved.lrParamsRight[i]);
  }
  EXPECT_EQ(read.lrParamsRight[2], 31.5f);
}

TEST_F(JavaCommands, CarUnpackedAndSelectedThroughJava) {
  ASSERT_TRUE(WriteFile(root_ + "common/demo.car", CarPackage("demo", MakeCarFiles(AllAngles()))));
  Initialise();
  LogCapture log;
  EXPECT_EQ(JavaSetCar("demo.car", 1), 1);
  EXPECT_EQ(JavaSetCar("demo.car", 1), 1);  // up to date: not unpacked again
  EXPECT_EQ(log.Count("KESTRA", "load car:" + root_ + "common//demo.car"), 1);
  EXPECT_EQ(JavaSetCar("demo", 4), 1);
  const ViewParam* scene = pViewParam;
  for (int angle : {0, 30, 47}) {
    EXPECT_TRUE(TextureShowsAngle(
        ReadTexture(scene->angleTextures[angle].texture, kAngleImageWidth, kAngleImageHeight), angle))
        << angle;
  }
  EXPECT_EQ(scene->angleLoaded[48].loaded, 0);
  EXPECT_TRUE(log.Contains("KESTRA", "---------SetCar:demo,mode:4"));

  EXPECT_EQ(JavaSetCar("demo", 11), -9);
  ASSERT_TRUE(gBridge.sceneMutex.try_lock());
  gBridge.sceneMutex.unlock();
  EXPECT_EQ(JavaSetCar(nullptr, 3), -5);
  EXPECT_EQ(JavaSetCar("missing", 3), -5);
  EXPECT_EQ(JavaSetCar("missing.car", 1), -1);
}

// The radar values as the app sends them: bytes of distances in distance
// mode (command 68 with 1), where 255 cm means nothing near. The level
// display draws none of them; the same sensors as levels (command 5 in
// level mode) do show. First calls of the level display in this program,
// which show (the display blinks from its first call).
TEST_F(JavaCommands, RadarDistancesDrawNoLevelSegments) {
  Initialise();
  ASSERT_TRUE(ShowRadarFromAbove(pViewParam));
  auto litPixels = [] {
    int lit = 0;
    const std::vector<uint8_t> frame = HostEglReadPixels();
    for (size_t i = 0; i < frame.size(); i += 4) {
      lit += (frame[i] | frame[i + 1] | frame[i + 2]) != 0 ? 1 : 0;
    }
    return lit;
  };
  ASSERT_EQ(JavaSetCmd(68, 1), 1);
  ASSERT_EQ(JavaSetCmd(65, static_cast<int>(0xFF050A20u)), 1);  // 255, 5, 10, 32 cm
  ASSERT_EQ(JavaSetCmd(66, static_cast<int>(0xFFFFFFFFu)), 1);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  DrawRadarStatic();
  EXPECT_EQ(litPixels(), 0);

  ASSERT_EQ(JavaSetCmd(68, 0), 1);
  ASSERT_EQ(JavaSetCmd(5, 0x0321), 1);  // levels 1, 2, 3 and 0 at the +y end
  glClear(GL_COLOR_BUFFER_BIT);
  DrawRadarStatic();
  EXPECT_GT(litPixels(), 1000);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
