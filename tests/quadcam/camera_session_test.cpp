// Opening and closing the camera set (camera_session.cpp) on the threaded
// stand-ins: the fixed order of every call, what is freed, the slots a short
// or failing platform leaves, and what the camera callbacks report
// (camera_callbacks.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "quadcam/camera_session.h"
#include "quadcam/qcam_state.h"
#include "tests/quadcam/pipeline_fixture.h"
#include "tests/support/log_capture.h"

namespace {

class CameraSession : public Pipeline {};

std::vector<std::string> Journal() {
  std::vector<std::string> entries;
  for (size_t i = 0; i < HostJournal_count(); ++i) {
    char text[160];
    HostJournal_entry(i, text, sizeof(text));
    entries.emplace_back(text);
  }
  return entries;
}

// The function names of the journal, without their objects.
std::vector<std::string> JournalCalls() {
  std::vector<std::string> calls;
  for (const std::string& e : Journal()) {
    calls.push_back(e.substr(0, e.find(' ')));
  }
  return calls;
}

TEST_F(CameraSession, CloseWithoutOpenLogsExitCamAndTouchesNothing) {
  LogCapture log;
  HostJournal_enable(1);
  CloseCameraSet();
  EXPECT_EQ(log.Count("qcam", "exit cam"), 1);
  EXPECT_TRUE(Journal().empty());
}

// Every camera is opened before any stream is built, then each slot builds
// its whole stream before the next: reader, its window, listener, session
// output and container, session, request, the library's own reference on
// the reader window, target, repeating request. Each slot's calls are made
// on its own camera and on the window of its own reader.
TEST_F(CameraSession, OpenFollowsTheFixedOrderForEachCamera) {
  SteppingCameras();
  HostJournal_enable(1);
  OpenCameraSet(16, 8);
  HostJournal_enable(0);
  std::vector<std::string> actual = Journal();
  // The worker's own window calls may follow; there is no window set here.
  std::vector<std::string> expected = {"ACameraManager_create ids=6",
                                       "ACameraManager_getCameraIdList ids=6"};
  for (const char* id : kSlotIds) {
    expected.push_back(std::string("ACameraManager_openCamera cam=") + id);
  }
  ASSERT_GE(actual.size(), expected.size() + 4 * 10);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i], expected[i]) << "entry " << i;
  }
  const auto field = [](const std::string& entry, const std::string& key) {
    const std::size_t at = entry.find(key + "=");
    return at == std::string::npos ? std::string()
                                   : entry.substr(at + key.size() + 1,
                                                  entry.find(' ', at) - at - key.size() - 1);
  };
  std::size_t next = expected.size();
  std::set<std::string> readerWindows;
  for (const char* id : kSlotIds) {
    const std::string cam = std::string("cam=") + id;
    ASSERT_EQ(actual[next].substr(0, actual[next].find(' ')), "AImageReader_new") << id;
    const std::string reader = field(actual[next], "reader");
    const std::string win = field(actual[next], "win");
    ASSERT_FALSE(reader.empty());
    ASSERT_FALSE(win.empty());
    readerWindows.insert(win);
    const std::vector<std::string> slot = {
        "AImageReader_new reader=" + reader + " win=" + win,
        "AImageReader_getWindow reader=" + reader + " win=" + win,
        "AImageReader_setImageListener reader=" + reader,
        "ACaptureSessionOutput_create win=" + win,
        "ACaptureSessionOutputContainer_create",
        "ACameraDevice_createCaptureSession " + cam,
        "ACameraDevice_createCaptureRequest " + cam,
        "ANativeWindow_acquire win=" + win,
        "ACameraOutputTarget_create win=" + win,
        "ACameraCaptureSession_setRepeatingRequest " + cam,
    };
    for (const std::string& call : slot) {
      ASSERT_LT(next, actual.size());
      std::string entry = actual[next++];
      if (call == "ACaptureSessionOutputContainer_create") {
        entry = entry.substr(0, entry.find(' '));  // a serial number only
      }
      EXPECT_EQ(entry, call) << "camera " << id;
    }
  }
  EXPECT_EQ(readerWindows.size(), 4u) << "each slot has a reader window of its own";
  for (; next < actual.size(); ++next) {
    EXPECT_EQ(actual[next].find("ACamera"), std::string::npos) << actual[next];
    EXPECT_EQ(actual[next].find("AImageReader"), std::string::npos) << actual[next];
  }
}

