// Composed state images against a bare decode and upload of their base
// image in the same run:
//
//   load_textureLR at 130 (base, both wheels of a frame,   vs  cv::imread of
//   the indicator lamp: three overlays)                        color/a/130.kes
//                                                              + glTexImage2D
//   the same in blink phase 0 (wheels only)               vs  the same
//   load_texture_top for flags 1 1 0 0 (left half of          vs  cv::imread of
//   top1000 joined onto top0100)                               top0100 + upload
//
// The target for a state image is at most 1.3 times its base. Decoding
// is nearly all of the time, and a PNG costs about the same per pixel
// whatever it holds, so an overlay costs in proportion to its area: the
// sample's wheels are small, its lamp image (186 x 167, mostly clear) is a
// third of the base's area. The top view join decodes two whole pictures
// and so costs at least two bases.
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/state_sprites.h"
#include "host/egl/host_egl.h"
#include "bench/avm/ratio_reporter.h"

namespace {

const std::filesystem::path kSampleCar = AVM_SAMPLE_CAR_DIR;
GLuint gTexture = 0;

void Upload(const cv::Mat& image) {
  glBindTexture(GL_TEXTURE_2D, gTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.cols, image.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               image.data);
  glFinish();
}

void BM_ComposeSideView130(benchmark::State& state) {
  std::memset(pViewParam->doorOpen, 0, sizeof(pViewParam->doorOpen));
  pViewParam->steerAngle = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(load_textureLR(0, 3, 1, static_cast<int>(gTexture)));
    glFinish();
  }
}
BENCHMARK(BM_ComposeSideView130)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Blink phase 0: the wheels alone, as in half of the slots and in every
// slot while no indicator blinks.
void BM_ComposeSideView130Dark(benchmark::State& state) {
  std::memset(pViewParam->doorOpen, 0, sizeof(pViewParam->doorOpen));
  pViewParam->steerAngle = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(load_textureLR(0, 3, 0, static_cast<int>(gTexture)));
    glFinish();
  }
}
BENCHMARK(BM_ComposeSideView130Dark)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BareBase130(benchmark::State& state) {
  const std::string path = (kSampleCar / "color/a/130.kes").string();
  for (auto _ : state) {
    Upload(cv::imread(path, cv::IMREAD_UNCHANGED));
  }
}
BENCHMARK(BM_BareBase130)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ComposeTopJoin1100(benchmark::State& state) {
  std::memset(pViewParam->doorOpen, 0, sizeof(pViewParam->doorOpen));
  pViewParam->doorOpen[0] = 1;
  pViewParam->doorOpen[1] = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(load_texture_top(static_cast<int>(gTexture)));
    glFinish();
  }
}
BENCHMARK(BM_ComposeTopJoin1100)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BareBaseTop0100(benchmark::State& state) {
  const std::string path = (kSampleCar / "color/top/top0100.kes").string();
  for (auto _ : state) {
    Upload(cv::imread(path, cv::IMREAD_UNCHANGED));
  }
}
BENCHMARK(BM_BareBaseTop0100)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// An asset root whose car area is the kit's car directory, the car selected
// without loading anything (its position tables read).
bool Prepare(const std::string& dir) {
  const std::string root = dir + "/assets/";
  std::error_code error;
  std::filesystem::create_directories(root + "common", error);
  if (error || symlink(kSampleCar.parent_path().c_str(), (root + ".tmp").c_str()) != 0 ||
      !HostEglStart(1024, 600) || AvmInitialiseLibrary(root.c_str()) != 1 ||
      AvmSetCar(kSampleCar.filename().c_str(), 0) != 1) {
    return false;
  }
  glGenTextures(1, &gTexture);
  return gTexture != 0;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/avm_state_sprite_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || !Prepare(dir)) {
    std::fprintf(stderr, "state_sprite_bench: the sample car could not be prepared\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("load_textureLR 130 / imread + glTexImage2D", "BM_ComposeSideView130",
                      "BM_BareBase130");
  reporter.PrintRatio("load_textureLR 130 dark / imread + glTexImage2D",
                      "BM_ComposeSideView130Dark", "BM_BareBase130");
  reporter.PrintRatio("load_texture_top join / imread + glTexImage2D", "BM_ComposeTopJoin1100",
                      "BM_BareBaseTop0100");
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
