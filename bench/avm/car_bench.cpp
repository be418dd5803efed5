// Car packages and whole-car images, each against a baseline in the same run:
//
//   unpacking the sample package (UnpackFiles)   vs  `cp -r` of the same car
//                                                    directory (a process that
//                                                    copies the same files)
//   load_textureAll2 of one sample angle          vs  a bare cv::imread of the
//                                                    same file plus one
//                                                    glTexImage2D
//
// Both sides write or read the same bytes through the same page cache; the
// ratios are printed at the end. The loader should cost the same as the
// bare decode and upload (ratio near 1); unpacking should not be slower than
// a file copy.
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "avm/bridge/car_package.h"
#include "avm/bridge/car_selection.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/whole_car_sprites.h"
#include "bench/avm/ratio_reporter.h"
#include "host/egl/host_egl.h"

namespace {

std::string gRoot;  // asset root, with its closing separator
std::string gPackage;
std::string gCopyTarget;
constexpr int kAngle = 17;

void BM_UnpackSamplePackage(benchmark::State& state) {
  const std::string destination = gRoot + "/.tmp/";
  for (auto _ : state) {
    if (UnpackFiles(gPackage.c_str(), destination.c_str()) != 1) {
      state.SkipWithError("unpack failed");
      break;
    }
  }
}
BENCHMARK(BM_UnpackSamplePackage)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CopySampleTreeWithCp(benchmark::State& state) {
  const std::string command = "cp -r '" + std::string(AVM_SAMPLE_CAR_DIR) + "' '" + gCopyTarget + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
  }
}
BENCHMARK(BM_CopySampleTreeWithCp)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LoadTextureAll2OneAngle(benchmark::State& state) {
  const int texture = static_cast<int>(pViewParam->angleTextures[kAngle].texture);
  for (auto _ : state) {
    benchmark::DoNotOptimize(load_textureAll2(texture, kAngle));
    glFinish();
  }
}
BENCHMARK(BM_LoadTextureAll2OneAngle)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BareImreadAndTexImage(benchmark::State& state) {
  const std::string path = gRoot + ".tmp/demo/color/a/" + std::to_string(kAngle) + ".kes";
  const GLuint texture = pViewParam->angleTextures[kAngle].texture;
  for (auto _ : state) {
    const cv::Mat image = cv::imread(path, cv::IMREAD_UNCHANGED);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.cols, image.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.data);
    glFinish();
  }
}
BENCHMARK(BM_BareImreadAndTexImage)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

bool Prepare(const std::string& dir) {
  gRoot = dir + "/assets/";
  gCopyTarget = dir + "/copy";
  std::error_code error;
  std::filesystem::create_directories(gRoot + "common", error);
  std::filesystem::create_directories(gCopyTarget, error);
  gPackage = gRoot + "common/demo.car";
  std::filesystem::copy_file(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car", gPackage, error);
  if (error || !HostEglStart(1024, 600) || AvmInitialiseLibrary(gRoot.c_str()) != 1) {
    return false;
  }
  // Unpacked and selected once, without loading anything.
  return AvmSetCar("demo.car", 1) == 1 && AvmSetCar("demo", 2) == 1;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/avm_car_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || !Prepare(dir)) {
    std::fprintf(stderr, "car_bench: the sample car could not be prepared\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("unpack sample package / cp -r", "BM_UnpackSamplePackage",
                      "BM_CopySampleTreeWithCp");
  reporter.PrintRatio("load_textureAll2 / imread + glTexImage2D", "BM_LoadTextureAll2OneAngle",
                      "BM_BareImreadAndTexImage");
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
