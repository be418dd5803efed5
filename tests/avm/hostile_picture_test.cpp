// Hostile pictures in a car, met by frames through the JNI draw method: a
// JPEG and a WebP of a few hundred bytes whose headers state 20000 x 20000
// pixels, and pictures whose conversion to 8-bit BGRA throws (the image
// library's error, and the standard one, as memory running out gives them),
// as whole-car images and as overlays of a state image. Each frame returns
// 1, the picture's texture is empty, the decoder is never asked for more
// than a picture within the renderer's budget needs, and the next frame
// draws. The same frames run once more in a child process whose address
// space is limited to 2 GB, as a 32-bit app's is at most.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/bridge/avm_jni.h"
#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/avm/fake_jni_env.h"
#include "tests/avm/mat_allocation_probe.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

// The largest matrix a picture within the renderer's budget (4096 x 4096
// pixels) needs: 16-bit samples, four channels.
constexpr std::size_t kBudgetBytes = std::size_t{4096} * 4096 * 4 * 2;
// Set in the child process: its address-space limit in megabytes.
constexpr const char* kLimitVariable = "AVM_TEST_ADDRESS_SPACE_MB";

bool InLimitedChild() { return std::getenv(kLimitVariable) != nullptr; }

void LimitAddressSpaceOnce() {
  static bool done = false;
  const char* megabytes = std::getenv(kLimitVariable);
  if (done || megabytes == nullptr) {
    return;
  }
  done = true;
  const rlim_t bytes = static_cast<rlim_t>(std::strtoul(megabytes, nullptr, 10)) << 20;
  const struct rlimit limit = {bytes, bytes};
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
}

// A picture of rows x cols pixels with 16-bit samples (its conversion to 8
// bits makes an 8-bit matrix of that size) or 8-bit BGR ones (made BGRA).
std::string Png(int rows, int cols, int type) {
  std::vector<uint8_t> bytes;
  const cv::Mat picture(rows, cols, type, cv::Scalar::all(type == CV_16UC4 ? 40000 : 90));
  EXPECT_TRUE(cv::imencode(".png", picture, bytes));
  return std::string(bytes.begin(), bytes.end());
}

// Angles of the test car and what they hold.
constexpr int kHugeJpegAngle = 10;
constexpr int kHugeWebpAngle = 11;
constexpr int kLibraryErrorAngle = 12;
constexpr int kGoodAngle = 13;
constexpr int kBadAllocAngle = 14;
constexpr int kHostileWheelsAngle = 130;  // good base, hostile wheel overlays
constexpr int kFailingBaseAngle = 144;    // base whose conversion throws
// Sizes of the pictures whose conversion is made to fail.
constexpr int kLibraryErrorRows = 23;
constexpr int kLibraryErrorCols = 37;
constexpr int kBadAllocRows = 19;
constexpr int kBadAllocCols = 41;

class HostilePictures : public ::testing::Test {
 protected:
  void SetUp() override {
    LimitAddressSpaceOnce();
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    FakeClock::Install(5000000);
    CarFiles car = MakeCarFiles({kHugeJpegAngle, kHugeWebpAngle, kLibraryErrorAngle, kGoodAngle,
                                 kBadAllocAngle, kHostileWheelsAngle, kFailingBaseAngle});
    for (auto& file : car.files) {
      if (file.first == "color/a/10.kes") {
        file.second = JpegStatingSize(20000, 20000);
      } else if (file.first == "color/a/11.kes") {
        file.second = WebpCanvasStatingSize(20000, 20000);
      } else if (file.first == "color/a/12.kes" || file.first == "color/a/144.kes") {
        file.second = Png(kLibraryErrorRows, kLibraryErrorCols, CV_16UC4);
      } else if (file.first == "color/a/14.kes") {
        file.second = Png(kBadAllocRows, kBadAllocCols, CV_8UC3);
      }
    }
    for (int frame = 0; frame < 6; ++frame) {
      const std::string n = std::to_string(frame);
      car.files.push_back({"tires/left/f" + n + ".kes", JpegStatingSize(20000, 20000)});
      car.files.push_back({"tires/left/b" + n + ".kes", WebpCanvasStatingSize(20000, 20000)});
    }
    ASSERT_TRUE(WriteCarDirectory(root_, "car", car));
    ASSERT_EQ(AvmSetCar("car", 0), 1);
    scene_ = pViewParam;
    scene_->screenMode = 5;
    scene_->lampState = 0;
    camera_.values = {0};
  }
  void TearDown() override { FakeClock::Uninstall(); }

  // One frame through the JNI method, the 3D view resting at angle.
  int FrameAt(int angle) {
    scene_->spriteAngle = angle;
    scene_->spriteAngleTarget = angle;
    return Java_com_kestra_avm_AVM_Draw(env_.env(), nullptr, AsJava(&camera_));
  }

  uint32_t AngleTexture(int angle) const { return scene_->angleTextures[angle].texture; }

  // The next frame draws: a good angle is loaded and shown.
  void ExpectNextFrameDraws() {
    ASSERT_EQ(FrameAt(kGoodAngle), 1);
    EXPECT_TRUE(TextureShowsAngle(
        ReadTexture(AngleTexture(kGoodAngle), kAngleImageWidth, kAngleImageHeight), kGoodAngle));
    scene_->angleLoaded[kGoodAngle].loaded = 0;
  }

