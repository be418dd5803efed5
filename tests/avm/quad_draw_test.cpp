// The generic quads and the logo screen, drawn into the real context and
// read back.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/scene_layers.h"
#include "avm/gl/shader_programs.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/log_capture.h"

namespace {

class QuadDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    scene_ = AllocateSceneState();
    ASSERT_NE(scene_, nullptr);
    BuildScenePrograms();
    glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  // A texture holding the quadrant picture (rows top first, as Java uploads).
  GLuint QuadrantTexture(int width, int height) {
    const cv::Mat bgr = QuadrantPicture(width, height);
    cv::Mat rgba;
    cv::cvtColor(bgr, rgba, cv::COLOR_BGR2RGBA);
    GLuint name = 0;
    CreateTexture(&name, 1);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data);
    return name;
  }

  // Red, green, blue, white at the centres of the four quadrants of the screen.
  void ExpectQuadrants(const std::vector<uint8_t>& frame, int offset) {
    const int w = kTestScreenWidth;
    const int h = kTestScreenHeight;
    EXPECT_TRUE(Near(FramePixel(frame, w / 4, h / 4), 255, offset, offset));
    EXPECT_TRUE(Near(FramePixel(frame, 3 * w / 4, h / 4), offset, 255, offset));
    EXPECT_TRUE(Near(FramePixel(frame, w / 4, 3 * h / 4), offset, offset, 255));
    EXPECT_TRUE(Near(FramePixel(frame, 3 * w / 4, 3 * h / 4), 255, 255, 255));
  }

  ViewParam* scene_ = nullptr;
};

TEST_F(QuadDraw, PictureWithSpriteCoordinatesShowsImageRowZeroOnTop) {
  const GLuint texture = QuadrantTexture(64, 64);
  DrawPicture(texture, GetIdentityMatrix4x4(), kFullScreenQuad, kSpriteTexCoords);
  ExpectQuadrants(HostEglReadPixels(), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(QuadDraw, PictureLeavesBlendingOnAndNothingBound) {
  const GLuint texture = QuadrantTexture(8, 8);
  glDisable(GL_BLEND);
  DrawPicture(texture, GetIdentityMatrix4x4(), kFullScreenQuad, kPlainTexCoords);
  EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
  GLint value = -1;
  glGetIntegerv(GL_BLEND_SRC_RGB, &value);
  EXPECT_EQ(value, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST_RGB, &value);
  EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &value);
  EXPECT_EQ(value, 0);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &value);
  EXPECT_EQ(value, 0);
  for (GLint location : {scene_->picturePositionLoc, scene_->pictureTexCoordLoc}) {
    GLint enabled = -1;
    glGetVertexAttribiv(static_cast<GLuint>(location), GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
    EXPECT_EQ(enabled, GL_FALSE);
  }
  // Plain coordinates put image row 0 at the bottom.
  const std::vector<uint8_t> frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, kTestScreenWidth / 4, 3 * kTestScreenHeight / 4), 255, 0, 0));
}

TEST_F(QuadDraw, ColorQuadIsOpaqueGreyInsideItsCorners) {
  // A quad over the left half of the clip square.
  const float leftHalf[12] = {-1, -1, 0, -1, 1, 0, 0, -1, 0, 0, 1, 0};
  DrawColor(0.5f, GetIdentityMatrix4x4(), leftHalf);
  const std::vector<uint8_t> frame = HostEglReadPixels();
  const Rgba inside = FramePixel(frame, kTestScreenWidth / 4, kTestScreenHeight / 2);
  EXPECT_TRUE(Near(inside, 128, 128, 128, 1));
  EXPECT_EQ(inside.a, 255);
  EXPECT_TRUE(Near(FramePixel(frame, 3 * kTestScreenWidth / 4, kTestScreenHeight / 2), 0, 0, 0));
  EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
}

TEST_F(QuadDraw, LogoFillsTheViewportAndTakesItsBrightness) {
  scene_->logoTexture = QuadrantTexture(128, 96);
  scene_->logoLoaded = 1;
  scene_->logoLuma = 0.0f;
  DrawLogo();
  ExpectQuadrants(HostEglReadPixels(), 0);
  GLint program = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, 0);

  // Command 64 at 90 gives +0.2: every channel rises by about 51.
  scene_->logoLuma = ((90 - 50) * 0.5f) / 100.0f;
  DrawLogo();
  ExpectQuadrants(HostEglReadPixels(), 51);
}

TEST_F(QuadDraw, LogoLeavesTheBlendStateAlone) {
  scene_->logoTexture = QuadrantTexture(8, 8);
  scene_->logoLoaded = 1;
  glDisable(GL_BLEND);
  DrawLogo();
  EXPECT_EQ(glIsEnabled(GL_BLEND), GL_FALSE);
  glEnable(GL_BLEND);
  DrawLogo();
  EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
}

TEST_F(QuadDraw, MissingLogoIsTriedOnceThenDrawnEmpty) {
  // Without a Java VM the load cannot happen; the logo is marked loaded all
  // the same so the frame does not retry it every time.
  LogCapture log;
  scene_->logoLoaded = 0;
  DrawLogo();
  EXPECT_EQ(scene_->logoLoaded, 1);
  EXPECT_EQ(log.Count("KESTRA", "-------------LoadTextureFunc,_jniEnv:NULL"), 1);
  DrawLogo();
  EXPECT_EQ(log.Count("KESTRA", "-------------LoadTextureFunc,_jniEnv:NULL"), 1);
}

}  // namespace
