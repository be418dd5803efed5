// The command dispatch: what is accepted before initialisation and how the
// start-up commands reach the scene, the results, and the lock-free speed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <utility>

#include "avm/bridge/avm_jni.h"
#include "avm/bridge/command_table.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/command_cases.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
  }
  void TearDown() override {
    gBridge.testPicture = 0;
    gBridge.layoutCode = 0;
    gStartupBottomStyle = 1;
    gStartupScreenWidth = 1024;
    gStartupScreenHeight = 600;
    gBridge.initialised.store(1);
  }
  void Initialise() { ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1); }

  TempDir dir_;
  std::string root_;
};

int Screen(int width, int height) { return width * 65536 + height; }

TEST_F(Commands, OnlyStartupCommandsBeforeInitialisation) {
  Initialise();
  gBridge.initialised.store(0);
  pViewParam->screenMode = 3;
  EXPECT_EQ(AvmSetCmd(0, 20), -9);
  EXPECT_EQ(AvmSetCmd(2, 500), -9);
  EXPECT_EQ(AvmSetCmd(84, 0), -9);
  EXPECT_EQ(AvmSetCmd(5000, 0), -9);
  EXPECT_EQ(Java_com_kestra_avm_AVM_SetCmd(nullptr, nullptr, 61, 30), -9);
  EXPECT_EQ(pViewParam->screenMode, 3);
  EXPECT_EQ(pViewParam->vehicleSpeed.load(), 0);

  EXPECT_EQ(AvmSetCmd(13, 1), 1);
  EXPECT_EQ(gBridge.testPicture, 1);
  EXPECT_EQ(AvmSetCmd(13, 2), 1);
  EXPECT_EQ(gBridge.testPicture, 0);
  EXPECT_EQ(AvmSetCmd(17, 3), 1);
  EXPECT_EQ(gStartupBottomStyle, 3);
  for (int outOfRange : {0, 5, -1}) {
    EXPECT_EQ(AvmSetCmd(17, outOfRange), 1);
    EXPECT_EQ(gStartupBottomStyle, 3);
  }
  EXPECT_EQ(AvmSetCmd(19, 2), 1);
  EXPECT_EQ(gBridge.layoutCode, 2);
  EXPECT_EQ(gStartupScreenWidth, 1280);
  EXPECT_EQ(gStartupScreenHeight, 480);
}

TEST_F(Commands, StartupSettingsReachTheScene) {
  gBridge.initialised.store(0);
  AvmSetCmd(17, 4);
  AvmSetCmd(19, 21);  // 800 x 1280, portrait
  Initialise();
  const ViewParam* scene = pViewParam;
  EXPECT_EQ(scene->bottomStyle, 4);
  EXPECT_EQ(scene->screenIndex, 21);
  EXPECT_EQ(scene->screenWidth, 800);
  EXPECT_EQ(scene->screenHeight, 1280);
  EXPECT_EQ(scene->topViewport[3], 640.0f);
  EXPECT_EQ(scene->lrOffset[0], 50);
}

TEST_F(Commands, SizeCodeOutsideTheTableKeepsTheCode) {
  gBridge.initialised.store(0);
  AvmSetCmd(19, 12);
  EXPECT_EQ(gBridge.layoutCode, 12);
  EXPECT_EQ(gStartupScreenWidth, 1024);
  EXPECT_EQ(gStartupScreenHeight, 600);
  // Laid out as the table's last row (portrait, like every code above 19),
  // never read beyond the table.
  AvmSetCmd(19, 39);
  Initialise();
  const int32_t lastRowOffset = pViewParam->lrOffset[0];
  AvmSetCmd(19, 5000);
  Initialise();
  EXPECT_EQ(pViewParam->screenIndex, 5000);
  EXPECT_EQ(pViewParam->lrOffset[0], lastRowOffset);
  // Portrait: the top view takes the whole width of the screen it keeps.
  EXPECT_EQ(pViewParam->topViewport[2], 1024.0f);
}

TEST_F(Commands, ScreenSizeInPixelsBeforeInitialisation) {
  gBridge.initialised.store(0);
  EXPECT_EQ(AvmSetCmd(89, Screen(11, 11)), 1);
  EXPECT_EQ(gStartupScreenWidth, 11);
  EXPECT_EQ(AvmSetCmd(89, Screen(11, 10)), 0);
  EXPECT_EQ(AvmSetCmd(89, Screen(10, 500)), 0);
  EXPECT_EQ(gStartupScreenWidth, 11);
  EXPECT_EQ(AvmSetCmd(89, Screen(1920, 1080)), 1);
  EXPECT_EQ(gStartupScreenWidth, 1920);
  EXPECT_EQ(gStartupScreenHeight, 1080);
  EXPECT_EQ(gBridge.layoutCode, 1);
  // A width with the top bit set is a large unsigned width, not a negative one.
  EXPECT_EQ(AvmSetCmd(89, static_cast<int32_t>(0x8000u << 16 | 600u)), 1);
  EXPECT_EQ(gStartupScreenWidth, 32768);
}

