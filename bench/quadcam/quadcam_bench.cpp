// quadcam speed as ratios against one memcpy of the same bytes, measured in
// the same run with the caches flushed before every repetition (a camera
// frame arrives from memory, not from cache):
//   compose   one complete set of four 1920x1080 NV21 frames into the mosaic
//             vs memcpy of the 12,441,600-byte mosaic (target <= 1.5);
//   opencv    the same set through cv::Mat::copyTo into rectangle views,
//             for reference;
//   window    the worker's copy of the mosaic into one window buffer vs
//             memcpy of the same bytes (target <= 1.1);
//   set       the whole set as the worker meets it: compose, then fill the
//             preview and the record window from one read of the mosaic,
//             vs memcpy of the mosaic (target <= 1.7), and the same set
//             with each window copied on its own, which it must beat;
// and the heap allocations per composed set of the whole pipeline (cameras,
// readers, composition, worker, two windows) in steady state (target 0).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <media/NdkImage.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

#include "host_platform/host_platform.h"
#include "quadcam/camera_session.h"
#include "quadcam/frame_composition.h"
#include "quadcam/output_worker.h"
#include "quadcam/qcam_state.h"

// Heap allocations are counted by replacing the C allocator of the process;
// the sanitizers bring their own, so there the count is left out.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define QCAM_COUNT_ALLOCATIONS 1
std::atomic<bool> gCounting{false};
std::atomic<uint64_t> gAllocations{0};
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size) {
  if (gCounting.load(std::memory_order_relaxed)) {
    ++gAllocations;
  }
  return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
  if (gCounting.load(std::memory_order_relaxed)) {
    ++gAllocations;
  }
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
  if (gCounting.load(std::memory_order_relaxed)) {
    ++gAllocations;
  }
  return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
  if (gCounting.load(std::memory_order_relaxed)) {
    ++gAllocations;
  }
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* p = memalign(alignment, size);
  if (p == nullptr) {
    return ENOMEM;
  }
  *out = p;
  return 0;
}
void free(void* p) { __libc_free(p); }
}
#endif

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr size_t kMosaicBytes = 6u * kW * kH;  // 12,441,600

// Evicts a buffer from every cache level.
void Flush(const void* data, size_t bytes) {
#if defined(__x86_64__) || defined(__i386__)
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < bytes; i += 64) {
    _mm_clflush(p + i);
  }
  _mm_mfence();
#else
  static std::vector<uint8_t> sweep(64u << 20);
  for (size_t i = 0; i < sweep.size(); i += 64) {
    sweep[i] = static_cast<uint8_t>(sweep[i] + 1);
  }
  benchmark::DoNotOptimize(sweep.data());
  (void)data;
  (void)bytes;
#endif
}

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Four camera frames laid out as a camera buffer: luma rows, then V/U pairs.
struct CameraFrames {
  std::vector<uint8_t> storage[4];
  CameraImage images[4];
  CameraFrames() {
    for (int k = 0; k < 4; ++k) {
      storage[k].resize(kMosaicBytes / 4);
      for (size_t i = 0; i < storage[k].size(); ++i) {
        storage[k][i] = static_cast<uint8_t>(i * 7 + k);
      }
      CameraImage& im = images[k];
      im.width = kW;
      im.height = kH;
      im.format = AIMAGE_FORMAT_YUV_420_888;
      im.planeCount = 3;
      uint8_t* base = storage[k].data();
      im.planes[0] = {base, kW * kH, kW, 1};
      im.planes[2] = {base + kW * kH, kW * kH / 2 - 1, kW, 2};
      im.planes[1] = {base + kW * kH + 1, kW * kH / 2 - 1, kW, 2};
    }
  }
  void FlushAll() const {
    for (const auto& s : storage) {
      Flush(s.data(), s.size());
    }
  }
};

void BM_MemcpyMosaic(benchmark::State& state) {
  std::vector<uint8_t> src(kMosaicBytes, 3);
  std::vector<uint8_t> dst(kMosaicBytes, 0);
  for (auto _ : state) {
    Flush(src.data(), src.size());
    Flush(dst.data(), dst.size());
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(dst.data(), src.data(), kMosaicBytes);
    state.SetIterationTime(Seconds(start));
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMosaicBytes));
}

void BM_ComposeSet(benchmark::State& state) {
  CameraFrames frames;
  ResetComposition(kW, kH, AIMAGE_FORMAT_YUV_420_888);
  for (auto _ : state) {
    frames.FlushAll();
    Flush(dstComb.data, kMosaicBytes);
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 4; ++k) {
      ComposeCameraImage(kW, kH, k, frames.images[k]);
    }
    state.SetIterationTime(Seconds(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMosaicBytes));
}

