// Whole-car sprite loading without the Java VM: the loaders and their
// paths in both layouts, the upkeep of the current angle in the 3D view,
// single-texture mode, and the idle preload of the draw method with real
// images, read back from the textures.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/whole_car_sprites.h"
#include "avm/view/frame_loop.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

class SpriteLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    FakeClock::Install(100000);
  }
  void TearDown() override { FakeClock::Uninstall(); }

  // The demo car with every angle, selected without loading anything.
  void SelectCarWithAllAngles() {
    ASSERT_TRUE(WriteCarDirectory(root_, "demo", MakeCarFiles(AllAngles())));
    ASSERT_EQ(AvmSetCar("demo", 2), 1);
  }
  std::vector<uint8_t> Read(uint32_t texture) {
    return ReadTexture(texture, kAngleImageWidth, kAngleImageHeight);
  }
  bool Shows(uint32_t texture, int angle) { return TextureShowsAngle(Read(texture), angle); }
  uint32_t AngleTexture(int angle) const { return scene_->angleTextures[angle].texture; }
  // A frame with a camera picture, so the frame loop runs; the view rests
  // on angle.
  void FrameAt(int angle, uint32_t elapsedMs = 40) {
    scene_->spriteAngle = angle;
    scene_->spriteAngleTarget = angle;
    preTime = FakeClock::now - elapsedMs;
    FakeClock::sleeps.clear();
    ASSERT_EQ(AvmDrawFrame(0), 1);
  }
  GLuint FreshTexture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    return texture;
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(SpriteLoading, NamedAndNumberedLayouts) {
  CarFiles named;
  named.files.emplace_back("color/a/17.kes", EncodePng(AngleImage(17)));
  ASSERT_TRUE(WriteCarDirectory(root_, "demo", named));
  CarFiles numbered;
  numbered.files.emplace_back("color2/a/17.kes", EncodePng(AngleImage(99)));
  ASSERT_TRUE(WriteCarDirectory(root_, "car3", numbered));
  std::strcpy(scene_->carName, "demo");
  const GLuint texture = FreshTexture();

  EXPECT_EQ(load_textureAll2(static_cast<int>(texture), 17), static_cast<int>(texture));
  EXPECT_TRUE(Shows(texture, 17));
  scene_->numberedCarLayout = 1;
  scene_->carNumber = 3;
  scene_->colorNumber = 2;
  // {assetRoot}.tmp/car3/color2/a/17.kes
  EXPECT_EQ(load_textureAll2(static_cast<int>(texture), 17), static_cast<int>(texture));
  EXPECT_TRUE(Shows(texture, 99));
  scene_->colorNumber = 1;
  load_textureAll2(static_cast<int>(texture), 17);
  EXPECT_FALSE(TextureHasImage(texture));  // car3/color1 does not exist
  scene_->numberedCarLayout = 0;
  scene_->spriteAngle = 17;
  EXPECT_EQ(load_textureAll(static_cast<int>(texture)), static_cast<int>(texture));
  EXPECT_TRUE(Shows(texture, 17));
  glDeleteTextures(1, &texture);
}

TEST_F(SpriteLoading, MissingImageEmptiesTheTextureSilently) {
  std::strcpy(scene_->carName, "demo");
  const GLuint texture = FreshTexture();
  CarFiles files;
  files.files.emplace_back("color/a/3.kes", EncodePng(AngleImage(3)));
  ASSERT_TRUE(WriteCarDirectory(root_, "demo", files));
  load_textureAll2(static_cast<int>(texture), 3);
  ASSERT_TRUE(Shows(texture, 3));
  LogCapture log;
  EXPECT_EQ(load_textureAll2(static_cast<int>(texture), 4), static_cast<int>(texture));
  EXPECT_FALSE(TextureHasImage(texture));
  EXPECT_TRUE(log.Lines().empty());
  glDeleteTextures(1, &texture);
}

