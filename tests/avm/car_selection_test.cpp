// Car selection without the Java VM: unpacking packages into the asset
// tree with the up-to-date test, selecting an unpacked car with its state
// reset and the preload of the first angles, and the refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <mutex>
#include <string>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

int64_t ModifiedTime(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtime) : -1;
}

bool SetModifiedTime(const std::string& path, int64_t seconds) {
  struct utimbuf times;
  times.actime = static_cast<time_t>(seconds);
  times.modtime = static_cast<time_t>(seconds);
  return utime(path.c_str(), &times) == 0;
}

class CarSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
  }
  void TearDown() override {
    FakeClock::Uninstall();
    gBridge.initialised.store(1);
  }
  std::string CommonPackage(const std::string& file) const { return root_ + "common/" + file; }
  std::string CarPath(const std::string& car, const std::string& file) const {
    return root_ + ".tmp/" + car + "/" + file;
  }
  bool WritePackage(const std::string& path, const CarFiles& files, const std::string& car = "demo") {
    return WriteFile(path, CarPackage(car, files));
  }
  bool AngleTextureShows(int angle, int shown) {
    return TextureShowsAngle(
        ReadTexture(scene_->angleTextures[angle].texture, kAngleImageWidth, kAngleImageHeight), shown);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(CarSelection, UnpackThenSelectLoadsTheFirstAngles) {
  ASSERT_TRUE(WritePackage(CommonPackage("demo.car"), MakeCarFiles(AllAngles())));
  LogCapture log;
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  EXPECT_TRUE(log.Contains("KESTRA", "---------SetCar:demo.car,mode:1"));
  EXPECT_TRUE(log.Contains("KESTRA", "load car:" + root_ + "common//demo.car"));
  EXPECT_TRUE(log.Contains("KESTRA", "---------SetCar:out"));
  EXPECT_EQ(ReadFile(CarPath("demo", "params.bin")), GoodParamsBin());
  EXPECT_EQ(ReadFile(CarPath("demo", "color/a/17.kes")), EncodePng(AngleImage(17)));
  // Unpacking does not select.
  EXPECT_STREQ(scene_->carName, "");

  log.Clear();
  EXPECT_EQ(AvmSetCar("demo", 3), 1);
  EXPECT_TRUE(log.Contains("KESTRA", "---------set car demo,7136," +
                                         std::to_string(MarkerBytes().size())));
  EXPECT_EQ(log.Count("KESTRA", "------carDoorsOffset2 fail!"), 0);
  EXPECT_STREQ(scene_->carName, "demo");
  EXPECT_EQ(scene_->carSpritesPresent, 1);
  EXPECT_EQ(scene_->partialWheelSpritesPresent, 0);
  EXPECT_EQ(scene_->carLength, 480);  // from params.bin: AvmCalScale ran
  EXPECT_EQ(scene_->angleLoadEnabled, 1);
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    EXPECT_EQ(scene_->angleLoaded[angle].loaded, angle < 24 ? 1 : 0) << angle;
  }
  EXPECT_TRUE(AngleTextureShows(0, 0));
  EXPECT_TRUE(AngleTextureShows(23, 23));
  EXPECT_FALSE(TextureHasImage(scene_->angleTextures[24].texture));
}

TEST_F(CarSelection, PackageUpToDateIsNotUnpackedAgain) {
  const std::string package = CommonPackage("demo.car");
  ASSERT_TRUE(WritePackage(package, MakeCarFiles({0, 1})));
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  const std::string marker = CarPath("demo", "tires/right_30/f5.kes");
  EXPECT_LE(std::abs(ModifiedTime(marker) - ModifiedTime(package)), 1);

  // A change to the unpacked car shows whether the next call unpacks.
  ASSERT_TRUE(WriteFile(CarPath("demo", "color/a/1.kes"), "changed"));
  {
    LogCapture log;
    EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
    EXPECT_EQ(log.CountPrefix("KESTRA", "load car:"), 0);
    EXPECT_EQ(ReadFile(CarPath("demo", "color/a/1.kes")), "changed");
  }
  // Within 2 seconds either way is the same time; 3 seconds is another package.
  const int64_t packageTime = ModifiedTime(package);
  ASSERT_TRUE(SetModifiedTime(marker, packageTime + 2));
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  EXPECT_EQ(ReadFile(CarPath("demo", "color/a/1.kes")), "changed");
  ASSERT_TRUE(SetModifiedTime(marker, packageTime - 2));
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  EXPECT_EQ(ReadFile(CarPath("demo", "color/a/1.kes")), "changed");
  ASSERT_TRUE(SetModifiedTime(marker, packageTime - 3));
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  EXPECT_EQ(ReadFile(CarPath("demo", "color/a/1.kes")), EncodePng(AngleImage(1)));
}