TEST_F(Commands, ScreenSizeInPixelsAfterInitialisationLaysOutAgain) {
  Initialise();
  LogCapture log;
  EXPECT_EQ(AvmSetCmd(89, Screen(1280, 720)), 1);
  const ViewParam* scene = pViewParam;
  EXPECT_EQ(scene->screenWidth, 1280);
  EXPECT_EQ(scene->screenHeight, 720);
  EXPECT_EQ(scene->screenIndex, 1);
  EXPECT_EQ(scene->topViewport[0], 2.0f);
  EXPECT_EQ(scene->topViewport[2], 440.0f);
  EXPECT_TRUE(log.Contains("KESTRA", "---------AvmGetScreenIndex,1"));
  EXPECT_EQ(gStartupScreenWidth, 1024);  // the start-up size stays
}

TEST_F(Commands, VersionAndCodesWithoutHandler) {
  Initialise();
  EXPECT_EQ(AvmSetCmd(84, 0), 127);
  EXPECT_EQ(AvmSetCmd(84, -5), 127);
  for (int code : {8, 14, 62, 99, 113, 100000, -1}) {
    EXPECT_EQ(AvmSetCmd(code, 1), 1) << code;
  }
  EXPECT_EQ(FindCommand(8), nullptr);
  EXPECT_NE(FindCommand(89), nullptr);
}

TEST_F(Commands, ScreenModeStopsThe3DPacingAndSetsTheRate) {
  Initialise();
  ViewParam* scene = pViewParam;
  scene->carViewActive = 1;
  scene->frameRate = 33;
  EXPECT_EQ(AvmSetCmd(0, 20), 1);
  EXPECT_EQ(scene->screenMode, 20);
  EXPECT_EQ(scene->carViewActive, 0);
  EXPECT_EQ(scene->frameRate, 33);
  scene->smoothRotation = 1;
  AvmSetCmd(0, 5);
  EXPECT_EQ(scene->frameRate, 24);
  AvmSetCmd(0, 15);
  EXPECT_EQ(scene->frameRate, 24);
  AvmSetCmd(0, 12);
  EXPECT_EQ(scene->frameRate, 60);
}

TEST_F(Commands, SpeedIsStoredWithoutTheSceneLock) {
  Initialise();
  // Hold the scene lock as a frame would; the speed command must still get through.
  std::unique_lock<std::mutex> frame(gBridge.sceneMutex);
  auto speed = std::async(std::launch::async, [] { return AvmSetCmd(2, 12345); });
  ASSERT_EQ(speed.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(speed.get(), 1);
  EXPECT_EQ(pViewParam->vehicleSpeed.load(), 12345);
  // Every other command waits for the frame to end: it cannot return before
  // the frame lets the lock go, which the frame marks just before it does.
  // The frame ends only once the command has started, so a command that
  // did not wait has every chance to return first.
  std::promise<void> started;
  std::atomic<bool> frameEnded{false};
  auto mode = std::async(std::launch::async, [&] {
    started.set_value();
    const int result = AvmSetCmd(0, 7);
    return std::make_pair(result, frameEnded.load());
  });
  started.get_future().wait();
  EXPECT_NE(pViewParam->screenMode, 7) << "changed while the frame held the lock";
  frameEnded = true;
  frame.unlock();
  const std::pair<int, bool> done = mode.get();
  EXPECT_EQ(done.first, 1);
  EXPECT_TRUE(done.second) << "the command returned while the frame held the lock";
  EXPECT_EQ(pViewParam->screenMode, 7);
}

}  // namespace

