#pragma once
// The fixture and helpers of the tests that run the whole camera side on the
// threaded platform stand-ins: cameras that stream on their own threads into
// image readers, the hand-off to the output worker, the preview and record
// windows, and opening and closing. Cameras run in step mode where a test
// needs to know exactly which frames were delivered.
#include <android/native_window.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "quadcam/output_worker.h"
#include "tests/platform/camera_steps.h"
#include "tests/quadcam/quadcam_test_support.h"
#include "tests/support/process_runner.h"

// Steps each of the four slots' cameras once.
void StepAll();

// Gives the window to quadcam, keeping the test's own reference.
void Hand(OutputKind kind, ANativeWindow* window, int32_t w, int32_t h);

// Waits until the worker has served every set handed to it, so that a
// count checked next is final: a set that should not reach a window has
// then had its chance and did not.
void Settle();

// Gives each stepping camera a recording of two random frames (seeds from
// `seed` up), kept in frames[slot][n] for the expected mosaics.
void RecordTwoFramesPerCamera(const TempDir& dir, int w, int h, uint32_t seed,
                              Nv21Frame frames[4][2]);

// The mosaic of the n-th recorded frame of every camera.
std::vector<uint8_t> MosaicOfSet(const Nv21Frame frames[4][2], int n, int w, int h);

// The stride padding of the window's last posted buffer stays as the window
// made it.
void ExpectPaddingUntouched(ANativeWindow* window, int w, int h);

// Every test starts with the stand-ins reset and ends with the camera set
// closed, both windows cleared and every object of the set given back.
class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  ANativeWindow* NewWindow(int32_t w, int32_t h, int32_t format = 17);
  void SteppingCameras();

  std::vector<ANativeWindow*> windows_;
  int32_t baselineWindows_ = 0;
};
