// The guide-track classes in the real GL context: the constructor's
// values, which slots each operation fills in which mode, the rebuild
// flags and the steering commands, the matrices and textures of a line,
// and lines seen on screen.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/shader_programs.h"
#include "avm/include/avm_track.h"
#include "avm/view/frame_loop.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/object_mesh_files.h"
#include "tests/support/process_runner.h"

namespace {

constexpr GLint kLineBytes = 102 * 3 * 4;

GLuint SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
  GLuint name = 0;
  CreateTexture(&name, 1);
  const uint8_t pixels[4 * 4] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  return name;
}

class GuideTrack : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(AvmInitialiseLibrary(root_.c_str()), 1);
    scene_ = pViewParam;
    green_ = SolidTexture(0, 255, 0);
    blue_ = SolidTexture(0, 0, 255);
    red_ = SolidTexture(255, 0, 0);
    ASSERT_EQ(AvmSetTrackTextures(green_, blue_, red_), 1);
    LookAt(view_, 0.0f, 0.0f, 1500.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    PerspectiveMatrix4x4(proj_, 60.0f, static_cast<float>(kTestScreenWidth) / kTestScreenHeight,
                         1.0f, 5000.0f);
    glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    track_ = std::make_unique<AvmTrack>();
    ASSERT_NE(track_->drawer, nullptr);
  }

  // The slots whose buffers hold a line.
  std::set<int> FilledSlots() const {
    std::set<int> slots;
    for (int slot = 0; slot < 12; ++slot) {
      const GLint bytes = BufferBytes(track_->drawer->vertexBuffers[slot]);
      if (bytes == kLineBytes) {
        slots.insert(slot);
      } else {
        EXPECT_EQ(bytes, 0) << "slot " << slot;
      }
    }
    return slots;
  }

  void Fresh() { track_ = std::make_unique<AvmTrack>(); }

  Rgba PixelAt(float x, float y) const {
    const float viewport[4] = {0.0f, 0.0f, static_cast<float>(kTestScreenWidth),
                               static_cast<float>(kTestScreenHeight)};
    const ScreenPoint p = ProjectToScreen(view_, proj_, viewport, kTestScreenHeight, x, y, 0.0f);
    return FramePixel(HostEglReadPixels(), p.x, p.y);
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
  GLuint green_ = 0;
  GLuint blue_ = 0;
  GLuint red_ = 0;
  float view_[16];
  float proj_[16];
  std::unique_ptr<AvmTrack> track_;
};

TEST_F(GuideTrack, ConstructorTakesTheDefaultsAndTheScenesCar) {
  EXPECT_FLOAT_EQ(track_->wheelbase, 329.8f);
  EXPECT_NEAR(track_->sideOffset, 8.633333f, 1e-5);
  EXPECT_EQ(track_->lineWidth, 5.0f);
  EXPECT_EQ(track_->lineLength, 500.0f);
  EXPECT_EQ(track_->carWidth, 190.0f);
  EXPECT_EQ(track_->carLength, 523.0f);
  const TrackDrawer* drawer = track_->drawer;
  EXPECT_EQ(drawer->width, 5.0f);
  EXPECT_EQ(drawer->vertexCount, 102);
  EXPECT_EQ(drawer->segments, 50);
  EXPECT_NE(drawer->program, 0);
  EXPECT_EQ(drawer->texture, static_cast<int32_t>(green_));
  for (bool dirty : drawer->geometryDirty) {
    EXPECT_TRUE(dirty);
  }
  float params[6] = {0.0f, 200.0f, -100.0f, 30.0f, 70.0f, 0.0f};
  scene_->carWidth = 180;
  track_->SetTrackParams(params);
  EXPECT_FLOAT_EQ(track_->wheelbase, 300.0f);
  EXPECT_FLOAT_EQ(track_->sideOffset, 10.0f);
  EXPECT_EQ(track_->carWidth, 180.0f);
}

