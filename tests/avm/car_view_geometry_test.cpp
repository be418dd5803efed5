// Where the car's sprites land: the quads of the whole-car, state and top
// sprites and of the rendering camera's frame, the two view matrices, the
// plate ranges, and car tables damaged in every way params.bin can be.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/sprite_quad.h"
#include "avm/view/car_params.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/process_runner.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Corners {
  float x0, x1, yBot, yTop;
};

// The quad's corners, after checking the vertex order (bottom-left,
// top-left, bottom-right, top-right) and z = 0.
Corners CornersOf(const float* q) {
  EXPECT_EQ(q[0], q[3]);
  EXPECT_EQ(q[6], q[9]);
  EXPECT_EQ(q[1], q[7]);
  EXPECT_EQ(q[4], q[10]);
  for (int v = 0; v < 4; ++v) {
    EXPECT_EQ(q[3 * v + 2], 0.0f);
  }
  return Corners{q[0], q[6], q[1], q[4]};
}

// Applies m to the point and divides by w.
void Project(const float* m, float x, float y, float z, float* out) {
  float v[4];
  for (int r = 0; r < 4; ++r) {
    v[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
  }
  out[0] = v[0] / v[3];
  out[1] = v[1] / v[3];
  out[2] = v[2] / v[3];
}

class SpriteGeometry : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    // A rendering camera equal to the current one.
    carPicSizeCur[2] = 801.0f;
    carPicSizeCur[3] = 601.0f;
    carLookatAllCur[4] = scene_->mainFovy;
    carLookatAllCur[5] = scene_->mainAspect;
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(SpriteGeometry, WholeFrameWithEqualCamerasCoversTheClipSquare) {
  const float cord[4] = {0.0f, 0.0f, 801.0f, 601.0f};
  float quad[12];
  ASSERT_TRUE(WholeCarSpriteQuad(scene_, cord, SpriteEdges::kWhole, quad));
  const Corners c = CornersOf(quad);
  EXPECT_FLOAT_EQ(c.x0, -1.0f);
  EXPECT_FLOAT_EQ(c.x1, 1.0f);
  EXPECT_FLOAT_EQ(c.yTop, 1.0f);
  EXPECT_FLOAT_EQ(c.yBot, -1.0f);
}

TEST_F(SpriteGeometry, StateSpritesReachHalfAPixelFurtherRightAndDown) {
  const float cord[4] = {0.0f, 0.0f, 801.0f, 601.0f};
  float quad[12];
  ASSERT_TRUE(WholeCarSpriteQuad(scene_, cord, SpriteEdges::kHalfPixelFurther, quad));
  const Corners c = CornersOf(quad);
  EXPECT_FLOAT_EQ(c.x0, -1.0f);
  EXPECT_FLOAT_EQ(c.yTop, 1.0f);
  // Half a pixel of a frame 801 wide is 1 / 800 of the clip square.
  EXPECT_FLOAT_EQ(c.x1, 1.0f + 1.0f / 800.0f);
  EXPECT_FLOAT_EQ(c.yBot, -1.0f - 1.0f / 600.0f);
}

TEST_F(SpriteGeometry, RectangleInsideTheFrameAndCameraRatios) {
  // Pixel column 200 of 801 is -0.5, row 150 of 601 is +0.5.
  const float cord[4] = {200.0f, 150.0f, 401.0f, 301.0f};
  float quad[12];
  ASSERT_TRUE(WholeCarSpriteQuad(scene_, cord, SpriteEdges::kWhole, quad));
  Corners c = CornersOf(quad);
  EXPECT_FLOAT_EQ(c.x0, -0.5f);
  EXPECT_FLOAT_EQ(c.x1, 0.5f);
  EXPECT_FLOAT_EQ(c.yTop, 0.5f);
  EXPECT_FLOAT_EQ(c.yBot, -0.5f);

  // A rendering camera of half the current field of view's tangent and twice
  // the aspect: positions shrink by tA / tF vertically and grow by the
  // aspect ratio horizontally.
  const double k = 0.01745329238474369;
  const double tF = std::tan(scene_->mainFovy * 0.5 * k);
  carLookatAllCur[4] = static_cast<float>(2.0 * std::atan(tF * 0.5) / k);
  carLookatAllCur[5] = scene_->mainAspect * 2.0f;
  ASSERT_TRUE(WholeCarSpriteQuad(scene_, cord, SpriteEdges::kWhole, quad));
  c = CornersOf(quad);
  EXPECT_NEAR(c.yTop, 0.25f, 1e-4);
  EXPECT_NEAR(c.x0, -0.5f, 1e-4);  // 0.5 (tangent) x 2 (aspect)
  float frame[12];
  ASSERT_TRUE(RenderCameraFrameQuad(scene_, frame));
  EXPECT_NEAR(frame[0], -1.0f, 1e-4);
  EXPECT_NEAR(frame[1], 0.5f, 1e-4);
  EXPECT_NEAR(frame[4], -0.5f, 1e-4);
  EXPECT_NEAR(frame[6], 1.0f, 1e-4);
}

TEST_F(SpriteGeometry, DamagedTablesGiveNoQuad) {
  const float good[4] = {0.0f, 0.0f, 801.0f, 601.0f};
  float quad[12];
  std::memset(quad, 0x7F, sizeof(quad));
  const float before = quad[0];

  // A frame one pixel wide or high would divide by zero.
  for (float size : {1.0f, 0.0f, -5.0f, kNaN, kInf}) {
    carPicSizeCur[2] = size;
    EXPECT_FALSE(WholeCarSpriteQuad(scene_, good, SpriteEdges::kWhole, quad)) << size;
    carPicSizeCur[2] = 801.0f;
    carPicSizeCur[3] = size;
    EXPECT_FALSE(WholeCarSpriteQuad(scene_, good, SpriteEdges::kHalfPixelFurther, quad)) << size;
    carPicSizeCur[3] = 601.0f;
  }
  // Sprite rectangles without size or with non-finite corners.
  const float bad[][4] = {{0, 0, 0, 601},   {0, 0, 801, 0},      {0, 0, -3, 601},
                          {kNaN, 0, 801, 601}, {0, kInf, 801, 601}, {0, 0, 801, kNaN}};
  for (const auto& cord : bad) {
    EXPECT_FALSE(WholeCarSpriteQuad(scene_, cord, SpriteEdges::kWhole, quad));
  }
  // Cameras that make the ratios infinite or undefined.
  carLookatAllCur[4] = kNaN;
  EXPECT_FALSE(WholeCarSpriteQuad(scene_, good, SpriteEdges::kWhole, quad));
  EXPECT_FALSE(RenderCameraFrameQuad(scene_, quad));
  carLookatAllCur[4] = scene_->mainFovy;
  carLookatAllCur[5] = kInf;
  EXPECT_FALSE(RenderCameraFrameQuad(scene_, quad));
  carLookatAllCur[5] = scene_->mainAspect;
  scene_->mainAspect = 0.0f;
  EXPECT_FALSE(WholeCarSpriteQuad(scene_, good, SpriteEdges::kWhole, quad));
  EXPECT_EQ(quad[0], before);  // nothing half-written
}

TEST_F(SpriteGeometry, TopSpriteSitsOnTheCarsCentreWithItsMargins) {
  // Top image 400 x 900 with the car 200 wide and 600 long, its front 100
  // pixels below the image's top edge.
  const float top[5] = {200.0f, 600.0f, 100.0f, 400.0f, 900.0f};
  std::memcpy(carTop2Cur, top, sizeof(top));
  scene_->carWidth = 190;
  scene_->carLength = 523;
  scene_->topCarScaleX = 1.0f;
  scene_->topCarScaleY = 1.0f;
  scene_->topViewMargin = 220.0f;
  scene_->topViewport[2] = 600.0f;
  scene_->topViewport[3] = 600.0f;
  float quad[12];
  ASSERT_TRUE(TopSpriteQuad(scene_, quad));
  const Corners c = CornersOf(quad);
  const double d = 523 * 0.5 + 220.0;
  // Half the image is twice half the car: x spans twice the car's half
  // width on a ground of half height d.
  EXPECT_NEAR(c.x1, 2.0 * 95.0 / d, 1e-6);
  EXPECT_EQ(c.x0, -c.x1);
  const double ys = 261.5 / d;
  EXPECT_NEAR(c.yTop, ys * (300.0 + 100.0) / 300.0, 1e-6);
  EXPECT_NEAR(c.yBot, -ys * ((900.0 - 100.0) - 300.0) / 300.0, 1e-6);

  // A zero viewport height or a car length of zero pixels leaves no quad.
  scene_->topViewport[3] = 0.0f;
  EXPECT_FALSE(TopSpriteQuad(scene_, quad));
  scene_->topViewport[3] = 600.0f;
  carTop2Cur[1] = 0.0f;
  EXPECT_FALSE(TopSpriteQuad(scene_, quad));
  carTop2Cur[1] = kNaN;
  EXPECT_FALSE(TopSpriteQuad(scene_, quad));
}

TEST_F(SpriteGeometry, TopViewShowsTheCarLengthPlusBothMargins) {
  scene_->carLength = 523;
  scene_->topViewMargin = 220.0f;
  scene_->topViewport[2] = 400.0f;
  scene_->topViewport[3] = 600.0f;
  GetMatrix2D();
  float mvp[16];
  MultMatrix4x4(mvp, scene_->viewMatrix, scene_->projMatrix);
  const float d = 523 * 0.5f + 220.0f;
  float p[3];
  Project(mvp, 0.0f, d, 0.0f, p);
  EXPECT_NEAR(p[1], 1.0f, 1e-5);  // the front margin's edge is the top edge
  Project(mvp, d * 400.0f / 600.0f, -d, 0.0f, p);
  EXPECT_NEAR(p[0], 1.0f, 1e-5);
  EXPECT_NEAR(p[1], -1.0f, 1e-5);
}

TEST_F(SpriteGeometry, OrbitCameraLooksAtItsTargetFromItsAzimuth) {
  scene_->camAngle = 90.0f;
  scene_->camDistance = 510.0f;
  scene_->camHeight = 230.0f;
  scene_->camTargetHeight = 75.0f;
  GetMatrix3D();
  float mvp[16];
  MultMatrix4x4(mvp, scene_->viewMatrix, scene_->projMatrix);
  float p[3];
  Project(mvp, 0.0f, 0.0f, 75.0f, p);
  EXPECT_NEAR(p[0], 0.0f, 1e-5);
  EXPECT_NEAR(p[1], 0.0f, 1e-5);
  // At azimuth 90 the eye stands on +y looking towards -y: the camera's
  // right is -x, so +x of the scene appears on the left.
  Project(mvp, 100.0f, 0.0f, 75.0f, p);
  EXPECT_LT(p[0], -0.05f);
  // Up in the scene is up on screen.
  Project(mvp, 0.0f, 0.0f, 150.0f, p);
  EXPECT_GT(p[1], 0.05f);
}

TEST(PlateRanges, OneEndOfTheCarFacesTheCamera) {
  EXPECT_EQ(PlateForAngle(23), -1);
  EXPECT_EQ(PlateForAngle(24), 1);
  EXPECT_EQ(PlateForAngle(72), 1);
  EXPECT_EQ(PlateForAngle(73), -1);
  EXPECT_EQ(PlateForAngle(119), -1);
  EXPECT_EQ(PlateForAngle(120), 0);
  EXPECT_EQ(PlateForAngle(168), 0);
  EXPECT_EQ(PlateForAngle(169), -1);
  EXPECT_EQ(PlateForAngle(0), -1);
}

}  // namespace