void BM_ComposeSetOpenCvRows(benchmark::State& state) {
  CameraFrames frames;
  cv::Mat mosaic = cv::Mat::zeros(3 * kH, 2 * kW, CV_8UC1);
  for (auto _ : state) {
    frames.FlushAll();
    Flush(mosaic.data, kMosaicBytes);
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 4; ++k) {
      uint8_t* data = frames.storage[k].data();
      cv::Mat luma(kH, kW, CV_8UC1, data);
      cv::Mat chroma(kH / 2, kW, CV_8UC1, data + kW * kH);
      luma.copyTo(mosaic(cv::Rect((k & 1) * kW, (k >> 1) * kH, kW, kH)));
      chroma.copyTo(mosaic(cv::Rect((k & 1) * kW, 2 * kH + (k >> 1) * (kH / 2), kW, kH / 2)));
    }
    state.SetIterationTime(Seconds(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMosaicBytes));
}

void BM_WindowCopy(benchmark::State& state) {
  const int stridePadding = static_cast<int>(state.range(0));
  cv::Mat picture(3 * kH, 2 * kW, CV_8UC1, cv::Scalar(77));
  const int stride = 2 * kW + stridePadding;
  std::vector<uint8_t> window(HostWindow_bufferBytes(17, stride, 2 * kH), 0);
  ANativeWindow_Buffer buffer{2 * kW, 2 * kH, stride, 17, window.data(), {}};
  for (auto _ : state) {
    Flush(picture.data, kMosaicBytes);
    Flush(window.data(), window.size());
    const auto start = std::chrono::steady_clock::now();
    CopyPictureToWindow(picture, AIMAGE_FORMAT_YUV_420_888, kW, kH, buffer);
    state.SetIterationTime(Seconds(start));
    benchmark::DoNotOptimize(window.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMosaicBytes));
}

// The whole set: compose four frames, then the preview and record windows.
// Each repetition times, in turn and from cold caches, one memcpy of the
// mosaic, the set with both windows filled from one read of the mosaic, and
// the set with each window copied on its own (these two in alternating
// order). A repetition that another process interrupts or crowds off the
// memory bus only comes out slower, and on a shared machine that happens to
// a good part of them, so the counters compare the fastest repetition of
// each: the cost of the code rather than of the company it kept.
void BM_WholeSet(benchmark::State& state) {
  const int stride = 2 * kW + static_cast<int>(state.range(0));
  CameraFrames frames;
  ResetComposition(kW, kH, AIMAGE_FORMAT_YUV_420_888);
  std::vector<uint8_t> memcpySrc(kMosaicBytes, 3);
  std::vector<uint8_t> memcpyDst(kMosaicBytes, 0);
  std::vector<uint8_t> previewBytes(HostWindow_bufferBytes(17, stride, 2 * kH), 0);
  std::vector<uint8_t> recordBytes(previewBytes.size(), 0);
  const ANativeWindow_Buffer preview{2 * kW, 2 * kH, stride, 17, previewBytes.data(), {}};
  const ANativeWindow_Buffer record{2 * kW, 2 * kH, stride, 17, recordBytes.data(), {}};
  auto flushSet = [&] {
    frames.FlushAll();
    Flush(dstComb.data, kMosaicBytes);
    Flush(previewBytes.data(), previewBytes.size());
    Flush(recordBytes.data(), recordBytes.size());
  };
  auto timeSet = [&](bool onePass) {
    flushSet();
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 4; ++k) {
      ComposeCameraImage(kW, kH, k, frames.images[k]);
    }
    if (onePass) {
      int64_t previewWritten = 0;
      int64_t recordWritten = 0;
      CopyPictureToWindows(dstComb, AIMAGE_FORMAT_YUV_420_888, kW, kH, preview, record,
                           &previewWritten, &recordWritten);
    } else {
      CopyPictureToWindow(dstComb, AIMAGE_FORMAT_YUV_420_888, kW, kH, preview);
      CopyPictureToWindow(dstComb, AIMAGE_FORMAT_YUV_420_888, kW, kH, record);
    }
    const double seconds = Seconds(start);
    benchmark::DoNotOptimize(previewBytes.data());
    benchmark::DoNotOptimize(recordBytes.data());
    return seconds;
  };
  double fastestMemcpy = 0;
  double fastestOnePass = 0;
  double fastestTwice = 0;
  auto keepFastest = [](double* fastest, double seconds) {
    if (*fastest == 0 || seconds < *fastest) {
      *fastest = seconds;
    }
  };
  bool onePassFirst = true;
  for (auto _ : state) {
    Flush(memcpySrc.data(), kMosaicBytes);
    Flush(memcpyDst.data(), kMosaicBytes);
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(memcpyDst.data(), memcpySrc.data(), kMosaicBytes);
    const double memcpySeconds = Seconds(start);
    benchmark::DoNotOptimize(memcpyDst.data());
    double onePass = 0;
    double twice = 0;
    if (onePassFirst) {
      onePass = timeSet(true);
      twice = timeSet(false);
    } else {
      twice = timeSet(false);
      onePass = timeSet(true);
    }
    onePassFirst = !onePassFirst;
    state.SetIterationTime(onePass);
    keepFastest(&fastestMemcpy, memcpySeconds);
    keepFastest(&fastestOnePass, onePass);
    keepFastest(&fastestTwice, twice);
  }
  if (fastestMemcpy > 0 && fastestTwice > 0) {
    state.counters["set_vs_memcpy"] = fastestOnePass / fastestMemcpy;
    state.counters["twice_vs_memcpy"] = fastestTwice / fastestMemcpy;
    state.counters["set_vs_twice"] = fastestOnePass / fastestTwice;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMosaicBytes));
}

