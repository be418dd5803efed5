// The camera and image-reader stand-ins on their own, without quadcam: they
// must behave as the platform does where quadcam depends on it (listener
// calls on a thread of their own, calls after the camera closed, a delete
// that waits for a listener, one image held at a time, NV21 chroma), or the
// quadcam tests prove nothing about a device.
#include <camera/NdkCameraCaptureSession.h>
#include <camera/NdkCameraDevice.h>
#include <camera/NdkCameraManager.h>
#include <camera/NdkCaptureRequest.h>
#include <gtest/gtest.h>
#include <media/NdkImage.h>
#include <media/NdkImageReader.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "host_platform/host_platform.h"
#include "tests/platform/camera_steps.h"

namespace {

// Camera "2" in step mode streaming into one window through the camera
// NDK, without quadcam.
struct OneCamera {
  ACameraManager* manager = nullptr;
  ACameraDevice* device = nullptr;
  ACaptureSessionOutput* output = nullptr;
  ACaptureSessionOutputContainer* container = nullptr;
  ACameraCaptureSession* session = nullptr;
  ACaptureRequest* request = nullptr;
  ACameraOutputTarget* target = nullptr;
};

OneCamera StreamCameraTwoInto(ANativeWindow* window) {
  ConfigureStepping("2");
  OneCamera c;
  ACameraDevice_StateCallbacks callbacks{};
  static ACameraCaptureSession_stateCallbacks sessionCallbacks{};
  c.manager = ACameraManager_create();
  EXPECT_EQ(ACameraManager_openCamera(c.manager, "2", &callbacks, &c.device), ACAMERA_OK);
  EXPECT_EQ(ACaptureSessionOutput_create(window, &c.output), ACAMERA_OK);
  EXPECT_EQ(ACaptureSessionOutputContainer_create(&c.container), ACAMERA_OK);
  EXPECT_EQ(ACaptureSessionOutputContainer_add(c.container, c.output), ACAMERA_OK);
  EXPECT_EQ(ACameraDevice_createCaptureSession(c.device, c.container, &sessionCallbacks, &c.session),
            ACAMERA_OK);
  EXPECT_EQ(ACameraDevice_createCaptureRequest(c.device, TEMPLATE_PREVIEW, &c.request), ACAMERA_OK);
  EXPECT_EQ(ACameraOutputTarget_create(window, &c.target), ACAMERA_OK);
  EXPECT_EQ(ACaptureRequest_addTarget(c.request, c.target), ACAMERA_OK);
  EXPECT_EQ(ACameraCaptureSession_setRepeatingRequest(c.session, nullptr, 1, &c.request, nullptr),
            ACAMERA_OK);
  return c;
}

// Everything but the manager, in the order quadcam closes a slot.
void CloseCamera(OneCamera& c) {
  ACameraCaptureSession_stopRepeating(c.session);
  ACameraCaptureSession_close(c.session);
  ACaptureSessionOutputContainer_free(c.container);
  ACaptureSessionOutput_free(c.output);
  ACaptureRequest_free(c.request);
  ACameraOutputTarget_free(c.target);
  ACameraDevice_close(c.device);
}

class ImageReaderStandIn : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartWithFreshStandIns(&baselineWindows_)); }
  void TearDown() override {
    EXPECT_EQ(HostCamera_reset(), 0);  // joins every camera thread
    ExpectEveryStandInObjectGivenBack(baselineWindows_);
  }

  int32_t baselineWindows_ = 0;
};

// The stand-in does what the platform does with a reader's listener: its
// call may come after stopRepeating and after the camera closed, and
// AImageReader_delete waits for it.
TEST_F(ImageReaderStandIn, AListenerCallMayComeAfterTheCameraClosedAndDeleteWaitsForIt) {
  AImageReader* reader = nullptr;
  ASSERT_EQ(AImageReader_new(8, 4, AIMAGE_FORMAT_YUV_420_888, 1, &reader), AMEDIA_OK);
  struct Seen {
    std::atomic<bool> cameraClosed{false};
    std::atomic<int> calls{0};
    std::atomic<int> callsAfterClose{0};
  } seen;
  AImageReader_ImageListener listener{&seen, [](void* context, AImageReader*) {
                                        auto* s = static_cast<Seen*>(context);
                                        s->callsAfterClose += s->cameraClosed ? 1 : 0;
                                        ++s->calls;
                                      }};
  ASSERT_EQ(AImageReader_setImageListener(reader, &listener), AMEDIA_OK);
  ANativeWindow* window = nullptr;
  ASSERT_EQ(AImageReader_getWindow(reader, &window), AMEDIA_OK);
  OneCamera camera = StreamCameraTwoInto(window);
  HostImageReader_holdListenersUntilDelete(1);
  Capture("2");
  HostImageReader_holdListenersUntilDelete(0);
  CloseCamera(camera);
  seen.cameraClosed = true;
  EXPECT_EQ(seen.calls, 0);
  AImageReader_delete(reader);
  EXPECT_EQ(seen.calls, 1) << "delete returned before the listener call it had begun";
  EXPECT_EQ(seen.callsAfterClose, 1);
  ACameraManager_delete(camera.manager);
}

