// The car views on the sample car, each against a baseline in the same run:
//
//   one 3D frame at a state angle, every layer on,  vs  exactly the GL calls
//   state cache warm (AvmDraw)                          of that frame, issued
//                                                       directly
//   selecting the car with mode 10 (all 192 angles  vs  192 bare cv::imread
//   loaded at once)                                     plus glTexImage2D of
//                                                       the same files
//
// The GL context is Mesa's software rasteriser on the calling thread, so a
// frame's time is mostly the rasterising that both sides do alike; the
// difference of the two is the library's own CPU cost per frame.
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/sprite_quad.h"
#include "avm/sprites/sprite_image.h"
#include "avm/view/car_params.h"
#include "avm/view/frame_loop.h"
#include "bench/avm/ratio_reporter.h"
#include "host/egl/host_egl.h"

namespace {

std::string gRoot;
constexpr int kAngle = 130;

void RestAtStateAngleWithEveryLayer() {
  ViewParam* scene = pViewParam;
  scene->screenMode = 5;
  scene->spriteAngle = kAngle;
  scene->spriteAngleTarget = kAngle;
  scene->backgroundOn = 1;
  scene->backgroundMode = 0;
  scene->roadwayOn = 1;
  scene->laneOn = 1;
  scene->bottomShadowOn = 1;
  scene->volumeLightOn = 1;
  scene->lampState = -1;
  scene->vehicleSpeed.store(10001);
  // Warm the cache: a whole wheel and blink cycle composes all twelve slots.
  for (int frame = 0; frame < 48; ++frame) {
    AvmDraw();
  }
  glFinish();
}

void BM_3DFrameStateAngleAllLayers(benchmark::State& state) {
  RestAtStateAngleWithEveryLayer();
  for (auto _ : state) {
    benchmark::DoNotOptimize(AvmDraw());
    glFinish();
  }
}
BENCHMARK(BM_3DFrameStateAngleAllLayers)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// One textured quad with the picture program, as the layers draw them.
void BarePicture(const ViewParam* s, GLuint texture, const float* mvp, const float* quad,
                 const float* texcoords) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glUseProgram(s->pictureProgram);
  glUniform1i(s->picturePictureFlagLoc, 1);
  glUniform1f(s->pictureLumaAllLoc, 0.0f);
  glUniform1i(s->pictureSamplerLoc, 0);
  glUniformMatrix4fv(s->pictureMatProjLoc, 1, GL_FALSE, mvp);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glVertexAttribPointer(s->picturePositionLoc, 3, GL_FLOAT, GL_FALSE, 0, quad);
  glEnableVertexAttribArray(s->picturePositionLoc);
  glVertexAttribPointer(s->pictureTexCoordLoc, 2, GL_FLOAT, GL_FALSE, 0, texcoords);
  glEnableVertexAttribArray(s->pictureTexCoordLoc);
  glDrawElements(GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_SHORT, kQuadIndices);
  glDisableVertexAttribArray(s->picturePositionLoc);
  glDisableVertexAttribArray(s->pictureTexCoordLoc);
}

