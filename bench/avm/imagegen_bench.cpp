// The plate and tyre-panel generators, each against a baseline in the same
// run:
//
//   genTirePressure (one panel, both lines, icons)  vs  decoding its two
//                                                       sheets from their
//                                                       ".bin" bytes plus the
//                                                       PNG encode of an
//                                                       80 x 50 panel
//   genPlate (short text)                          vs  the same for the two
//                                                       plate sheets and an
//                                                       80 x 25 plate
//
// The baseline reads the files, puts the PNG signature back and decodes
// with every channel kept, which is the least any generator must do. Both
// generators run on the GL thread inside a frame, so their absolute times
// are printed as well as the ratios: a panel is composed once per changed
// tyre, a plate once per new plate text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "avm/include/avm_image_tools.h"
#include "bench/avm/ratio_reporter.h"

namespace {

std::string gRoot;  // asset root with its closing separator

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

cv::Mat DecodeConverted(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  if (bytes.size() >= 8) {
    std::memcpy(bytes.data(), "\x89PNG\r\n\x1a\n", 8);
  }
  return cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
}

void BareDecodeAndEncode(benchmark::State& state, const std::string& first, const std::string& second,
                         int width, int height, int type) {
  const cv::Mat output(height, width, type, cv::Scalar::all(90));
  for (auto _ : state) {
    const cv::Mat a = DecodeConverted(first);
    const cv::Mat b = DecodeConverted(second);
    std::vector<uint8_t> encoded;
    cv::imencode(".png", output, encoded);
    benchmark::DoNotOptimize(a.data);
    benchmark::DoNotOptimize(b.data);
    benchmark::DoNotOptimize(encoded.data());
  }
}

void BM_GenTirePressure(benchmark::State& state) {
  for (auto _ : state) {
    if (genTirePressure(245, 1, -12, 1, 3, 0, 0, 0) != 1) {
      state.SkipWithError("genTirePressure failed");
      break;
    }
  }
}
BENCHMARK(BM_GenTirePressure)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BarePressureSheetsDecodeAndEncode(benchmark::State& state) {
  BareDecodeAndEncode(state, gRoot + "common/pressure/background0.bin",
                      gRoot + "common/pressure/number0.bin", 80, 50, CV_8UC4);
}
BENCHMARK(BM_BarePressureSheetsDecodeAndEncode)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_GenPlate(benchmark::State& state) {
  for (auto _ : state) {
    if (genPlate(3, "KZ4711", 0) != 1) {
      state.SkipWithError("genPlate failed");
      break;
    }
  }
}
BENCHMARK(BM_GenPlate)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BarePlateSheetsDecodeAndEncode(benchmark::State& state) {
  BareDecodeAndEncode(state, gRoot + "common/plate/simple0.bin", gRoot + "common/plate/number0.bin", 80,
                      25, CV_8UC3);
}
BENCHMARK(BM_BarePlateSheetsDecodeAndEncode)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

bool Prepare(const std::string& dir) {
  namespace fs = std::filesystem;
  gRoot = dir + "/assets/";
  std::error_code error;
  fs::create_directories(gRoot + "common", error);
  const fs::path sample = fs::path(AVM_SAMPLE_ASSETS_DIR) / "common";
  fs::copy(sample / "plate", gRoot + "common/plate", fs::copy_options::recursive, error);
  fs::copy(sample / "pressure", gRoot + "common/pressure", fs::copy_options::recursive, error);
  ViewParam* scene = AllocateSceneState();
  if (error || scene == nullptr) {
    return false;
  }
  std::snprintf(scene->assetRoot, sizeof(scene->assetRoot), "%s", gRoot.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/avm_imagegen_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || !Prepare(dir)) {
    std::fprintf(stderr, "imagegen_bench: the glyph sheets could not be prepared\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("genTirePressure / bare decode + encode", "BM_GenTirePressure",
                      "BM_BarePressureSheetsDecodeAndEncode");
  reporter.PrintRatio("genPlate / bare decode + encode", "BM_GenPlate", "BM_BarePlateSheetsDecodeAndEncode");
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
