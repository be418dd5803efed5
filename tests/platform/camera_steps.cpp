#include "tests/platform/camera_steps.h"

#include <gtest/gtest.h>

#include "host_platform/host_platform.h"

void ConfigureStepping(const char* id, const char* sourceFile) {
  HostCameraConfig config;
  HostCamera_defaultConfig(&config);
  config.stepMode = 1;
  config.sourceFile = sourceFile;
  ASSERT_EQ(HostCamera_configure(id, &config), 0);
}

void Capture(const char* id, int frames) {
  const uint64_t before = HostCamera_framesDelivered(id);
  ASSERT_EQ(HostCamera_step(id, frames), 0);
  ASSERT_EQ(HostCamera_waitFramesDelivered(id, before + static_cast<uint64_t>(frames), kWait), 0)
      << "camera " << id;
}

void Step(const char* id, int frames) {
  Capture(id, frames);
  ASSERT_EQ(HostImageReader_waitIdle(kWait), 0) << "camera " << id << ": a listener never returned";
}

void StartWithFreshStandIns(int32_t* baselineWindows) {
  ASSERT_EQ(HostCamera_reset(), 0);
  HostJournal_enable(0);
  HostJournal_clear();
  *baselineWindows = HostWindow_liveCount();
}

void ExpectEveryStandInObjectGivenBack(int32_t baselineWindows) {
  HostCameraObjects live;
  HostCamera_liveObjects(&live);
  EXPECT_EQ(live.managers + live.idLists + live.devices + live.sessions + live.containers +
                live.sessionOutputs + live.requests + live.outputTargets,
            0);
  EXPECT_EQ(HostImageReader_liveReaders(), 0);
  EXPECT_EQ(HostImageReader_liveImages(), 0);
  EXPECT_EQ(HostWindow_liveCount(), baselineWindows);
}
