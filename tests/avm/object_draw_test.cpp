// One object drawn by itself into the real GL context: where the model
// lands, its colour, the depth test around it, and hostile slot values.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/object_draw.h"
#include "avm/gl/shader_programs.h"
#include "avm/mesh/objmodel.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/object_mesh_files.h"
#include "tests/support/process_runner.h"

namespace {

class ObjectDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    scene_ = AllocateSceneState();
    ASSERT_NE(scene_, nullptr);
    BuildScenePrograms();
    scene_->carLength = 523;
    // Straight down onto the ground from 1200 above the car's centre.
    LookAt(scene_->viewMatrix, 0.0f, 0.0f, 1200.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    PerspectiveMatrix4x4(scene_->projMatrix, 60.0f,
                         static_cast<float>(kTestScreenWidth) / kTestScreenHeight, 1.0f, 5000.0f);
    glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
    Clear(1.0f);
    UseMesh(SquareMeshBytes(40.0f, 40.0f));
  }

  void TearDown() override {
    delete scene_->carObjModel;
    scene_->carObjModel = nullptr;
  }

  void UseMesh(const std::string& bytes) {
    delete scene_->carObjModel;
    scene_->carObjModel = new Objmodel();
    ASSERT_TRUE(WriteFile(dir_ / "car.bin", bytes));
    scene_->carObjModel->readFile((dir_ / "car.bin").c_str());
    ASSERT_EQ(scene_->carObjModel->faceCount, 2);
  }

  void Clear(float depth) {
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glClearDepthf(depth);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }

  void SetSlot(int slot, int32_t x, int32_t d, int r, int g, int b, int a) {
    int32_t* s = scene_->objectSlots[slot];
    std::memset(s, 0, sizeof(scene_->objectSlots[slot]));
    s[0] = 1;
    s[2] = x;
    s[3] = d;
    s[4] = r;
    s[5] = g;
    s[6] = b;
    s[7] = a;
  }

  ScreenPoint Project(float x, float y) const {
    const float viewport[4] = {0.0f, 0.0f, static_cast<float>(kTestScreenWidth),
                               static_cast<float>(kTestScreenHeight)};
    return ProjectToScreen(scene_->viewMatrix, scene_->projMatrix, viewport, kTestScreenHeight, x,
                           y, 0.0f);
  }

  TempDir dir_;
  ViewParam* scene_ = nullptr;
};

TEST_F(ObjectDraw, ModelOriginLandsOnTheGroundBeyondTheCarsFront) {
  SetSlot(3, 0, 0, 255, 0, 0, 0);
  DrawObj(3);
  const std::vector<uint8_t> frame = HostEglReadPixels();
  const ScreenPoint origin = Project(0.0f, 442.4f);
  EXPECT_TRUE(Near(FramePixel(frame, origin.x, origin.y), 255, 0, 0));
  // The square is 0.8 x 80 = 64 units wide: 40 units beside it is ground.
  const ScreenPoint beside = Project(72.0f, 442.4f);
  EXPECT_TRUE(Near(FramePixel(frame, beside.x, beside.y), 0, 0, 0));
  const ScreenPoint nearer = Project(0.0f, 442.4f - 72.0f);
  EXPECT_TRUE(Near(FramePixel(frame, nearer.x, nearer.y), 0, 0, 0));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ObjectDraw, OffsetsMoveTheObjectByFourFifths) {
  SetSlot(0, 100, 50, 0, 255, 0, 255);
  DrawObj(0);
  const std::vector<uint8_t> frame = HostEglReadPixels();
  const ScreenPoint placed = Project(80.0f, 0.8f * (50 + 523 + 30));
  EXPECT_TRUE(Near(FramePixel(frame, placed.x, placed.y), 0, 255, 0));
  const ScreenPoint unscaled = Project(100.0f + 40.0f, 50.0f + 523.0f + 30.0f + 40.0f);
  EXPECT_TRUE(Near(FramePixel(frame, unscaled.x, unscaled.y), 0, 0, 0));
}

TEST_F(ObjectDraw, ColourIsOpaqueWhateverTheSlotsAlpha) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  SetSlot(0, 0, 0, 255, 0, 0, 0);
  DrawObj(0);
  const ScreenPoint origin = Project(0.0f, 442.4f);
  const Rgba pixel = FramePixel(HostEglReadPixels(), origin.x, origin.y);
  EXPECT_TRUE(Near(pixel, 255, 0, 0));
  EXPECT_EQ(pixel.a, 255);
  Clear(1.0f);
  SetSlot(0, 0, 0, 0, 0, 255, 128);
  DrawObj(0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), origin.x, origin.y), 0, 0, 255));
}

TEST_F(ObjectDraw, DepthTestIsOnOnlyWhileTheObjectIsDrawn) {
  SetSlot(0, 0, 0, 255, 0, 0, 255);
  const ScreenPoint origin = Project(0.0f, 442.4f);
  // A depth buffer cleared to the near plane hides whatever is depth tested.
  Clear(0.0f);
  DrawObj(0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), origin.x, origin.y), 0, 0, 0));
  EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
  Clear(1.0f);
  DrawObj(0);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), origin.x, origin.y), 255, 0, 0));
  EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
  GLint bound = -1;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0);
}

TEST_F(ObjectDraw, LargestDistanceDoesNotWrapBehindTheCar) {
  // y is scaled so that the far end of the int range lands on screen: a sum
  // wrapped in 32 bits would put the object at the opposite edge.
  const float far = 0.8f * (static_cast<float>(std::numeric_limits<int32_t>::max()) + 553.0f);
  float scaleOnly[16] = {};
  scaleOnly[0] = 1.0f / 100.0f;
  scaleOnly[5] = 0.5f / far;
  scaleOnly[10] = 1e-12f;
  scaleOnly[15] = 1.0f;
  std::memcpy(scene_->projMatrix, scaleOnly, sizeof(scaleOnly));
  LoadIdentityMatrix4x4(scene_->viewMatrix);
  UseMesh(SquareMeshBytes(40.0f, 1e8f));
  SetSlot(0, 0, std::numeric_limits<int32_t>::max(), 255, 0, 0, 255);
  DrawObj(0);
  const std::vector<uint8_t> frame = HostEglReadPixels();
  const int x = kTestScreenWidth / 2;
  EXPECT_TRUE(Near(FramePixel(frame, x, kTestScreenHeight / 4), 255, 0, 0));
  EXPECT_TRUE(Near(FramePixel(frame, x, 3 * kTestScreenHeight / 4), 0, 0, 0));
}

TEST_F(ObjectDraw, EmptyMeshAndBadSlotsDrawNothing) {
  SetSlot(0, 0, 0, 255, 0, 0, 255);
  delete scene_->carObjModel;
  scene_->carObjModel = new Objmodel();  // never read
  DrawObj(0);
  DrawObj(-1);
  DrawObj(kObjectSlots);
  const ScreenPoint origin = Project(0.0f, 442.4f);
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), origin.x, origin.y), 0, 0, 0));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
