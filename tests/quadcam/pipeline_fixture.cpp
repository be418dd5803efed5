#include "tests/quadcam/pipeline_fixture.h"

#include <string>

#include "quadcam/camera_session.h"
#include "quadcam/qcam_state.h"

void StepAll() {
  for (const char* id : kSlotIds) {
    Step(id);
  }
}

void Hand(OutputKind kind, ANativeWindow* window, int32_t w, int32_t h) {
  if (window != nullptr) {
    ANativeWindow_acquire(window);
  }
  SetOutputWindow(kind, window, w, h);
}

void Settle() { ASSERT_TRUE(WaitOutputWorkerIdle(kWait)) << "the worker never came to rest"; }

void RecordTwoFramesPerCamera(const TempDir& dir, int w, int h, uint32_t seed,
                              Nv21Frame frames[4][2]) {
  for (int k = 0; k < 4; ++k) {
    frames[k][0] = RandomNv21(w, h, seed + static_cast<uint32_t>(k));
    frames[k][1] = RandomNv21(w, h, seed + 10u + static_cast<uint32_t>(k));
    const std::string path = dir / ("cam" + std::to_string(k) + ".nv21");
    ASSERT_TRUE(WriteNv21File(path, {frames[k][0], frames[k][1]}));
    ConfigureStepping(kSlotIds[k], path.c_str());
  }
}

std::vector<uint8_t> MosaicOfSet(const Nv21Frame frames[4][2], int n, int w, int h) {
  const Nv21Frame* set[4] = {&frames[0][n], &frames[1][n], &frames[2][n], &frames[3][n]};
  return ExpectedNv21Mosaic(set, w, h);
}

void ExpectPaddingUntouched(ANativeWindow* window, int w, int h) {
  HostPostedFrame info;
  const std::vector<uint8_t> buffer = LastPostedBuffer(window, &info);
  for (int r = 0; r < 3 * h; ++r) {
    for (int p = 2 * w; p < info.stride; ++p) {
      ASSERT_EQ(buffer[static_cast<size_t>(r * info.stride + p)], HOST_WINDOW_FILL_BYTE)
          << "row " << r;
    }
  }
}

void Pipeline::SetUp() {
  ASSERT_NO_FATAL_FAILURE(StartWithFreshStandIns(&baselineWindows_));
}

void Pipeline::TearDown() {
  CloseCameraSet();
  SetOutputWindow(OutputKind::kPreview, nullptr, 0, 0);
  SetOutputWindow(OutputKind::kRecord, nullptr, 0, 0);
  // A worker that close left in a window lock holds a window reference.
  EXPECT_TRUE(WaitOutputWorkersEnded(kWait));
  for (ANativeWindow* w : windows_) {
    ANativeWindow_release(w);
  }
  HostJournal_enable(0);
  EXPECT_EQ(HostCamera_reset(), 0);
  previewFormat = 35;
  // Nothing of the camera set outlives its close.
  ExpectEveryStandInObjectGivenBack(baselineWindows_);
  EXPECT_EQ(LiveOutputWorkers(), 0);
}

ANativeWindow* Pipeline::NewWindow(int32_t w, int32_t h, int32_t format) {
  ANativeWindow* window = HostWindow_create(w, h, format);
  windows_.push_back(window);
  return window;
}

void Pipeline::SteppingCameras() {
  for (const char* id : kSlotIds) {
    ConfigureStepping(id);
  }
}
