// Objects through whole frames of the renderer with the sample car: the
// frame loop reads the mesh of the asset tree on the first object and draws
// every slot in use in the 3D view, between the ground and the car.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/mesh/objmodel.h"
#include "avm/view/frame_loop.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/object_mesh_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

const std::string kSampleAssets = AVM_SAMPLE_ASSETS_DIR;

class ObjectFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_TRUE(WriteFile(root_ + "common/demo.car", ReadFile(kSampleAssets + "/common/demo.car")));
    ASSERT_TRUE(WriteFile(root_ + "common/car.bin", SquareMeshBytes(30.0f, 30.0f)));
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
    ASSERT_EQ(AvmSetCar("demo", 2), 1);
    scene_ = pViewParam;
    scene_->screenMode = 5;
    scene_->backgroundOn = 0;
    scene_->roadwayOn = 0;
    scene_->laneOn = 0;
    scene_->bottomShadowOn = 0;
    scene_->aiCarMode = 0;
    scene_->plateShown = 0;
    scene_->spriteAngle = 72;
    scene_->spriteAngleTarget = 72;
  }

  void SetSlot(int slot, int r, int g, int b) {
    int32_t* s = scene_->objectSlots[slot];
    std::memset(s, 0, sizeof(scene_->objectSlots[slot]));
    s[0] = 1;
    s[4] = r;
    s[5] = g;
    s[6] = b;
  }

  ScreenPoint Project(float x, float y) const {
    return ProjectToScreen(scene_->viewMatrix, scene_->projMatrix, scene_->mainViewport,
                           HostEglHeight(), x, y, 0.0f);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

TEST_F(ObjectFrame, SlotInUseShowsTheMeshAtItsPlaceInTheFrame) {
  LogCapture log;
  SetSlot(4, 255, 0, 0);
  scene_->objectSlots[4][7] = 0;  // alpha 0 still draws opaque
  // The sample car's own length first, then the default length.
  const int32_t sampleLength = scene_->carLength;
  AvmDraw();
  ASSERT_NE(scene_->carObjModel, nullptr);
  EXPECT_EQ(scene_->carObjModel->faceCount, 2);
  EXPECT_EQ(log.Count("KESTRA", "-------------objRead,faceArray,2"), 1);
  const ScreenPoint own = Project(0.0f, 0.8f * static_cast<float>(sampleLength + 30));
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), own.x, own.y), 255, 0, 0));
  scene_->carLength = 523;
  AvmDraw();
  const std::vector<uint8_t> frame = HostEglReadPixels();
  const ScreenPoint origin = Project(0.0f, 442.4f);
  EXPECT_TRUE(Near(FramePixel(frame, origin.x, origin.y), 255, 0, 0))
      << "at " << origin.x << "," << origin.y;
  EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
  // The mesh is read once, however many frames show objects.
  EXPECT_EQ(log.CountPrefix("KESTRA", "-------------objRead,vertexArray"), 1);
}

TEST_F(ObjectFrame, EmptySlotsDrawNothingAndReadNoMesh) {
  AvmDraw();
  EXPECT_EQ(scene_->carObjModel, nullptr);
  const ScreenPoint origin = Project(0.0f, 442.4f);
  const Rgba pixel = FramePixel(HostEglReadPixels(), origin.x, origin.y);
  EXPECT_FALSE(Near(pixel, 255, 0, 0, 40));
}

TEST_F(ObjectFrame, DamagedMeshFileDrawsNoObject) {
  std::string bytes = SquareMeshBytes(30.0f, 30.0f);
  bytes[bytes.size() - 4] = 9;  // a corner index past the four vertices
  ASSERT_TRUE(WriteFile(root_ + "common/car.bin", bytes));
  SetSlot(0, 255, 0, 0);
  AvmDraw();
  ASSERT_NE(scene_->carObjModel, nullptr);
  EXPECT_EQ(scene_->carObjModel->faceCount, 0);
  const ScreenPoint origin = Project(0.0f, 442.4f);
  EXPECT_FALSE(Near(FramePixel(HostEglReadPixels(), origin.x, origin.y), 255, 0, 0, 40));
}

}  // namespace