TEST_F(GuideTrack, ExtraLinesDoubleTheLinesOfEveryOperation) {
  track_->FrontLeft(view_, proj_, 15.0f);
  EXPECT_EQ(FilledSlots(), (std::set<int>{0, 1}));
  for (int extra : {1, 2}) {
    scene_->trackExtraLines = extra;
    Fresh();
    track_->FrontRight(view_, proj_, -15.0f);
    EXPECT_EQ(FilledSlots(), (std::set<int>{0, 1, 6, 7})) << "extra lines " << extra;
    Fresh();
    track_->BackLeft(view_, proj_, 10.0f);
    EXPECT_EQ(FilledSlots(), (std::set<int>{0, 1, 6, 7}));
    Fresh();
    track_->Back(view_, proj_);
    EXPECT_EQ(FilledSlots(), (std::set<int>{0, 1, 6, 7}));
  }
  scene_->trackExtraLines = 3;  // not a setting that switches them on
  Fresh();
  track_->Front(view_, proj_);
  EXPECT_EQ(FilledSlots(), (std::set<int>{0, 1}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GuideTrack, TrackModesShiftTheSlotsAndModeAKeepsInnerLinesForMildSteering) {
  scene_->trackExtraLines = 1;
  scene_->trackModeB = 1;
  track_->BackRight(view_, proj_, 12.0f);
  EXPECT_EQ(FilledSlots(), (std::set<int>{4, 5, 10, 11}));
  scene_->trackModeA = 1;  // A wins over B
  Fresh();
  track_->FrontLeft(view_, proj_, 19.0f);
  EXPECT_EQ(FilledSlots(), (std::set<int>{2, 3, 8, 9}));
  Fresh();
  track_->FrontLeft(view_, proj_, 22.0f);
  EXPECT_EQ(FilledSlots(), (std::set<int>{2, 8, 9}));
  Fresh();
  track_->FrontRight(view_, proj_, -27.0f);
  EXPECT_EQ(FilledSlots(), (std::set<int>{2, 8}));
  // Mode values other than 0 and 1 draw no inner lines at all.
  scene_->trackModeA = 2;
  Fresh();
  track_->FrontLeft(view_, proj_, 5.0f);
  EXPECT_EQ(FilledSlots(), (std::set<int>{2, 8}));
}

TEST_F(GuideTrack, OperationClearsItsModesFlagAndSteeringMarksAnAttachedTrack) {
  TrackDrawer* drawer = track_->drawer;
  track_->FrontLeft(view_, proj_, 10.0f);
  EXPECT_FALSE(drawer->geometryDirty[0]);
  EXPECT_TRUE(drawer->geometryDirty[1]);
  EXPECT_TRUE(drawer->geometryDirty[2]);
  scene_->trackModeA = 1;
  track_->Front(view_, proj_);
  EXPECT_FALSE(drawer->geometryDirty[1]);
  scene_->trackModeA = 0;
  scene_->trackModeB = 1;
  track_->Back(view_, proj_);
  EXPECT_FALSE(drawer->geometryDirty[2]);

  // Not attached: a new steering angle leaves the flags alone.
  AvmSetTireAngle(12.0f, 0);
  EXPECT_FALSE(drawer->geometryDirty[0]);
  ASSERT_EQ(AvmAttachGuideTrack(track_.get()), 1);
  EXPECT_EQ(scene_->guideTrack, track_.get());
  for (bool& dirty : drawer->geometryDirty) {
    dirty = false;
  }
  AvmSetTireAngle(12.0f, 0);  // unchanged: nothing to rebuild
  EXPECT_FALSE(drawer->geometryDirty[0]);
  AvmSetTireAngle(14.0f, 0);
  EXPECT_TRUE(drawer->geometryDirty[0] && drawer->geometryDirty[1] && drawer->geometryDirty[2]);
  for (bool& dirty : drawer->geometryDirty) {
    dirty = false;
  }
  AvmSetTireAngle(14.0f, 1);  // the gear alone
  EXPECT_TRUE(drawer->geometryDirty[0] && drawer->geometryDirty[1] && drawer->geometryDirty[2]);
  // A track going away detaches itself.
  track_.reset();
  EXPECT_EQ(scene_->guideTrack, nullptr);
  AvmSetTireAngle(3.0f, 0);
}

TEST_F(GuideTrack, SteeringStraightDrawsNoArcs) {
  for (float steer : {0.0f, -0.0f, 1e-40f}) {
    track_->FrontLeft(view_, proj_, steer);
    track_->FrontRight(view_, proj_, steer);
    track_->BackLeft(view_, proj_, steer);
    track_->BackRight(view_, proj_, steer);
  }
  EXPECT_TRUE(FilledSlots().empty());
  EXPECT_TRUE(track_->drawer->geometryDirty[0]);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const std::vector<uint8_t> frame = HostEglReadPixels();
  for (std::size_t i = 0; i < frame.size(); i += 4) {
    ASSERT_EQ(frame[i] + frame[i + 1] + frame[i + 2], 0) << "pixel " << i / 4;
  }
}

TEST_F(GuideTrack, FrontBandsLieBesideTheCarAndTheExtraOnesInside) {
  track_->Front(view_, proj_);
  const float side = 95.0f + 8.633333f;
  EXPECT_TRUE(Near(PixelAt(-side, 400.0f), 0, 255, 0));
  EXPECT_TRUE(Near(PixelAt(side, 400.0f), 0, 255, 0));
  EXPECT_TRUE(Near(PixelAt(side, 100.0f), 0, 0, 0));  // starts at the front line, 171
  EXPECT_TRUE(Near(PixelAt(side, 700.0f), 0, 0, 0));  // and ends 500 further
  const float inner = (190.0f - 10.0f - 25.9f) * 0.5f;
  EXPECT_TRUE(Near(PixelAt(inner, 400.0f), 0, 0, 0));

  scene_->trackExtraLines = 1;
  track_->drawer->markGeometryDirty();
  track_->Front(view_, proj_);
  EXPECT_TRUE(Near(PixelAt(inner, 400.0f), 0, 0, 255));
  EXPECT_TRUE(Near(PixelAt(-inner, 400.0f), 0, 0, 255));
  EXPECT_TRUE(Near(PixelAt(side, 400.0f), 0, 255, 0));
}

TEST_F(GuideTrack, ReverseGearRunsTheRearBandsAwayFromTheCar) {
  scene_->reverseGear = 1;
  track_->Back(view_, proj_);
  const float side = 95.0f + 8.633333f;
  EXPECT_TRUE(Near(PixelAt(side, -400.0f), 0, 255, 0));
  EXPECT_TRUE(Near(PixelAt(side, -100.0f), 0, 0, 0));
}

// An app may declare the drawer from its published member list and make it
// in memory of its own: the object must be exactly that big (140 bytes, the
// layout the library checks when it is built), and the constructor, the
// drawing and the destructor must write nothing after it.
TEST_F(GuideTrack, ADrawerLivesInExactlyThePublishedSize) {
  constexpr std::size_t kPublishedSize = 140;
  constexpr std::size_t kGuardBytes = 64;
  EXPECT_EQ(sizeof(TrackDrawer), kPublishedSize);
  std::vector<unsigned char> block(kPublishedSize + kGuardBytes, 0xA5);
  unsigned char* guard = block.data() + kPublishedSize;
#if defined(__SANITIZE_ADDRESS__)
  ASAN_POISON_MEMORY_REGION(guard, kGuardBytes);
#endif
  TrackDrawer* drawer = new (block.data()) TrackDrawer(5.0f);
  drawer->centerX = 100.0f;
  drawer->centerY = 0.0f;
  drawer->length = 300.0f;
  for (int32_t slot : {0, 7, 11}) {
    drawer->slot = slot;
    drawer->draw(view_, proj_, 1);
  }
  EXPECT_EQ(BufferBytes(drawer->vertexBuffers[7]), kLineBytes);
  drawer->~TrackDrawer();
#if defined(__SANITIZE_ADDRESS__)
  ASAN_UNPOISON_MEMORY_REGION(guard, kGuardBytes);
#endif
  for (std::size_t i = 0; i < kGuardBytes; ++i) {
    ASSERT_EQ(guard[i], 0xA5) << "byte " << i << " after the object was written";
  }
}

// A track the app drops gives back the fourteen buffers and the program its
// drawer made.
TEST_F(GuideTrack, ADroppedTrackGivesBackItsBuffersAndProgram) {
  track_->Front(view_, proj_);
  const TrackDrawer* drawer = track_->drawer;
  std::vector<GLuint> buffers(drawer->vertexBuffers, drawer->vertexBuffers + 12);
  buffers.push_back(drawer->indexBuffer);
  buffers.push_back(drawer->texCoordBuffer);
  // A name is a buffer once it was bound: bind those no line needed yet.
  for (GLuint buffer : buffers) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    ASSERT_TRUE(glIsBuffer(buffer)) << buffer;
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  const GLuint program = static_cast<GLuint>(drawer->program);
  ASSERT_TRUE(glIsProgram(program));
  track_.reset();
  // The drawing left the program in use; it goes once another one is.
  glUseProgram(0);
  for (GLuint buffer : buffers) {
    EXPECT_FALSE(glIsBuffer(buffer)) << buffer;
  }
  EXPECT_FALSE(glIsProgram(program));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The drawer alone, in clip coordinates: in mode A the matrices given are
// replaced by the identity.
class TrackLine : public GuideTrack {
 protected:
  void Band(int slot, float width, float extraWidth) {
    TrackDrawer* drawer = track_->drawer;
    drawer->centerX = 0.0f;
    drawer->centerY = -0.5f;
    drawer->length = 1.0f;
    drawer->width = width;
    drawer->extraWidth = extraWidth;
    drawer->slot = slot;
    glClear(GL_COLOR_BUFFER_BIT);
    drawer->draw(offScreen_, offScreen_, 1);
  }
  // Pixel at clip x, y = 0.
  Rgba ClipPixel(float x) const {
    const int px = static_cast<int>((x + 1.0f) * 0.5f * kTestScreenWidth);
    return FramePixel(HostEglReadPixels(), px, kTestScreenHeight / 2);
  }
  void SetUp() override {
    GuideTrack::SetUp();
    LoadIdentityMatrix4x4(offScreen_);
    offScreen_[12] = 5.0f;  // moves everything far right of the screen
    scene_->carLength = 0;   // nothing to fold onto the car's end
  }
  float offScreen_[16];
};

TEST_F(TrackLine, ModeADrawsInClipCoordinatesWhateverTheMatrices) {
  scene_->trackModeA = 0;
  Band(1, 0.5f, 0.0f);
  EXPECT_TRUE(Near(ClipPixel(0.0f), 0, 0, 0));
  scene_->trackModeA = 1;
  Band(1, 0.5f, 0.0f);
  EXPECT_TRUE(Near(ClipPixel(0.0f), 0, 255, 0));
  EXPECT_TRUE(Near(ClipPixel(0.2f), 0, 255, 0));
  EXPECT_TRUE(Near(ClipPixel(0.3f), 0, 0, 0));
  // Without mode A the matrices are needed: none given, nothing drawn.
  scene_->trackModeA = 0;
  TrackDrawer* drawer = track_->drawer;
  glClear(GL_COLOR_BUFFER_BIT);
  drawer->draw(nullptr, nullptr, 1);
  EXPECT_TRUE(Near(ClipPixel(0.0f), 0, 0, 0));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TrackLine, ExtraSlotsUseTheExtraWidthAndTexture) {
  scene_->trackModeA = 1;
  scene_->trackExtraLines = 1;
  Band(7, 0.2f, 1.0f);
  EXPECT_TRUE(Near(ClipPixel(0.4f), 0, 0, 255));
  EXPECT_TRUE(Near(ClipPixel(-0.4f), 0, 0, 255));
  EXPECT_TRUE(Near(ClipPixel(0.6f), 0, 0, 0));
  scene_->trackExtraLines = 2;
  Band(7, 0.2f, 1.0f);
  EXPECT_TRUE(Near(ClipPixel(0.4f), 255, 0, 0));
  Band(1, 0.2f, 1.0f);
  EXPECT_TRUE(Near(ClipPixel(0.0f), 0, 255, 0));
  EXPECT_TRUE(Near(ClipPixel(0.4f), 0, 0, 0));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace

namespace {

TEST_F(GuideTrack, AppTakesTheFramesMatricesToLineUpItsLines) {
  for (int i = 0; i < 16; ++i) {
    scene_->viewMatrix[i] = static_cast<float>(i);
    scene_->projMatrix[i] = static_cast<float>(100 + i);
  }
  float view[16] = {};
  float proj[16] = {};
  ASSERT_EQ(AvmGetFrameMatrices(view, proj), 1);
  EXPECT_EQ(view[15], 15.0f);
  EXPECT_EQ(proj[3], 103.0f);
  EXPECT_EQ(AvmGetFrameMatrices(nullptr, proj), 0);
  EXPECT_EQ(AvmGetFrameMatrices(view, nullptr), 0);
}

}  // namespace
