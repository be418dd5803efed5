// Command 2 stores the speed without the scene lock while frames read and
// (in the demo) write it; under ThreadSanitizer this must show no race.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "avm/bridge/command_table.h"
#include "avm/bridge/frame_clock.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/process_runner.h"

namespace {

uint32_t gNow = 0;
uint32_t Now() { return gNow; }
void Sleep(uint32_t ms) { gNow += ms; }

TEST(SpeedRace, SpeedCommandAgainstDemoFrames) {
  StartTestGlContext();
  TempDir dir;
  const std::string root = MakeAssetRoot(dir.path());
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  gFrameClock = FrameClock{Now, Sleep};
  pViewParam->demoMode = 1;  // frames add to the speed every 25 frames

  std::atomic<bool> stop{false};
  std::thread commands([&stop] {
    int32_t value = 0;
    while (!stop.load()) {
      AvmSetCmd(2, value);
      value = (value + 777) % 60000;
      AvmSetCmd(0, value % 2 == 0 ? 0 : 9);
    }
  });
  for (int frame = 0; frame < 600; ++frame) {
    ASSERT_EQ(AvmDrawFrame(-1), 1);
  }
  stop.store(true);
  commands.join();
  const int32_t speed = pViewParam->vehicleSpeed.load();
  EXPECT_GE(speed, 0);
  EXPECT_LE(speed, 61000);
  gFrameClock = FrameClock{GetTickCount, SleepMilliseconds};
}

// A second initialisation builds a new record while command 2 keeps
// coming: the lock-free speed must never touch the record before its start
// values are in (ThreadSanitizer reports that as a race on the pointer and
// on the new block), and a speed sent once the initialisation is over lands
// in the new record.
TEST(SpeedRace, SpeedCommandAgainstRepeatedInitialisation) {
  StartTestGlContext();
  TempDir dir;
  const std::string root = MakeAssetRoot(dir.path());
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  std::atomic<bool> stop{false};
  std::thread commands([&stop] {
    int32_t value = 1;
    while (!stop.load()) {
      EXPECT_EQ(AvmSetCmd(2, value), 1);
      value = value % 50000 + 1;
    }
    EXPECT_EQ(AvmSetCmd(2, 4321), 1);
  });
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  }
  stop.store(true);
  commands.join();
  EXPECT_EQ(pViewParam->vehicleSpeed.load(), 4321);
}

// The start-up commands may come from another thread while the GL thread
// initialises: both sides work under the scene lock.
TEST(StartupRace, StartupCommandsAgainstInitialisation) {
  StartTestGlContext();
  TempDir dir;
  const std::string root = MakeAssetRoot(dir.path());
  std::atomic<bool> stop{false};
  std::thread commands([&stop] {
    int round = 0;
    while (!stop.load()) {
      AvmSetCmd(19, round % 40);
      AvmSetCmd(17, 1 + round % 4);
      AvmSetCmd(13, 0);
      AvmSetCmd(89, (800 + round % 400) * 65536 + 600);
      ++round;
    }
  });
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  }
  stop.store(true);
  commands.join();
  EXPECT_GE(pViewParam->bottomStyle, 1);
  EXPECT_LE(pViewParam->bottomStyle, 4);
}

}  // namespace
