// Cost of one draw call on the library's side, and the accuracy of the
// frame pacing.
//
// The draw call is timed through its JNI entry point, inside a real Java VM,
// drawing the logo screen into a headless GL context, with the pacing sleep
// routed to a no-op. The same GL calls issued directly, without the library
// around them, are the baseline of the same run: the difference is what the
// library itself costs per frame (array access, lock, pacing decision,
// pending reloads, animation, error check), the ratio says how that compares
// with the GL work the frame has to submit anyway. Both loops finish the GL
// work of every frame (glFinish), so the driver's queue never grows.
//
// Pacing: 250 frames with the real clock and the real sleep, measuring the
// time from the start of one draw call to the start of the next, on the
// normal path (40 ms) and on the paced path of the 3D view at 50 frames per
// second (20 ms).
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>
#include <jni.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "avm/bridge/avm_jni.h"
#include "avm/bridge/frame_clock.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

JNIEnv* gEnv = nullptr;
jclass gAvm = nullptr;
jintArray gNoCamera = nullptr;

void NoSleep(uint32_t) {}

void UseRealClock() { gFrameClock = FrameClock{GetTickCount, SleepMilliseconds}; }
void UseClockWithoutSleep() { gFrameClock = FrameClock{GetTickCount, NoSleep}; }

void SetScreenMode(int mode) {
  jmethodID setCmd = gEnv->GetStaticMethodID(gAvm, "SetCmd", "(II)I");
  gEnv->CallStaticIntMethod(gAvm, setCmd, 0, mode);
  HostJvmTakeException(gEnv);
}

void BM_DrawCallLogoScreen(benchmark::State& state) {
  UseClockWithoutSleep();
  SetScreenMode(20);
  pViewParam->carViewActive = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Java_com_kestra_avm_AVM_Draw(gEnv, gAvm, gNoCamera));
    glFinish();
  }
  UseRealClock();
}
BENCHMARK(BM_DrawCallLogoScreen)->MinTime(2.0)->UseRealTime();

// The same frame behind the JNI entry: without the Java array access, which
// the embedded VM checks (-Xcheck:jni) and so makes dearer than on a device.
void BM_DrawFrameLogoScreenWithoutJni(benchmark::State& state) {
  UseClockWithoutSleep();
  SetScreenMode(20);
  pViewParam->carViewActive = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(AvmDrawFrame(-1));
    glFinish();
  }
  UseRealClock();
}
BENCHMARK(BM_DrawFrameLogoScreenWithoutJni)->MinTime(2.0)->UseRealTime();

// Exactly the GL calls of one logo frame, without the library.
void BM_BareGlLogoFrame(benchmark::State& state) {
  const ViewParam* scene = pViewParam;
  for (auto _ : state) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, scene->screenWidth, scene->screenHeight);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, scene->logoTexture);
    glUseProgram(scene->pictureProgram);
    glUniform1i(scene->picturePictureFlagLoc, 0);
    glUniform1f(scene->pictureLumaAllLoc, 0.0f);
    glUniform1i(scene->pictureSamplerLoc, 0);
    glUniformMatrix4fv(scene->pictureMatProjLoc, 1, GL_FALSE, MyIdentityMatrix);
    DrawQuadStrip(scene->picturePositionLoc, kFullScreenQuad, scene->pictureTexCoordLoc,
                  kSpriteTexCoords);
    glUseProgram(0);
    benchmark::DoNotOptimize(glGetError());
    glFinish();
  }
}
BENCHMARK(BM_BareGlLogoFrame)->MinTime(2.0)->UseRealTime();

// A frame without camera picture outside the logo screen draws nothing: the
// library's side alone (plus one glGetError).
void BM_DrawCallNothingToDraw(benchmark::State& state) {
  UseClockWithoutSleep();
  SetScreenMode(0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Java_com_kestra_avm_AVM_Draw(gEnv, gAvm, gNoCamera));
  }
  UseRealClock();
}
BENCHMARK(BM_DrawCallNothingToDraw)->MinTime(2.0);