TEST_F(CameraSession, TeardownFollowsTheFixedOrderAndFreesEveryObject) {
  SteppingCameras();
  OpenCameraSet(16, 8);
  HostJournal_enable(1);
  CloseCameraSet();
  HostJournal_enable(0);
  std::vector<std::string> expected;
  for (const char* id : kSlotIds) {
    const std::string cam = std::string(" cam=") + id;
    for (const char* call : {"ACameraCaptureSession_stopRepeating", "ACameraCaptureSession_close"}) {
      expected.push_back(call + cam);
    }
    expected.push_back("ACaptureSessionOutputContainer_free");
    expected.push_back("ACaptureSessionOutput_free");
    expected.push_back("ACaptureRequest_free" + cam);
    expected.push_back("ACameraOutputTarget_free");
    expected.push_back("ACameraDevice_close" + cam);
    expected.push_back("AImageReader_delete");
    expected.push_back("ANativeWindow_release");
  }
  expected.push_back("ACameraManager_delete");
  expected.push_back("ACameraManager_deleteCameraIdList");
  std::vector<std::string> actual = Journal();
  for (std::string& e : actual) {
    // Object names of cameras stay; serial numbers of the others go.
    if (e.find(" cam=") == std::string::npos) {
      e = e.substr(0, e.find(' '));
    }
  }
  EXPECT_EQ(actual, expected);
}

TEST_F(CameraSession, ReopenBuildsAFreshSetAndOpenWhileOpenClosesFirst) {
  LogCapture log;
  SteppingCameras();
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);
  HostJournal_enable(1);
  OpenCameraSet(16, 8);
  CloseCameraSet();
  OpenCameraSet(16, 8);
  EXPECT_EQ(LiveOutputWorkers(), 1);
  OpenCameraSet(16, 8);  // while open
  EXPECT_EQ(LiveOutputWorkers(), 1) << "two workers";
  const std::vector<std::string> calls = JournalCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ACameraManager_create"), 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ACameraManager_delete"), 2);
  EXPECT_EQ(log.Count("qcam", "exit cam"), 2);
  EXPECT_EQ(log.Count("qcam", "init cam"), 3);
  for (const char* id : kSlotIds) {
    EXPECT_EQ(HostCamera_openCount(id), 3);
  }
  // The fresh set streams to the surface that survived the closes.
  const uint64_t posts = HostWindow_postCount(preview);
  StepAll();
  ASSERT_EQ(HostWindow_waitForPosts(preview, posts + 1, kWait), 0);
}

TEST_F(CameraSession, TheFirstTwoIdsAreNeverOpened) {
  SteppingCameras();
  for (int width : {1920, 1921, 3840, 1280}) {
    OpenCameraSet(width, 16);
    CloseCameraSet();
  }
  EXPECT_EQ(HostCamera_openCount("0"), 0);
  EXPECT_EQ(HostCamera_openCount("1"), 0);
  EXPECT_EQ(HostCamera_openCount("2"), 4);
  EXPECT_EQ(HostCamera_openCount("5"), 4);
}

TEST_F(CameraSession, AShortCameraListOpensOnlyTheSlotsItHas) {
  LogCapture log;
  for (int count : {4, 2, 0}) {
    const char* ids[] = {"front", "rear", "left", "right"};
    ASSERT_EQ(HostCamera_setIds(ids, count), 0);
    OpenCameraSet(16, 8);
    EXPECT_EQ(HostCamera_isOpen("left"), count > 2 ? 1 : 0);
    EXPECT_EQ(HostCamera_isOpen("right"), count > 3 ? 1 : 0);
    EXPECT_EQ(HostCamera_isOpen("front") + HostCamera_isOpen("rear"), 0);
    CloseCameraSet();
  }
  EXPECT_EQ(log.Count("qcam", "camera slot 2: the platform lists 4 cameras, none at position 4"), 1);
  EXPECT_EQ(log.CountPrefix("qcam", "camera slot "), 2 + 4 + 4);
  // TearDown checks that close freed exactly what was opened.
}

