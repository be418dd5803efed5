// openCamera, closeCamera and both surface setters called from several
// threads at once while the cameras stream, stall, report errors and
// disconnect. Under ThreadSanitizer no race may show; afterwards no camera
// object, reader, image or window reference may be left, and a fresh open
// streams again.
//
// AVM_STRESS_SECONDS sets the length (default 3 s, for CI).
#include <gtest/gtest.h>

#include <jni.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "quadcam/camera_session.h"
#include "quadcam/output_worker.h"
#include "tests/platform/camera_steps.h"
#include "tests/quadcam/quadcam_test_support.h"

extern "C" {
void Java_tarn_cam2_MainActivity_openCamera(JNIEnv*, jobject, jint, jint);
void Java_tarn_cam2_MainActivity_closeCamera(JNIEnv*, jobject);
void Java_tarn_cam2_MainActivity_setPreviewSurface(JNIEnv*, jobject, jobject, jint, jint);
void Java_tarn_cam2_MainActivity_setRecordSurface(JNIEnv*, jobject, jobject, jint, jint);
}

namespace {

int StressSeconds() {
  const char* text = std::getenv("AVM_STRESS_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 3;
}

TEST(ChaosStress, OpenCloseAndSurfacesFromSeveralThreadsWhileCamerasMisbehave) {
  ASSERT_EQ(HostCamera_reset(), 0);
  const int32_t baselineWindows = HostWindow_liveCount();
  for (const char* id : kSlotIds) {
    HostCameraConfig config;
    HostCamera_defaultConfig(&config);
    config.framesPerSecond = 300;
    ASSERT_EQ(HostCamera_configure(id, &config), 0);
  }
  ANativeWindow* windows[2] = {HostWindow_create(1, 1, 17), HostWindow_create(1, 1, 17)};
  std::atomic<bool> stop{false};
  std::atomic<long> opens{0}, closes{0}, surfaces{0}, faults{0};

  auto opener = [&](unsigned seed) {
    std::mt19937 random(seed);
    while (!stop) {
      if (random() % 2 == 0) {
        // Mostly the usual size, sometimes a refused or odd one.
        const jint width = random() % 6 == 0 ? static_cast<jint>(random() % 5000) - 1 : 24;
        Java_tarn_cam2_MainActivity_openCamera(nullptr, nullptr, width, 16);
        ++opens;
      } else {
        Java_tarn_cam2_MainActivity_closeCamera(nullptr, nullptr);
        ++closes;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 12));
    }
  };
  auto surfacer = [&](unsigned seed) {
    std::mt19937 random(seed);
    while (!stop) {
      const OutputKind kind = random() % 2 == 0 ? OutputKind::kPreview : OutputKind::kRecord;
      if (random() % 3 == 0) {
        // A null surface through the Java entry clears the output.
        if (kind == OutputKind::kPreview) {
          Java_tarn_cam2_MainActivity_setPreviewSurface(nullptr, nullptr, nullptr, 24, 16);
        } else {
          Java_tarn_cam2_MainActivity_setRecordSurface(nullptr, nullptr, nullptr, 24, 16);
        }
      } else {
        ANativeWindow* window = windows[random() % 2];
        ANativeWindow_acquire(window);
        SetOutputWindow(kind, window, static_cast<int32_t>(random() % 64), 16);
      }
      ++surfaces;
      std::this_thread::sleep_for(std::chrono::microseconds(300 + random() % 900));
    }
  };
  auto saboteur = [&](unsigned seed) {
    std::mt19937 random(seed);
    while (!stop) {
      const char* id = kSlotIds[random() % 4];
      switch (random() % 4) {
        case 0:
          HostCamera_stall(id, static_cast<int32_t>(random() % 2));
          break;
        case 1:
          HostCamera_disconnect(id);
          break;
        case 2:
          HostCamera_reportError(id, static_cast<int32_t>(random() % 5) + 1);
          break;
        default:
          HostCamera_failCaptures(id, 1);
          break;
      }
      ++faults;
      std::this_thread::sleep_for(std::chrono::milliseconds(2 + random() % 10));
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(opener, 1u);
  threads.emplace_back(opener, 2u);
  threads.emplace_back(surfacer, 3u);
  threads.emplace_back(surfacer, 4u);
  threads.emplace_back(saboteur, 5u);
  // The stress length, and then on until every kind of call has been made:
  // a loaded machine may starve one thread for a while, and the check below
  // is that each got its turn, not how many it got in a given time.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(StressSeconds());
  while (std::chrono::steady_clock::now() < end ||
         opens.load() * closes.load() * surfaces.load() * faults.load() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop = true;
  for (std::thread& thread : threads) {
    thread.join();
  }
  std::printf("stress: %d s, %ld opens, %ld closes, %ld surface changes, %ld camera faults\n",
              StressSeconds(), opens.load(), closes.load(), surfaces.load(), faults.load());
  EXPECT_GT(opens.load() * closes.load() * surfaces.load() * faults.load(), 0);

  // Every camera healthy again: a fresh open streams.
  Java_tarn_cam2_MainActivity_closeCamera(nullptr, nullptr);
  ASSERT_EQ(HostCamera_reset(), 0);
  for (const char* id : kSlotIds) {
    HostCameraConfig config;
    HostCamera_defaultConfig(&config);
    ASSERT_EQ(HostCamera_configure(id, &config), 0);
  }
  Java_tarn_cam2_MainActivity_openCamera(nullptr, nullptr, 24, 16);
  const uint64_t before = HostCamera_framesDelivered(kSlotIds[0]);
  EXPECT_EQ(HostCamera_waitFramesDelivered(kSlotIds[0], before + 3, 10000), 0);
  Java_tarn_cam2_MainActivity_closeCamera(nullptr, nullptr);
  EXPECT_EQ(LiveOutputWorkers(), 0);
  // A worker that close left in a window lock holds a window reference.
  EXPECT_TRUE(WaitOutputWorkersEnded(10000));
  SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
  SetOutputWindow(OutputKind::kRecord, nullptr, 0, 0);
  for (ANativeWindow* window : windows) {
    EXPECT_EQ(HostWindow_refCount(window), 1) << "a reference was leaked or dropped twice";
    ANativeWindow_release(window);
  }
  ExpectEveryStandInObjectGivenBack(baselineWindows);
}

}  // namespace