TEST_F(CarSelection, ShortMarkerIsNeverUpToDate) {
  CarFiles files = MakeCarFiles({0});
  files.files[1].second = std::string(999, 'm');  // the marker, one byte short of 1000
  ASSERT_TRUE(WritePackage(CommonPackage("demo.car"), files));
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  LogCapture log;
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  EXPECT_EQ(log.CountPrefix("KESTRA", "load car:"), 2);  // path and length: unpacked again
}

TEST_F(CarSelection, AbsolutePackagePathsAreUpToDateToo) {
  ASSERT_EQ(mkdir((dir_.path() + "/downloads").c_str(), 0755), 0);
  const std::string package = dir_.path() + "/downloads/demo.car";
  ASSERT_TRUE(WritePackage(package, MakeCarFiles({0, 1})));
  EXPECT_EQ(AvmSetCar(package.c_str(), 1), 1);
  EXPECT_TRUE(FileExists(CarPath("demo", "params.bin")));
  LogCapture log;
  EXPECT_EQ(AvmSetCar(package.c_str(), 1), 1);
  EXPECT_EQ(log.CountPrefix("KESTRA", "load car:"), 0);
  // Nothing was made from the package's directories.
  for (const std::string& path : ListTree(root_ + ".tmp")) {
    EXPECT_EQ(path.rfind("demo", 0), 0u) << path;
  }
}