// The frame above, call for call, with every number computed beforehand.
void BM_BareGl3DFrame(benchmark::State& state) {
  RestAtStateAngleWithEveryLayer();
  const ViewParam* s = pViewParam;
  float mvp[16];
  MultMatrix4x4(mvp, s->viewMatrix, s->projMatrix);
  std::vector<std::vector<float>> road;
  for (int tile = 0; tile < 25; ++tile) {
    const float y = -22500.0f + tile * 2200.0f;
    road.push_back({555, y + 2200, 0, 555, y, 0, -555, y + 2200, 0, -555, y, 0});
  }
  std::vector<std::vector<float>> lanes;
  for (int tile = 0; tile < 18; ++tile) {
    const float y = -19800.0f + tile * 2200.0f;
    lanes.push_back({555, y + 2200, 0, 555, y, 0, -555, y + 2200, 0, -555, y, 0});
  }
  const float hw = s->carWidth * 0.5f;
  const float hl = s->carLength * 0.5f;
  const float shadow[12] = {hw, hl, 0, hw, -hl, 0, -hw, hl, 0, -hw, -hl, 0};
  const float tex[8] = {0, 0.25f, 0, 1.0f, 1, 0.25f, 1, 1.0f};
  float car[12];
  WholeCarSpriteQuad(s, carCordCur[kAngle], SpriteEdges::kHalfPixelFurther, car);
  const GLuint carTexture = s->frameTextures[0][0];
  for (auto _ : state) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(static_cast<GLint>(s->mainViewport[0]), static_cast<GLint>(s->mainViewport[1]),
               static_cast<GLsizei>(s->mainViewport[2]), static_cast<GLsizei>(s->mainViewport[3]));
    BarePicture(s, s->backgroundTexture, MyIdentityMatrix, kFullScreenQuad, kSpriteTexCoords);
    for (const auto& quad : road) {
      BarePicture(s, s->roadwayTexture, mvp, quad.data(), tex);
    }
    for (const auto& quad : lanes) {
      BarePicture(s, s->laneTexture, mvp, quad.data(), tex);
    }
    BarePicture(s, s->carBottomTexture, mvp, shadow, kPlainTexCoords);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(s->carProgram);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, carTexture);
    glUniform1i(s->carTextureLoc, 0);
    glUniform1i(s->carPkmFlagLoc, 0);
    glUniformMatrix4fv(s->carMatrixLoc, 1, GL_FALSE, MyIdentityMatrix);
    glUniform1i(s->carAlphaFlagLoc, 1);
    glUniform1f(s->carAlphaValueLoc, 1.0f);
    glVertexAttribPointer(s->carPositionLoc, 3, GL_FLOAT, GL_FALSE, 0, car);
    glEnableVertexAttribArray(s->carPositionLoc);
    glVertexAttribPointer(s->carCoordLoc, 2, GL_FLOAT, GL_FALSE, 0, kSpriteTexCoords);
    glEnableVertexAttribArray(s->carCoordLoc);
    glDrawElements(GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_SHORT, kQuadIndices);
    glDisableVertexAttribArray(s->carPositionLoc);
    glDisableVertexAttribArray(s->carCoordLoc);
    glFinish();
  }
}
BENCHMARK(BM_BareGl3DFrame)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_SelectCarMode10(benchmark::State& state) {
  for (auto _ : state) {
    if (AvmSetCar("demo", 10) != 1) {
      state.SkipWithError("selection failed");
      break;
    }
    glFinish();
  }
}
BENCHMARK(BM_SelectCarMode10)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Bare192DecodesAndUploads(benchmark::State& state) {
  std::vector<std::string> paths;
  for (int angle = 0; angle < kSpriteAngles; ++angle) {
    paths.push_back(gRoot + ".tmp/demo/color/a/" + std::to_string(angle) + ".kes");
  }
  for (auto _ : state) {
    for (int angle = 0; angle < kSpriteAngles; ++angle) {
      const cv::Mat image = cv::imread(paths[angle], cv::IMREAD_UNCHANGED);
      glBindTexture(GL_TEXTURE_2D, pViewParam->angleTextures[angle].texture);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.cols, image.rows, 0, GL_RGBA,
                   GL_UNSIGNED_BYTE, image.data);
    }
    glFinish();
  }
}
BENCHMARK(BM_Bare192DecodesAndUploads)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMillisecond);

bool Prepare(const std::string& dir) {
  gRoot = dir + "/assets/";
  std::error_code error;
  std::filesystem::create_directories(gRoot + "common", error);
  std::filesystem::copy_file(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car",
                             gRoot + "common/demo.car", error);
  if (!HostEglStart(1024, 600) || AvmInitialiseLibrary(gRoot.c_str()) != 1) {
    return false;
  }
  // The app loads the layer pictures through Java; without it the benchmark
  // uploads them itself, so that both sides sample real pictures.
  const ViewParam* scene = pViewParam;
  const struct {
    const char* name;
    uint32_t texture;
  } layers[] = {{"background1.png", scene->backgroundTexture},
                {"roadway1.png", scene->roadwayTexture},
                {"lane1.png", scene->laneTexture},
                {"car_bottom1.png", scene->carBottomTexture}};
  for (const auto& layer : layers) {
    const std::string path = std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/" + layer.name;
    UploadSpriteImage(static_cast<int>(layer.texture), DecodeSpriteImage(path.c_str()));
  }
  return AvmSetCar("demo.car", 1) == 1 && AvmSetCar("demo", 2) == 1;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/avm_car_view_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || !Prepare(dir)) {
    std::fprintf(stderr, "car_view_bench: the sample car could not be prepared\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("3D frame at a state angle / bare GL calls", "BM_3DFrameStateAngleAllLayers",
                      "BM_BareGl3DFrame");
  // The rasteriser's own threads do the pixel work; the calling thread's CPU
  // time is what the library and the GL calls cost on the GL thread.
  const double library = reporter.CpuSeconds("BM_3DFrameStateAngleAllLayers");
  const double bare = reporter.CpuSeconds("BM_BareGl3DFrame");
  if (library > 0.0 && bare > 0.0) {
    std::printf("GL thread CPU per 3D frame: library %.1f us, bare GL %.1f us, ratio %.3f\n",
                library * 1e6, bare * 1e6, library / bare);
  }
  reporter.PrintRatio("select with mode 10 / 192 bare decodes+uploads", "BM_SelectCarMode10",
                      "BM_Bare192DecodesAndUploads");
  std::printf("select with mode 10: %.1f ms on this machine\n",
              reporter.Seconds("BM_SelectCarMode10") * 1e3);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
