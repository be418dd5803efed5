// An app whose Java callback handlers call the renderer again, on the GL
// thread, from inside the renderer's own frame: the notification at the end
// of a view animation and a picture load both run a handler that draws the
// radar, builds and draws a guide track, sends a command through AVM.SetCmd
// and asks for a frame through AVM.Draw. Everything but the frame inside the
// frame works there; that one is refused with one line. Before, the first
// of these calls waited for the lock its own thread held, for ever (the
// test program's time limit ends such a run).
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/shader_programs.h"
#include "avm/include/avm_radar.h"
#include "avm/include/avm_track.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

// What the handler saw, by the frame that called it.
struct HandlerRun {
  int calls = 0;
  int litRadarPixels = 0;
  GLint trackLineBytes = -1;
  int commandResult = -100;
  int nestedDrawResult = -100;
};

bool gInFrame = false;
HandlerRun gRun;
float gView[16];
float gProj[16];

int LitPixels(const std::vector<uint8_t>& frame) {
  int lit = 0;
  for (std::size_t i = 0; i + 3 < frame.size(); i += 4) {
    lit += frame[i] + frame[i + 1] + frame[i + 2] > 0 ? 1 : 0;
  }
  return lit;
}

// The app's handler (AVM.callbackHook): runs on the GL thread, inside the
// frame's call into Java.
void JNICALL AppHandler(JNIEnv* env, jclass avm, jint) {
  if (!gInFrame) {
    return;
  }
  ++gRun.calls;
  // The radar around the car, through matrices that bring it on screen.
  ViewParam* scene = pViewParam;
  std::copy(gView, gView + 16, scene->viewMatrix);
  std::copy(gProj, gProj + 16, scene->projMatrix);
  glViewport(0, 0, kTestScreenWidth, kTestScreenHeight);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  for (int i = 0; i < 4; ++i) {
    scene->radarGroup1[i] = 2;
  }
  DrawRadarStatic();
  gRun.litRadarPixels = std::max(gRun.litRadarPixels, LitPixels(HostEglReadPixels()));
  {
    AvmTrack track;
    track.Front(gView, gProj);
    if (track.drawer != nullptr) {
      gRun.trackLineBytes = BufferBytes(track.drawer->vertexBuffers[0]);
    }
  }
  const jmethodID setCmd = env->GetStaticMethodID(avm, "SetCmd", "(II)I");
  gRun.commandResult = env->CallStaticIntMethod(avm, setCmd, 68, 1);
  const jmethodID draw = env->GetStaticMethodID(avm, "Draw", "([I)I");
  gRun.nestedDrawResult = env->CallStaticIntMethod(avm, draw, nullptr);
}

class ReentrantApp : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = StartJavaRenderer();
    root_ = MakeAssetRoot(dir_.path());
    ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
    const JNINativeMethod hook = {const_cast<char*>("callbackHook"), const_cast<char*>("(I)V"),
                                  reinterpret_cast<void*>(AppHandler)};
    ASSERT_EQ(env_->RegisterNatives(gBridge.avmClass, &hook, 1), JNI_OK);
    // Nine red radar pictures (the handler puts a level on every sensor of
    // the front).
    GLuint names[9] = {};
    CreateTexture(names, 9);
    const uint8_t red[16] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
    for (GLuint name : names) {
      glBindTexture(GL_TEXTURE_2D, name);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, red);
    }
    ASSERT_EQ(AvmSetRadarTextures(names, 9), 1);
    pViewParam->radarInputMode = 0;
    LoadIdentityMatrix4x4(gProj);
    LoadIdentityMatrix4x4(gView);
    ScaleMatrix4x4(gView, 1.0f / 600.0f, 1.0f / 600.0f, 1.0f / 600.0f);
    SetJavaSwitch("hookInCallbacks", true);
    TakeNotifications();
    TakeLoadRequests();
  }
  void TearDown() override { SetJavaSwitch("hookInCallbacks", false); }

  // One frame of the app, with its handler armed.
  int Frame() {
    gRun = HandlerRun{};
    gInFrame = true;
    const std::vector<int> camera = {0};
    const int result = JavaDraw(&camera);
    gInFrame = false;
    return result;
  }

  void ExpectTheHandlerWorked(const char* callback) {
    EXPECT_GE(gRun.calls, 1) << callback;
    EXPECT_GT(gRun.litRadarPixels, 0) << callback << ": the radar drew nothing";
    EXPECT_EQ(gRun.trackLineBytes, 102 * 3 * 4) << callback << ": the track drew no line";
    EXPECT_EQ(gRun.commandResult, 1) << callback;
    EXPECT_EQ(pViewParam->radarInputMode, 1) << callback << ": the command did not take effect";
    EXPECT_EQ(gRun.nestedDrawResult, 0) << callback << ": a frame inside the frame";
    pViewParam->radarInputMode = 0;
  }

  JNIEnv* env_ = nullptr;
  TempDir dir_;
  std::string root_;
};

TEST_F(ReentrantApp, HandlersCallingTheRendererFromInsideTheFrameWork) {
  LogCapture log;
  // The end of a view animation, notified by the frame (code 161).
  pViewParam->screenMode = 12;
  pViewParam->animationNotify = 1;
  ASSERT_EQ(Frame(), 1);
  EXPECT_EQ(TakeNotifications(), std::vector<int>{161});
  ExpectTheHandlerWorked("notification");

  // A picture load of the frame (the background asked for again).
  pViewParam->backgroundLoaded = 0;
  ASSERT_EQ(Frame(), 1);
  EXPECT_FALSE(TakeLoadRequests().empty());
  ExpectTheHandlerWorked("picture load");

  EXPECT_EQ(log.Count("KESTRA", "---------Draw:called from inside a call into Java, refused"), 1);
  // The frame gave the lock back: another thread takes it at once.
  EXPECT_TRUE(SceneLockFreeForOthers());
}

}  // namespace