// A reader whose listener acquires an image, deleted while a call of that
// listener is under way.
void DeleteAReaderWhoseListenerNeedsIt() {
  AImageReader* reader = nullptr;
  AImageReader_new(8, 4, AIMAGE_FORMAT_YUV_420_888, 1, &reader);
  AImageReader_ImageListener listener{nullptr, [](void*, AImageReader* r) {
                                        AImage* image = nullptr;
                                        AImageReader_acquireNextImage(r, &image);
                                      }};
  AImageReader_setImageListener(reader, &listener);
  ANativeWindow* window = nullptr;
  AImageReader_getWindow(reader, &window);
  OneCamera camera = StreamCameraTwoInto(window);
  HostImageReader_holdListenersUntilDelete(1);
  Capture("2");
  CloseCamera(camera);
  AImageReader_delete(reader);
}

// A listener that needs its reader while AImageReader_delete waits for it
// would hang on a device; the stand-in stops the process with the reason.
TEST(ImageReaderStandInDeathTest, AListenerThatNeedsItsReaderDuringDeleteIsTheDeadlock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_EQ(HostCamera_reset(), 0);
  EXPECT_DEATH(DeleteAReaderWhoseListenerNeedsIt(),
               "deadlock: the listener of reader [0-9]+ needs the reader's lock");
}

TEST_F(ImageReaderStandIn, ImageReadersHoldOneImageAndCallTheListenerOnAThreadOfTheirOwn) {
  AImageReader* reader = nullptr;
  ASSERT_EQ(AImageReader_new(8, 4, AIMAGE_FORMAT_YUV_420_888, 1, &reader), AMEDIA_OK);
  struct Seen {
    std::mutex mutex;
    std::thread::id thread;
    int calls = 0;
  } seen;
  AImageReader_ImageListener listener{&seen, [](void* context, AImageReader*) {
                                        auto* s = static_cast<Seen*>(context);
                                        std::lock_guard<std::mutex> lock(s->mutex);
                                        s->thread = std::this_thread::get_id();
                                        ++s->calls;
                                      }};
  ASSERT_EQ(AImageReader_setImageListener(reader, &listener), AMEDIA_OK);
  ANativeWindow* window = nullptr;
  ASSERT_EQ(AImageReader_getWindow(reader, &window), AMEDIA_OK);
  OneCamera camera = StreamCameraTwoInto(window);
  Step("2");
  AImage* held = nullptr;
  ASSERT_EQ(AImageReader_acquireNextImage(reader, &held), AMEDIA_OK);
  int32_t planes = 0;
  int32_t pixelStride = 0;
  uint8_t* v = nullptr;
  uint8_t* u = nullptr;
  int length = 0;
  EXPECT_EQ(AImage_getNumberOfPlanes(held, &planes), AMEDIA_OK);
  EXPECT_EQ(planes, 3);
  EXPECT_EQ(AImage_getPlanePixelStride(held, 2, &pixelStride), AMEDIA_OK);
  EXPECT_EQ(pixelStride, 2);
  AImage_getPlaneData(held, 2, &v, &length);
  AImage_getPlaneData(held, 1, &u, &length);
  EXPECT_EQ(u, v + 1) << "chroma not laid out as NV21";
  Step("2");
  AImage* second = nullptr;
  EXPECT_EQ(AImageReader_acquireNextImage(reader, &second), AMEDIA_IMGREADER_MAX_IMAGES_ACQUIRED);
  std::thread::id listenerThread;
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    listenerThread = seen.thread;
  }
  AImage_delete(held);
  EXPECT_EQ(AImageReader_acquireNextImage(reader, &second), AMEDIA_OK);
  AImage_delete(second);
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    EXPECT_EQ(seen.calls, 2);
    EXPECT_NE(seen.thread, std::this_thread::get_id());
    EXPECT_EQ(seen.thread, listenerThread) << "every call on the reader's one thread";
  }
  CloseCamera(camera);
  AImageReader_delete(reader);
  ACameraManager_delete(camera.manager);
}

}  // namespace