TEST_F(SpriteLoading, CarPicturesByTypeAlwaysFromTheNamedLayout) {
  CarFiles files;
  files.files.emplace_back("color/light2.kes", EncodePng(AngleImage(10)));
  files.files.emplace_back("color/warning2.kes", EncodePng(AngleImage(11)));
  files.files.emplace_back("color/light1.kes", EncodePng(AngleImage(12)));
  ASSERT_TRUE(WriteCarDirectory(root_, "demo", files));
  std::strcpy(scene_->carName, "demo");
  scene_->numberedCarLayout = 1;
  const GLuint texture = FreshTexture();
  for (int type = 0; type < 3; ++type) {
    EXPECT_EQ(load_textureIndex(static_cast<int>(texture), type), static_cast<int>(texture));
    EXPECT_TRUE(Shows(texture, 10 + type)) << type;
  }
  LogCapture log;
  EXPECT_EQ(load_textureIndex(static_cast<int>(texture), 3), static_cast<int>(texture));
  EXPECT_EQ(load_textureIndex(static_cast<int>(texture), -1), static_cast<int>(texture));
  EXPECT_TRUE(Shows(texture, 12));  // unknown types load nothing
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_textureIndex,type 3 unknown"));
  glDeleteTextures(1, &texture);
}

TEST_F(SpriteLoading, LanePictureShrunkInRgbaOrderWithLinearFiltering) {
  // 16 x 8: left half B=10 G=20 R=30, right half B=70 G=80 R=90.
  cv::Mat lane(8, 16, CV_8UC4, cv::Scalar(10, 20, 30, 255));
  lane.colRange(8, 16).setTo(cv::Scalar(70, 80, 90, 128));
  ASSERT_TRUE(WriteFile(root_ + "common/lane1.png", EncodePng(lane)));
  const GLuint texture = FreshTexture();
  EXPECT_EQ(load_texturMipMap(static_cast<int>(texture), 4), static_cast<int>(texture));
  GLint minFilter = 0;
  GLint magFilter = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  EXPECT_EQ(minFilter, GL_LINEAR);
  EXPECT_EQ(magFilter, GL_LINEAR);
  // Half the size (4 / 8); the texture's R holds the picture's red.
  const std::vector<uint8_t> pixels = ReadTexture(texture, 8, 4);
  ASSERT_EQ(pixels.size(), 8u * 4 * 4);
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 4),
            (std::vector<uint8_t>{30, 20, 10, 255}));
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin() + 7 * 4, pixels.begin() + 8 * 4),
            (std::vector<uint8_t>{90, 80, 70, 128}));
  // A scale that leaves no pixel is refused and empties the texture.
  LogCapture log;
  EXPECT_EQ(load_texturMipMap(static_cast<int>(texture), 0), static_cast<int>(texture));
  EXPECT_FALSE(TextureHasImage(texture));
  EXPECT_TRUE(log.Contains("KESTRA", "---------load_texturMipMap,scale 0 out of range"));
  load_texturMipMap(static_cast<int>(texture), -8);
  load_texturMipMap(static_cast<int>(texture), INT32_MAX);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------load_texturMipMap,scale"), 3);
  glDeleteTextures(1, &texture);
}

// The shrunk size is the one the resize derives from the factors: 100 x 12
// pixels at scale 1 (factor 0.125) give 12.5 x 1.5, which OpenCV rounds
// half to even to 12 x 2 (rounding half away from zero would give 13 x 2).
TEST_F(SpriteLoading, LanePictureTakesTheSizeTheResizeDerives) {
  const cv::Mat lane(12, 100, CV_8UC4, cv::Scalar(10, 20, 30, 255));
  ASSERT_TRUE(WriteFile(root_ + "common/lane1.png", EncodePng(lane)));
  const GLuint texture = FreshTexture();
  ASSERT_EQ(load_texturMipMap(static_cast<int>(texture), 1), static_cast<int>(texture));
  // Read one column and one row wider than the texture: what lies outside
  // it is never written and stays zero.
  const std::vector<uint8_t> pixels = ReadTexture(texture, 13, 3);
  ASSERT_EQ(pixels.size(), 13u * 3 * 4);
  auto alphaAt = [&pixels](int x, int y) { return pixels[(static_cast<size_t>(y) * 13 + x) * 4 + 3]; };
  EXPECT_EQ(alphaAt(11, 1), 255);
  EXPECT_EQ(alphaAt(12, 0), 0) << "13 columns wide";
  EXPECT_EQ(alphaAt(0, 2), 0) << "3 rows high";
  glDeleteTextures(1, &texture);
}