  // In the limited child the probe refuses nothing: the memory the process
  // has is the limit.
  MatAllocationProbe probe_{InLimitedChild() ? std::numeric_limits<std::size_t>::max()
                                             : 4 * kBudgetBytes};
  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  FakeJniEnv env_;
  FakeJavaIntArray camera_;
};

TEST_F(HostilePictures, AngleImagesStatingHugeSizesAreNeverDecoded) {
  for (const int angle : {kHugeJpegAngle, kHugeWebpAngle}) {
    probe_.Reset();
    ASSERT_EQ(FrameAt(angle), 1) << angle;
    EXPECT_LE(probe_.largest(), kBudgetBytes) << "angle " << angle << ": the decoder was asked for more";
    EXPECT_EQ(probe_.refused(), 0) << angle;
    EXPECT_EQ(scene_->angleLoaded[angle].loaded, 1) << angle;
    EXPECT_FALSE(TextureHasImage(AngleTexture(angle))) << angle;
    ExpectNextFrameDraws();
  }
}

TEST_F(HostilePictures, ConversionsThatThrowGiveEmptyTexturesAndOneLine) {
  const struct {
    int angle;
    int rows;
    int cols;
    MatAllocationProbe::Failure failure;
  } cases[] = {
      {kLibraryErrorAngle, kLibraryErrorRows, kLibraryErrorCols,
       MatAllocationProbe::Failure::kLibraryError},
      {kBadAllocAngle, kBadAllocRows, kBadAllocCols, MatAllocationProbe::Failure::kBadAlloc},
  };
  for (const auto& c : cases) {
    probe_.Reset();
    probe_.FailEightBit(c.rows, c.cols, c.failure);
    LogCapture log;
    ASSERT_EQ(FrameAt(c.angle), 1) << c.angle;
    EXPECT_GE(probe_.failed(), 1) << c.angle << ": the conversion was not made to fail";
    EXPECT_FALSE(TextureHasImage(AngleTexture(c.angle))) << c.angle;
    // The frame goes on; the failed angle is not tried again.
    for (int frame = 0; frame < 5; ++frame) {
      ASSERT_EQ(FrameAt(c.angle), 1);
    }
    EXPECT_EQ(log.CountPrefix("KESTRA", "---------" + root_ + ".tmp/car/color/a/" +
                                            std::to_string(c.angle) + ".kes:not decoded"),
              1)
        << c.angle;
    probe_.FailEightBit(0, 0, c.failure);
    ExpectNextFrameDraws();
  }
}

TEST_F(HostilePictures, StateImagesSkipHostileOverlaysAndFailingBases) {
  // The wheels of the left side state sizes far beyond the budget: the
  // base is shown without them.
  ASSERT_EQ(FrameAt(kHostileWheelsAngle), 1);
  EXPECT_LE(probe_.largest(), kBudgetBytes);
  const int w = scene_->wheelFrame;
  ASSERT_EQ(scene_->frameLoaded[0][w], 1);
  EXPECT_TRUE(TextureShowsAngle(
      ReadTexture(scene_->frameTextures[0][w], kAngleImageWidth, kAngleImageHeight),
      kHostileWheelsAngle));
  // A base whose conversion throws leaves the state image empty.
  probe_.FailEightBit(kLibraryErrorRows, kLibraryErrorCols, MatAllocationProbe::Failure::kBadAlloc);
  std::memset(scene_->frameLoaded, 0, sizeof(scene_->frameLoaded));
  ASSERT_EQ(FrameAt(kFailingBaseAngle), 1);
  EXPECT_GE(probe_.failed(), 1);
  const int w2 = scene_->wheelFrame;
  EXPECT_EQ(scene_->frameLoaded[0][w2], 1);
  EXPECT_FALSE(TextureHasImage(scene_->frameTextures[0][w2]));
  probe_.FailEightBit(0, 0, MatAllocationProbe::Failure::kBadAlloc);
  ExpectNextFrameDraws();
}

// The same frames where memory really runs out at 2 GB of address space. A
// decoder that believed the headers would get (or be refused) gigabytes.
TEST(HostilePicturesUnderAddressLimit, SameFramesInAProcessOfTwoGigabytes) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory needs more address space than the limit";
#else
  if (InLimitedChild()) {
    GTEST_SKIP() << "this is the limited child";
  }
  if (std::getenv("AVM_TEST_EMULATOR") != nullptr) {
    GTEST_SKIP() << "under the emulator the limit would bind the emulator, not the renderer";
  }
  char self[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  ASSERT_GT(length, 0);
  const ProgramResult child = RunProgram({std::string(self, static_cast<std::size_t>(length)),
                                          "--gtest_filter=HostilePictures.*"},
                                         {std::string(kLimitVariable) + "=2048"});
  EXPECT_EQ(child.exitStatus, 0) << child.standardOutput << child.standardError;
  EXPECT_NE(child.standardOutput.find("[  PASSED  ] 3 tests"), std::string::npos)
      << child.standardOutput;
#endif
}

}  // namespace
