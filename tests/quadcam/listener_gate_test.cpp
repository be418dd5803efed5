// The listener gates (listener_gate.cpp) between the readers' listeners
// and closeCamera, against the platform's deadlock of a reader deleted
// while its listener runs.
#include <gtest/gtest.h>

#include "quadcam/camera_session.h"
#include "quadcam/frame_composition.h"
#include "tests/quadcam/pipeline_fixture.h"

namespace {

class ListenerGate : public Pipeline {};

// Frames still reach the readers after stopRepeating and after the camera
// closed; deleting a reader then waits for its listener. A held call (one
// the reader's thread took up just before the app deleted the reader) is
// made only once the deletion has begun, so close must keep every listener
// away from a reader it deletes. Many times over, while cameras stream,
// with and without held calls.
TEST_F(ListenerGate, ClosingWhileListenerCallsAreInFlightNeverDeadlocks) {
  SteppingCameras();
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);
  OpenCameraSet(16, 8);
  HostImageReader_holdListenersUntilDelete(1);
  for (const char* id : kSlotIds) {
    Capture(id);
  }
  HostImageReader_holdListenersUntilDelete(0);
  CloseCameraSet();  // each held call runs once its reader's deletion has begun
  EXPECT_EQ(HostImageReader_waitIdle(kWait), 0);
  EXPECT_EQ(CompletedSets(), 0u) << "a frame was composed from a reader being deleted";

  for (const char* id : kSlotIds) {
    HostCameraConfig fast;
    HostCamera_defaultConfig(&fast);
    fast.framesPerSecond = 1000;
    ASSERT_EQ(HostCamera_configure(id, &fast), 0);
  }
  for (int round = 0; round < 30; ++round) {
    OpenCameraSet(16, 8);
    for (const char* id : kSlotIds) {
      ASSERT_EQ(HostCamera_waitFramesDelivered(id, HostCamera_framesDelivered(id) + 2, kWait), 0);
    }
    HostImageReader_holdListenersUntilDelete(round % 3 == 0 ? 1 : 0);
    for (const char* id : kSlotIds) {
      ASSERT_EQ(HostCamera_waitFramesDelivered(id, HostCamera_framesDelivered(id) + 1, kWait), 0);
    }
    HostImageReader_holdListenersUntilDelete(0);
    CloseCameraSet();
  }
  EXPECT_EQ(HostImageReader_waitIdle(kWait), 0);
  EXPECT_GT(HostWindow_postCount(preview), 1u) << "the streaming rounds composed nothing";
}

}  // namespace