namespace {

TEST_F(Commands, WholeCommandTable) {
  RunCommandCases([this] { Initialise(); }, [](int cmd, int arg) { return AvmSetCmd(cmd, arg); },
                  nullptr);
}

// The fifteen fields of common/config.bin, set to values that differ from
// every default.
void SetDistinctConfiguration(ViewParam* scene) {
  for (int rect = 0; rect < 4; ++rect) {
    for (int value = 0; value < 4; ++value) {
      scene->layoutRects[rect][value] = 0.01f * static_cast<float>(rect * 4 + value + 1);
    }
  }
  scene->topViewMargin = 250.0f;
  scene->viewFovy = 55.0f;
  scene->lrOffset[0] = -7;
  scene->lrOffset[1] = 8;
  scene->lrParamCommon = 71.5f;
  scene->lrParamsLeft[0] = 1.0f;
  scene->lrParamsLeft[1] = -2.0f;
  scene->lrParamsLeft[2] = 3.25f;
  scene->lrParamsRight[0] = 4.0f;
  scene->lrParamsRight[1] = 5.5f;
  scene->lrParamsRight[2] = -6.0f;
}

void ExpectDistinctConfiguration(const ViewParam* scene) {
  for (int rect = 0; rect < 4; ++rect) {
    for (int value = 0; value < 4; ++value) {
      EXPECT_EQ(scene->layoutRects[rect][value], 0.01f * static_cast<float>(rect * 4 + value + 1));
    }
  }
  EXPECT_EQ(scene->topViewMargin, 250.0f);
  EXPECT_EQ(scene->viewFovy, 55.0f);
  EXPECT_EQ(scene->viewFovyCurrent, 55.0f);
  EXPECT_EQ(scene->lrOffset[0], -7);
  EXPECT_EQ(scene->lrOffset[1], 8);
  EXPECT_EQ(scene->lrParamCommon, 71.5f);
  EXPECT_EQ(std::vector<float>(scene->lrParamsLeft, scene->lrParamsLeft + 3),
            (std::vector<float>{1.0f, -2.0f, 3.25f}));
  EXPECT_EQ(std::vector<float>(scene->lrParamsRight, scene->lrParamsRight + 3),
            (std::vector<float>{4.0f, 5.5f, -6.0f}));
}

TEST_F(Commands, SavedConfigurationIsReadBackByTheNextInitialisation) {
  Initialise();
  SetDistinctConfiguration(pViewParam);
  LogCapture log;
  EXPECT_EQ(AvmSetCmd(60, 0), 1);
  EXPECT_TRUE(log.Contains("KESTRA", "---------CMD_CONFIG_SAVE:" + root_ + "common/config.bin "));
  const std::string bytes = ReadFile(root_ + "common/config.bin");
  ASSERT_EQ(bytes.size(), 108u);
  // Little-endian values at their offsets: the margin at 64, lrOffset at 72.
  EXPECT_EQ(bytes.substr(64, 4), std::string("\x00\x00\x7a\x43", 4));  // 250.0f
  EXPECT_EQ(bytes.substr(72, 4), std::string("\xf9\xff\xff\xff", 4));  // -7
  EXPECT_FALSE(FileExists(root_ + "common/config.bin.part"));
  Initialise();
  ExpectDistinctConfiguration(pViewParam);
}

TEST_F(Commands, FailedSaveKeepsTheStoredConfiguration) {
  Initialise();
  ASSERT_TRUE(WriteFile(root_ + "common/config.bin", std::string(108, '\x01')));
  // The file cannot be made beside the old one.
  ASSERT_EQ(mkdir((root_ + "common/config.bin.part").c_str(), 0755), 0);
  // A reader of the log that looks for the saved line must not find it
  // at the start of a failure's line either.
  const std::string savedLine = "---------CMD_CONFIG_SAVE:" + root_ + "common/config.bin ";
  LogCapture log;
  EXPECT_EQ(AvmSetCmd(60, 0), 1);
  EXPECT_TRUE(log.Contains(
      "KESTRA", "---------CMD_CONFIG_SAVE failed:" + root_ + "common/config.bin cannot be created"));
  EXPECT_EQ(log.CountPrefix("KESTRA", savedLine), 0);
  EXPECT_EQ(ReadFile(root_ + "common/config.bin"), std::string(108, '\x01'));
  // A directory in the file's place: written beside it, then not renamed.
  ASSERT_EQ(rmdir((root_ + "common/config.bin.part").c_str()), 0);
  ASSERT_EQ(unlink((root_ + "common/config.bin").c_str()), 0);
  ASSERT_EQ(mkdir((root_ + "common/config.bin").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((root_ + "common/config.bin/keep").c_str(), 0755), 0);
  log.Clear();
  EXPECT_EQ(AvmSetCmd(60, 0), 1);
  EXPECT_TRUE(log.Contains("KESTRA", "---------CMD_CONFIG_SAVE failed:" + root_ +
                                         "common/config.bin write failed, the old file stays"));
  EXPECT_EQ(log.CountPrefix("KESTRA", savedLine), 0) << "the file was opened, but not saved";
  EXPECT_FALSE(FileExists(root_ + "common/config.bin.part"));
}

}  // namespace