TEST_F(SpriteLoading, ThreeDViewLoadsTheCurrentAngleOnDemand) {
  SelectCarWithAllAngles();
  scene_->angleLoadEnabled = 0;  // no idle preload: only the frame loop loads
  scene_->screenMode = 15;
  FrameAt(40);
  EXPECT_EQ(scene_->carViewActive, 1);
  EXPECT_EQ(scene_->carSpriteReady, 1);
  EXPECT_EQ(scene_->angleLoaded[40].loaded, 1);
  EXPECT_TRUE(Shows(AngleTexture(40), 40));
  EXPECT_EQ(scene_->angleLoaded[41].loaded, 0);

  // Loaded once: a changed file is not read again until a reset.
  ASSERT_TRUE(WriteFile(root_ + ".tmp/demo/color/a/40.kes", EncodePng(AngleImage(140))));
  FrameAt(40);
  EXPECT_TRUE(Shows(AngleTexture(40), 40));
  resetCarModle();
  FrameAt(40);
  EXPECT_TRUE(Shows(AngleTexture(40), 140));

  // Screen mode 5 keeps the sprites current as well; the 2D top view does not.
  scene_->screenMode = 5;
  FrameAt(41);
  EXPECT_TRUE(Shows(AngleTexture(41), 41));
  scene_->screenMode = 12;
  scene_->carViewActive = 0;
  FrameAt(42);
  EXPECT_EQ(scene_->angleLoaded[42].loaded, 0);
  EXPECT_EQ(scene_->carViewActive, 0);
}

TEST_F(SpriteLoading, SingleTextureModeReloadsOnlyOnAngleChanges) {
  SelectCarWithAllAngles();
  scene_->singleTextureMode = 1;
  scene_->screenMode = 5;
  const uint32_t single = scene_->singleTexture[0];
  FrameAt(40, 10);
  EXPECT_EQ(scene_->singleTextureAngle, 40);
  EXPECT_TRUE(Shows(single, 40));
  // Neither the per-angle textures nor the idle preload are used.
  EXPECT_FALSE(TextureHasImage(AngleTexture(40)));
  EXPECT_FALSE(TextureHasImage(AngleTexture(0)));
  for (const AngleMark& mark : scene_->angleLoaded) {
    ASSERT_EQ(mark.loaded, 0);
  }

  // The same angle again uploads nothing: the changed file is not seen.
  ASSERT_TRUE(WriteFile(root_ + ".tmp/demo/color/a/40.kes", EncodePng(AngleImage(140))));
  FrameAt(40, 10);
  EXPECT_TRUE(Shows(single, 40));
  FrameAt(41, 10);
  EXPECT_TRUE(Shows(single, 41));
  EXPECT_EQ(scene_->singleTextureAngle, 41);
  FrameAt(40, 10);
  EXPECT_TRUE(Shows(single, 140));
  for (int angle : {0, 40, 41}) {
    EXPECT_FALSE(TextureHasImage(AngleTexture(angle))) << angle;
  }
  // A selection after the first frame forgets the single texture's angle,
  // so the next frame reloads even on the same angle.
  ASSERT_TRUE(WriteFile(root_ + ".tmp/demo/color/a/40.kes", EncodePng(AngleImage(40))));
  ASSERT_EQ(AvmSetCar("demo", 2), 1);
  FrameAt(40, 10);
  EXPECT_TRUE(Shows(single, 40));
}

TEST_F(SpriteLoading, IdlePreloadWalksEveryAngleThenSleepsAsUsual) {
  SelectCarWithAllAngles();
  // A frame that ended 70 ms after the previous one has no idle time.
  FrameAt(0, 70);
  EXPECT_EQ(scene_->angleLoaded[0].loaded, 0);
  EXPECT_FALSE(TextureHasImage(AngleTexture(0)));
  for (int frame = 0; frame < kSpriteAngles; ++frame) {
    FrameAt(0, 69);
    ASSERT_EQ(scene_->angleLoaded[frame].loaded, 1) << frame;
    ASSERT_TRUE(FakeClock::sleeps.empty()) << frame;  // the load took the frame's idle time
  }
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    EXPECT_TRUE(Shows(AngleTexture(angle), angle)) << angle;
  }
  // All 192 marks set: nothing more to load, the frame sleeps to 40 ms.
  FrameAt(0, 10);
  EXPECT_EQ(FakeClock::sleeps, std::vector<uint32_t>{30});
}

}  // namespace
