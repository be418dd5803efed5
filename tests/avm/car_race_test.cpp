// Car selection, unpacking and the commands come from Java threads while the
// GL thread draws frames that load the car's images; everything meets under
// the scene lock. Under ThreadSanitizer this must show no race.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/command_table.h"
#include "avm/bridge/frame_clock.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/support/process_runner.h"

namespace {

void NoSleep(uint32_t) {}

TEST(CarRace, SelectionsAndCommandsAgainstLoadingFrames) {
  StartTestGlContext();
  TempDir dir;
  const std::string root = MakeAssetRoot(dir.path());
  ASSERT_TRUE(WriteFile(root + "common/demo.car", CarPackage("demo", MakeCarFiles(AllAngles()))));
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  ASSERT_EQ(AvmSetCar("demo", 2), 1);  // idle loading on, nothing loaded yet
  gFrameClock = FrameClock{GetTickCount, NoSleep};
  ASSERT_EQ(AvmDrawFrame(0), 1);

  std::atomic<bool> stop{false};
  std::atomic<int> selections{0};
  std::thread java([&] {
    int round = 0;
    while (!stop.load()) {
      // After the first frame a selection only asks the next frame to reset.
      if (AvmSetCar("demo", 2 + round % 9) == 1) {
        selections.fetch_add(1);
      }
      AvmSetCar("demo.car", 1);  // up to date: returns at once
      AvmSetCmd(0, round % 3 == 0 ? 15 : 5);
      AvmSetCmd(7, round * 45);
      AvmSetCmd(111, (round / 7) % 2);
      AvmSetCmd(4, round);
      AvmSetCmd(2, round * 100);
      ++round;
    }
  });
  // 400 frames, and on until a selection has come between two of them: the
  // frames hold the scene lock nearly all the time, and on a busy machine
  // the Java thread may not get it within any fixed number of frames.
  for (int frame = 0; frame < 400 || selections.load() == 0; ++frame) {
    ASSERT_EQ(AvmDrawFrame(0), 1);
  }
  stop.store(true);
  java.join();
  gFrameClock = FrameClock{GetTickCount, SleepMilliseconds};
  EXPECT_GT(selections.load(), 0);
  EXPECT_STREQ(pViewParam->carName, "demo");
  const int angle = pViewParam->spriteAngle;
  EXPECT_GE(angle, 0);
  EXPECT_LT(angle, kSpriteAngles);
}

}  // namespace