// The running pipeline: four stepped cameras, two windows, the worker.
void BM_PipelineAllocationsPerSet(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  HostCamera_reset();
  const char* ids[4] = {"2", "3", "4", "5"};
  for (const char* id : ids) {
    HostCameraConfig config;
    HostCamera_defaultConfig(&config);
    config.stepMode = 1;
    HostCamera_configure(id, &config);
  }
  ANativeWindow* preview = HostWindow_create(1, 1, 17);
  ANativeWindow* record = HostWindow_create(1, 1, 17);
  ANativeWindow_acquire(preview);
  ANativeWindow_acquire(record);
  SetOutputWindow(OutputKind::kPreview, preview, w, h);
  SetOutputWindow(OutputKind::kRecord, record, w, h);
  OpenCameraSet(w, h);
  uint64_t sets = 0;
  auto runSet = [&] {
    for (const char* id : ids) {
      HostCamera_step(id, 1);
    }
    ++sets;
    HostWindow_waitForPosts(record, sets + 1, 20000);
  };
  for (int warm = 0; warm < 5; ++warm) {
    runSet();
  }
  uint64_t counted = 0;
#ifdef QCAM_COUNT_ALLOCATIONS
  gAllocations = 0;
  gCounting = true;
#endif
  for (auto _ : state) {
    runSet();
    ++counted;
  }
#ifdef QCAM_COUNT_ALLOCATIONS
  gCounting = false;
  state.counters["allocs_per_set"] = static_cast<double>(gAllocations.load()) / static_cast<double>(counted);
#endif
  CloseCameraSet();
  SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
  SetOutputWindow(OutputKind::kRecord, nullptr, 0, 0);
  ANativeWindow_release(preview);
  ANativeWindow_release(record);
  HostCamera_reset();
}

BENCHMARK(BM_MemcpyMosaic)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeSet)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeSetOpenCvRows)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowCopy)->Arg(0)->Arg(64)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeSet)->Arg(0)->Arg(64)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineAllocationsPerSet)->Args({1280, 720})->Args({1920, 1080})->Iterations(40)
    ->Unit(benchmark::kMillisecond);

// Prints the ratios of this run after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0) {
        seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
        for (const auto& counter : run.counters) {
          counters_[run.benchmark_name() + " " + counter.first] = counter.second.value;
        }
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    const double base = Find(seconds_, "BM_MemcpyMosaic/iterations:60/manual_time");
    if (base > 0) {
      std::printf("\nratios against one memcpy of %zu bytes (cold caches):\n", kMosaicBytes);
      const std::pair<const char*, const char*> rows[] = {
          {"compose one set of four 1920x1080 frames", "BM_ComposeSet/iterations:60/manual_time"},
          {"  same with OpenCV row copies", "BM_ComposeSetOpenCvRows/iterations:60/manual_time"},
          {"copy into one window (stride = width)", "BM_WindowCopy/0/iterations:60/manual_time"},
          {"copy into one window (stride = width + 64)",
           "BM_WindowCopy/64/iterations:60/manual_time"},
      };
      for (const auto& row : rows) {
        const double seconds = Find(seconds_, row.second);
        if (seconds > 0) {
          std::printf("  %-45s %.2f\n", row.first, seconds / base);
        }
      }
    }
    bool heading = false;
    for (const char* padding : {"0", "64"}) {
      const std::string name = std::string("BM_WholeSet/") + padding + "/iterations:60/manual_time";
      if (Find(seconds_, name) <= 0) {
        continue;
      }
      if (!heading) {
        std::printf("\nwhole set (compose, then preview and record) against a cold memcpy of\n"
                    "the mosaic timed beside it, fastest repetitions:\n");
        heading = true;
      }
      std::printf("  stride = width + %-2s both windows from one read  %.2f\n", padding,
                  Find(counters_, name + " set_vs_memcpy"));
      std::printf("  stride = width + %-2s each window on its own      %.2f\n", padding,
                  Find(counters_, name + " twice_vs_memcpy"));
      std::printf("  stride = width + %-2s one read / each on its own  %.2f\n", padding,
                  Find(counters_, name + " set_vs_twice"));
    }
  }

 private:
  static double Find(const std::map<std::string, double>& values, const std::string& key) {
    auto it = values.find(key);
    return it == values.end() ? 0.0 : it->second;
  }

  std::map<std::string, double> seconds_;
  std::map<std::string, double> counters_;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef QCAM_COUNT_ALLOCATIONS
  // The counter must see an allocation, or a zero below would mean nothing.
  gCounting = true;
  void* probe = std::malloc(32);
  auto* object = new std::string(64, 'x');
  gCounting = false;
  delete object;
  std::free(probe);
  if (gAllocations.load() < 2) {
    std::fprintf(stderr, "quadcam_bench: the allocation counter does not see allocations\n");
    return 1;
  }
  gAllocations = 0;
#endif
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