TEST_F(CameraSession, FailuresOfTheManagerCamerasAndReadersLeaveTheRestRunning) {
  LogCapture log;
  ANativeWindow* preview = NewWindow(1, 1);
  Hand(OutputKind::kPreview, preview, 16, 8);

  HostCamera_failManagerCreate(1);
  HostJournal_enable(1);
  OpenCameraSet(16, 8);
  EXPECT_EQ(log.Count("qcam", "ACameraManager_create failed"), 1);
  // Frame allocated and worker started all the same: the cleared frame shows.
  ASSERT_EQ(HostWindow_waitForPosts(preview, 1, kWait), 0);
  CloseCameraSet();
  EXPECT_EQ(log.Count("qcam", "exit cam"), 1);
  const std::vector<std::string> calls = JournalCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ACameraManager_delete"), 0);

  // One camera refuses to open, one reader is refused, one reader window.
  SteppingCameras();
  HostCameraConfig refusing;
  HostCamera_defaultConfig(&refusing);
  refusing.stepMode = 1;
  refusing.openError = -10010;  // in use
  ASSERT_EQ(HostCamera_configure("3", &refusing), 0);
  HostImageReader_failNew(1);
  OpenCameraSet(16, 8);
  EXPECT_EQ(log.Count("qcam", "AImageReader_new"), 1);
  Step("4");
  Step("5");
  {
    std::lock_guard<std::mutex> lock(gPreview_mutex);
    EXPECT_EQ(mChEnable[2] + mChEnable[3], 2);
  }
  CloseCameraSet();
  HostImageReader_failGetWindow(1);
  OpenCameraSet(16, 8);
  EXPECT_EQ(log.Count("qcam", "AImageReader_getWindow failed"), 1);
  Step("5");
  CloseCameraSet();
}

TEST_F(CameraSession, CameraCallbacksReport) {
  LogCapture log;
  SteppingCameras();
  HostCameraConfig partial;
  HostCamera_defaultConfig(&partial);
  partial.stepMode = 1;
  partial.partialResults = 1;
  ASSERT_EQ(HostCamera_configure("2", &partial), 0);
  OpenCameraSet(16, 8);
  Step("2");
  ASSERT_EQ(HostCamera_failCaptures("3", 1), 0);
  ASSERT_EQ(HostCamera_step("3", 1), 0);
  // A failed capture delivers no frame: wait for the step itself, or the
  // close below may come first and abort the sequence before it captured.
  ASSERT_EQ(HostCamera_waitStepsDone("3", kWait), 0);
  ASSERT_EQ(HostCamera_disconnect("4"), 0);
  ASSERT_EQ(HostCamera_reportError("5", 4), 0);
  CloseCameraSet();  // drains every camera's pending callbacks
  EXPECT_EQ(log.Count("qcam", "Capture Progressed"), 1);
  EXPECT_EQ(log.Count("qcam", "Capture Failed"), 1);
  EXPECT_EQ(log.Count("qcam", "onDisconnected"), 1);
  EXPECT_EQ(log.Count("qcam", "error 4"), 1);
  EXPECT_EQ(log.Count("qcam", "Session active"), 4);
  EXPECT_EQ(log.Count("qcam", "Session closed"), 4);
  EXPECT_GE(log.Count("qcam", "Session ready"), 4);
  // Cameras 2 and 3 captured (3's capture failed); 4 and 5 never did.
  EXPECT_EQ(log.Count("qcam", "onCaptureSequenceCompleted 0"), 2);
  EXPECT_EQ(log.Count("qcam", "onCaptureSequenceAborted"), 2);
}

}  // namespace
