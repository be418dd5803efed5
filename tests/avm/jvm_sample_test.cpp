// The sample car through the app's Java class in a real Java VM, as the
// app uses it: unpack the package, select the car before the first frame,
// show the 3D view and let the frames load the rest of the angles.
#include <gtest/gtest.h>

#include <string>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"
#include "tools/lib/sample_marks.h"

namespace {

void NoSleep(uint32_t) {}

int LoadedAngles(const ViewParam* scene) {
  int count = 0;
  for (const AngleMark& mark : scene->angleLoaded) {
    count += mark.loaded;
  }
  return count;
}

TEST(JavaSampleCar, UnpackSelectAndLoadEveryAngleThroughTheFrames) {
  StartJavaRenderer();
  TempDir dir;
  const std::string root = MakeAssetRoot(dir.path());
  ASSERT_TRUE(WriteFile(root + "common/demo.car",
                        ReadFile(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car")));
  ASSERT_EQ(JavaInitialise(root.c_str()), 1);
  LogCapture log;
  EXPECT_EQ(JavaSetCar("demo.car", 1), 1);
  EXPECT_EQ(JavaSetCar("demo", 3), 1);
  const ViewParam* scene = pViewParam;
  EXPECT_EQ(LoadedAngles(scene), 24);
  EXPECT_EQ(JavaSetCmd(0, 5), 1);

  // Frames as fast as the machine draws them: each has idle time to spare.
  gFrameClock = FrameClock{GetTickCount, NoSleep};
  const std::vector<int> camera = {0};
  int frames = 0;
  while (LoadedAngles(scene) < kSpriteAngles && frames < 1000) {
    ASSERT_EQ(JavaDraw(&camera), 1);
    ++frames;
  }
  gFrameClock = FrameClock{GetTickCount, SleepMilliseconds};
  ASSERT_EQ(LoadedAngles(scene), kSpriteAngles) << "after " << frames << " frames";
  // 168 angles after the first 24: at most one idle load per frame, plus
  // the angles the view passed while turning from 72 to 0 (loaded on demand).
  EXPECT_GE(frames, 168 - 48);
  EXPECT_EQ(scene->spriteAngle, 0);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------load_textureAll2 fail"), 0);

  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    const std::vector<uint8_t> row =
        ReadTexture(scene->angleTextures[angle].texture, sample_marks::kHeaderPixels, 1);
    sample_marks::Mark mark;
    ASSERT_TRUE(sample_marks::ReadMark(row.data(), sample_marks::kHeaderPixels, 1, 4, &mark)) << angle;
    EXPECT_EQ(mark.kind, sample_marks::kKindWholeCar);
    EXPECT_EQ(mark.angle, angle);
  }
}

}  // namespace