void BM_DrawFrameNothingToDrawWithoutJni(benchmark::State& state) {
  UseClockWithoutSleep();
  SetScreenMode(0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(AvmDrawFrame(-1));
  }
  UseRealClock();
}
BENCHMARK(BM_DrawFrameNothingToDrawWithoutJni)->MinTime(2.0);

// The baseline of the one above: one glGetError, the only GL call it makes.
void BM_BareGlGetError(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(glGetError());
  }
}
BENCHMARK(BM_BareGlGetError)->MinTime(2.0);

void MeasurePacing(benchmark::State& state, bool paced3DView) {
  UseRealClock();
  SetScreenMode(20);
  pViewParam->carViewActive = paced3DView ? 1 : 0;
  pViewParam->frameRate = 50;
  const double target = paced3DView ? 20.0 : 40.0;
  for (auto _ : state) {
    std::vector<double> periods;
    auto previous = std::chrono::steady_clock::now();
    Java_com_kestra_avm_AVM_Draw(gEnv, gAvm, gNoCamera);
    for (int frame = 0; frame < 250; ++frame) {
      Java_com_kestra_avm_AVM_Draw(gEnv, gAvm, gNoCamera);
      const auto now = std::chrono::steady_clock::now();
      periods.push_back(std::chrono::duration<double, std::milli>(now - previous).count());
      previous = now;
    }
    double sum = 0.0;
    for (double period : periods) {
      sum += period;
    }
    const double mean = sum / static_cast<double>(periods.size());
    std::vector<double> sorted = periods;
    std::sort(sorted.begin(), sorted.end());
    const double worst = sorted.back();
    state.counters["median_period_ms"] = sorted[sorted.size() / 2];
    state.counters["p95_period_ms"] = sorted[sorted.size() * 95 / 100];
    state.counters["mean_period_ms"] = mean;
    state.counters["worst_frame_ms"] = worst;
    state.counters["mean_over_target"] = mean / target;
    state.counters["worst_over_target"] = worst / target;
  }
  pViewParam->carViewActive = 0;
}

void BM_PacingNormalPath250Frames(benchmark::State& state) { MeasurePacing(state, false); }
BENCHMARK(BM_PacingNormalPath250Frames)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PacingPaced3DView250Frames(benchmark::State& state) { MeasurePacing(state, true); }
BENCHMARK(BM_PacingPaced3DView250Frames)->Iterations(1)->Unit(benchmark::kMillisecond);

bool StartRenderer(const std::string& root) {
  gEnv = HostJvmEnv({"-Dcom.kestra.avm.lib=avm_testable", "-Djava.awt.headless=true"});
  if (gEnv == nullptr || !HostEglStart(1024, 600)) {
    return false;
  }
  mkdir(root.c_str(), 0755);
  mkdir((root + "common").c_str(), 0755);
  cv::Mat logo(600, 1024, CV_8UC3, cv::Scalar(90, 60, 30));
  cv::circle(logo, cv::Point(512, 300), 200, cv::Scalar(255, 255, 255), 20);
  if (!cv::imwrite(root + "common/logo.png", logo)) {
    return false;
  }
  jclass local = gEnv->FindClass("com/kestra/avm/AVM");
  if (local == nullptr) {
    return false;
  }
  gAvm = static_cast<jclass>(gEnv->NewGlobalRef(local));
  jmethodID initialise = gEnv->GetStaticMethodID(gAvm, "initialise", "(Ljava/lang/String;)I");
  jstring path = gEnv->NewStringUTF(root.c_str());
  if (gEnv->CallStaticIntMethod(gAvm, initialise, path) != 1) {
    return false;
  }
  if (gEnv->ExceptionCheck()) {
    return false;
  }
  gNoCamera = static_cast<jintArray>(gEnv->NewGlobalRef(gEnv->NewIntArray(1)));
  const jint none = -1;
  gEnv->SetIntArrayRegion(gNoCamera, 0, 1, &none);
  return !gEnv->ExceptionCheck();
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/avm_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || !StartRenderer(std::string(dir) + "/")) {
    std::fprintf(stderr, "draw_bench: the renderer did not start\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