TEST_F(CarSelection, FailedUnpackLeavesTheTimesForTheNextTry) {
  const std::string package = CommonPackage("demo.car");
  ASSERT_TRUE(WritePackage(package, MakeCarFiles({0})));
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  const std::string marker = CarPath("demo", "tires/right_30/f5.kes");
  const int64_t markerTime = ModifiedTime(marker) - 100;
  ASSERT_TRUE(SetModifiedTime(marker, markerTime));

  // A new package that breaks off in its last entry.
  std::string damaged = CarPackage("demo", MakeCarFiles({0, 1}));
  damaged.resize(damaged.size() - 3);
  ASSERT_TRUE(WriteFile(package, damaged));
  const int64_t packageTime = markerTime - 50;
  ASSERT_TRUE(SetModifiedTime(package, packageTime));
  EXPECT_EQ(AvmSetCar("demo.car", 1), -4);
  EXPECT_EQ(ModifiedTime(package), packageTime);
  // The marker, rewritten by the broken unpack, is dated far from the package.
  EXPECT_GT(std::abs(ModifiedTime(marker) - packageTime), 2);
  // So the next call tries again rather than taking the car as up to date,
  // even when the package is brand new.
  ASSERT_EQ(utime(package.c_str(), nullptr), 0);
  LogCapture log;
  EXPECT_EQ(AvmSetCar("demo.car", 1), -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car:" + root_ + "common//demo.car"));
}

TEST_F(CarSelection, UnpackedCarTooSmallIsDamaged) {
  CarFiles files = MakeCarFiles({0, 1});
  files.files[0].second.resize(1023);  // params.bin
  ASSERT_TRUE(WritePackage(CommonPackage("demo.car"), files));
  LogCapture log;
  EXPECT_EQ(AvmSetCar("demo.car", 1), -4);
  EXPECT_TRUE(log.Contains("KESTRA", "---------loadcar failed! demo,1023," +
                                         std::to_string(MarkerBytes().size())));
  // Not up to date afterwards: the times were not set.
  log.Clear();
  EXPECT_EQ(AvmSetCar("demo.car", 1), -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car:" + root_ + "common//demo.car"));

  files = MakeCarFiles({0, 1});
  files.files[1].second.resize(511);  // the marker
  ASSERT_TRUE(WritePackage(CommonPackage("other.car"), files, "other"));
  EXPECT_EQ(AvmSetCar("other.car", 1), -4);
}

TEST_F(CarSelection, ParamsOfExactly1024BytesUnpackButDoNotSelect) {
  CarFiles files = MakeCarFiles({0, 1});
  files.files[0].second.resize(1024);
  ASSERT_TRUE(WritePackage(CommonPackage("demo.car"), files));
  EXPECT_EQ(AvmSetCar("demo.car", 1), 1);
  LogCapture log;
  EXPECT_EQ(AvmSetCar("demo", 3), -5);
  EXPECT_TRUE(log.Contains("KESTRA", "---------set car demo failed!car not exist."));
  EXPECT_STREQ(scene_->carName, "");
}

TEST_F(CarSelection, MissingPackagesAndCars) {
  LogCapture log;
  EXPECT_EQ(AvmSetCar("none.car", 1), -1);
  EXPECT_TRUE(
      log.Contains("KESTRA", "---------loadcar " + root_ + "common//none.car failed!file not exist."));
  EXPECT_EQ(AvmSetCar("none", 2), -5);
  EXPECT_TRUE(log.Contains("KESTRA", "---------set car none,-1,-1"));
  EXPECT_EQ(AvmSetCar(nullptr, 1), -1);
  EXPECT_EQ(AvmSetCar(nullptr, 4), -5);
  // A directory of that name is no package.
  ASSERT_EQ(mkdir(CommonPackage("dir.car").c_str(), 0755), 0);
  EXPECT_EQ(AvmSetCar("dir.car", 1), -2);
}

TEST_F(CarSelection, ModesAboveTenAndNoInitialisation) {
  ASSERT_TRUE(WriteCarDirectory(root_, "demo", MakeCarFiles({0, 1})));
  for (int mode : {11, 12, -1, INT32_MIN}) {
    LogCapture log;
    EXPECT_EQ(AvmSetCar("demo", mode), -9) << mode;
    EXPECT_EQ(log.Count("KESTRA", "---------SetCar:out"), 0);
    // The lock is free again.
    ASSERT_TRUE(gBridge.sceneMutex.try_lock()) << mode;
    gBridge.sceneMutex.unlock();
  }
  gBridge.initialised.store(0);
  EXPECT_EQ(AvmSetCar("demo", 3), -9);
  EXPECT_EQ(AvmSetCar("demo.car", 1), -9);
  ASSERT_TRUE(gBridge.sceneMutex.try_lock());
  gBridge.sceneMutex.unlock();
  EXPECT_STREQ(scene_->carName, "");
}

TEST_F(CarSelection, NamesTooLongForThePathBuffersAreRefused) {
  // 256 bytes cannot be a car name at all; 200 would cut the longest
  // loader paths below this asset directory.
  for (std::size_t length : {256u, 200u}) {
    const std::string name(length, 'c');
    LogCapture log;
    EXPECT_EQ(AvmSetCar(name.c_str(), 3), -5) << length;
    EXPECT_TRUE(log.Contains("KESTRA", "---------set car " + name + " failed!name too long."));
  }
  const std::string longPackage = "/" + std::string(300, 'p') + ".car";
  LogCapture log;
  EXPECT_EQ(AvmSetCar(longPackage.c_str(), 1), -2);
  EXPECT_TRUE(log.Contains("KESTRA", "---------loadcar " + longPackage + " failed!name too long."));
  EXPECT_EQ(AvmSetCar((std::string(240, 'p') + ".car").c_str(), 1), -2);
}

TEST_F(CarSelection, SelectionResetsTheCarState) {
  CarFiles files = MakeCarFiles({0, 1});
  files.files.emplace_back("tires/97/b5.kes", MarkerBytes());
  ASSERT_TRUE(WriteCarDirectory(root_, "demo", files));
  scene_->topViewDirty = 0;
  scene_->frameLoaded[1][4] = 1;
  scene_->volumeLightLoaded = 1;
  scene_->aiCarLoaded = 1;
  scene_->carSpriteReady = 1;
  scene_->angleStep = 4;
  EXPECT_EQ(AvmSetCar("demo", 2), 1);
  EXPECT_EQ(scene_->topViewDirty, 1);
  EXPECT_EQ(scene_->frameLoaded[1][4], 0);
  EXPECT_EQ(scene_->volumeLightLoaded, 0);
  EXPECT_EQ(scene_->aiCarLoaded, 0);
  EXPECT_EQ(scene_->carSpriteReady, 0);
  EXPECT_EQ(scene_->angleStep, 1);
  EXPECT_EQ(scene_->partialWheelSpritesPresent, 1);
  // Mode 2 enables the idle loading but loads nothing at once.
  EXPECT_EQ(scene_->angleLoadEnabled, 1);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 0);
}

TEST_F(CarSelection, PreloadBeforeTheFirstFrameByMode) {
  ASSERT_TRUE(WriteCarDirectory(root_, "demo", MakeCarFiles(AllAngles())));
  auto loadedCount = [this] {
    int count = 0;
    for (const AngleMark& mark : scene_->angleLoaded) {
      count += mark.loaded;
    }
    return count;
  };
  EXPECT_EQ(AvmSetCar("demo", 0), 1);
  EXPECT_EQ(scene_->angleLoadEnabled, 0);
  EXPECT_EQ(loadedCount(), 0);
  EXPECT_EQ(AvmSetCar("demo", 5), 1);
  EXPECT_EQ(loadedCount(), 72);
  EXPECT_EQ(AvmSetCar("demo", 10), 1);
  EXPECT_EQ(loadedCount(), 192);
  EXPECT_TRUE(AngleTextureShows(191, 191));
  // A fresh selection clears the marks first.
  EXPECT_EQ(AvmSetCar("demo", 4), 1);
  EXPECT_EQ(loadedCount(), 48);
  // Single-texture mode keeps no per-angle textures.
  scene_->singleTextureMode = 1;
  EXPECT_EQ(AvmSetCar("demo", 10), 1);
  EXPECT_EQ(loadedCount(), 0);
  EXPECT_EQ(scene_->angleLoadEnabled, 1);
}

TEST_F(CarSelection, CarWithoutWholeCarImagesPreloadsNothing) {
  ASSERT_TRUE(WriteCarDirectory(root_, "bare", MakeCarFiles({0})));  // no color/a/1.kes
  EXPECT_EQ(AvmSetCar("bare", 10), 1);
  EXPECT_EQ(scene_->carSpritesPresent, 0);
  for (const AngleMark& mark : scene_->angleLoaded) {
    EXPECT_EQ(mark.loaded, 0);
  }
}

TEST_F(CarSelection, SelectionAfterTheFirstFrameAsksForAReset) {
  ASSERT_TRUE(WriteCarDirectory(root_, "first", MakeCarFiles(AllAngles())));
  CarFiles second = MakeCarFiles({1});
  // The second car's angle 0 looks like angle 7.
  second.files.emplace_back("color/a/0.kes", EncodePng(AngleImage(7)));
  ASSERT_TRUE(WriteCarDirectory(root_, "second", second));
  ASSERT_EQ(AvmSetCar("first", 10), 1);
  FakeClock::Install(5000);
  ASSERT_EQ(AvmDrawFrame(-1), 1);
  ASSERT_TRUE(AngleTextureShows(0, 0));

  scene_->blinkCounter = 9;
  scene_->singleTextureAngle = 40;
  EXPECT_EQ(AvmSetCar("second", 3), 1);
  EXPECT_EQ(scene_->carResetPending, 1);
  EXPECT_EQ(scene_->blinkCounter, 0);
  EXPECT_EQ(scene_->singleTextureAngle, -1);
  // Nothing loaded or cleared yet: the next frame does it.
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 1);
  EXPECT_EQ(scene_->angleLoaded[100].loaded, 1);
  ASSERT_TRUE(AngleTextureShows(0, 0));

  preTime = FakeClock::now;
  ASSERT_EQ(AvmDrawFrame(-1), 1);
  EXPECT_EQ(scene_->carResetPending, 0);
  // The reset cleared every mark; the idle preload of the same frame took angle 0.
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 1);
  EXPECT_EQ(scene_->angleLoaded[1].loaded, 0);
  EXPECT_EQ(scene_->angleLoaded[100].loaded, 0);
  EXPECT_TRUE(AngleTextureShows(0, 7));
}

}  // namespace
