// quadcam driven the way the app drives it: the Java class
// tarn.cam2.MainActivity in a real Java VM calls the native methods, with
// host surfaces that map to memory-backed windows. The VM loads
// quadcam_testable, the same library this test links, so the test can also
// look at the library's state.
#include <gtest/gtest.h>

#include <string>

#include "host/jvm/host_jvm.h"
#include "quadcam/qcam_state.h"
#include "tests/quadcam/quadcam_test_support.h"
#include "tests/support/log_capture.h"

extern "C" void Java_tarn_cam2_MainActivity_setPreviewSurface(JNIEnv*, jobject, jobject, jint,
                                                              jint);

namespace {

constexpr int kWait = 10000;

class ThroughJava : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = HostJvmEnv({"-Dtarn.cam2.lib=quadcam_testable"});
    ASSERT_NE(env_, nullptr);
    ASSERT_EQ(HostCamera_reset(), 0);
    activityClass_ = env_->FindClass("tarn/cam2/MainActivity");
    ASSERT_NE(activityClass_, nullptr) << Exception();
    surfaceClass_ = env_->FindClass("android/view/Surface");
    ASSERT_NE(surfaceClass_, nullptr) << Exception();
    activity_ = env_->NewObject(activityClass_, env_->GetMethodID(activityClass_, "<init>", "()V"));
    ASSERT_NE(activity_, nullptr) << Exception();
    open_ = env_->GetMethodID(activityClass_, "openCamera", "(II)V");
    close_ = env_->GetMethodID(activityClass_, "closeCamera", "()V");
    setPreview_ = env_->GetMethodID(activityClass_, "setPreviewSurface", "(Landroid/view/Surface;II)V");
    setRecord_ = env_->GetMethodID(activityClass_, "setRecordSurface", "(Landroid/view/Surface;II)V");
    ASSERT_TRUE(open_ && close_ && setPreview_ && setRecord_) << Exception();
    for (const char* id : kSlotIds) {
      HostCameraConfig config;
      HostCamera_defaultConfig(&config);
      config.stepMode = 1;
      ASSERT_EQ(HostCamera_configure(id, &config), 0);
    }
  }
  void TearDown() override {
    Call(close_);
    Call(setPreview_, nullptr, 0, 0);
    Call(setRecord_, nullptr, 0, 0);
    EXPECT_EQ(HostCamera_reset(), 0);
  }
  std::string Exception() {
    std::string text;
    HostJvmTakeException(env_, &text);
    return text;
  }
  template <typename... Args>
  void Call(jmethodID method, Args... args) {
    env_->CallVoidMethod(activity_, method, args...);
    ASSERT_FALSE(HostJvmTakeException(env_));
  }
  jobject Surface(ANativeWindow* window) {
    jobject surface = env_->NewObject(surfaceClass_, env_->GetMethodID(surfaceClass_, "<init>", "(J)V"),
                                      static_cast<jlong>(HostWindow_surfaceId(window)));
    EXPECT_FALSE(HostJvmTakeException(env_));
    return surface;
  }

  JNIEnv* env_ = nullptr;
  jclass activityClass_ = nullptr;
  jclass surfaceClass_ = nullptr;
  jobject activity_ = nullptr;
  jmethodID open_ = nullptr;
  jmethodID close_ = nullptr;
  jmethodID setPreview_ = nullptr;
  jmethodID setRecord_ = nullptr;
};

TEST_F(ThroughJava, OpenStreamAndCloseThroughTheActivity) {
  LogCapture log;
  ANativeWindow* preview = HostWindow_create(1, 1, 17);
  ANativeWindow* record = HostWindow_create(1, 1, 17);
  Call(setPreview_, Surface(preview), 1920, 1080);
  Call(setRecord_, Surface(record), 1920, 1080);
  EXPECT_EQ(ANativeWindow_getWidth(preview), 3840);
  EXPECT_EQ(ANativeWindow_getHeight(record), 2160);
  EXPECT_EQ(ANativeWindow_getFormat(record), 17);
  Call(open_, 1920, 1080);
  EXPECT_EQ(log.Count("qcam", "init cam"), 1);
  ASSERT_EQ(HostWindow_waitForPosts(record, 1, kWait), 0);
  for (const char* id : kSlotIds) {
    ASSERT_EQ(HostCamera_step(id, 1), 0);
  }
  ASSERT_EQ(HostWindow_waitForPosts(record, 2, kWait), 0);
  HostPostedFrame info;
  const std::vector<uint8_t> picture = LastPostedPicture(preview, &info);
  EXPECT_EQ(picture.size(), 12441600u);
  EXPECT_GT(std::count_if(picture.begin(), picture.end(), [](uint8_t b) { return b != 0; }), 0)
      << "the camera pictures did not arrive";
  Call(close_);
  EXPECT_EQ(log.Count("qcam", "exit cam"), 1);
  EXPECT_EQ(HostCamera_isOpen("2"), 0);
  Call(setPreview_, nullptr, 0, 0);
  Call(setRecord_, nullptr, 0, 0);
  EXPECT_EQ(HostWindow_refCount(preview), 1);
  EXPECT_EQ(HostWindow_refCount(record), 1);
  ANativeWindow_release(preview);
  ANativeWindow_release(record);
}

TEST_F(ThroughJava, SurfacesThatMapToNoWindowClearTheSlotSafely) {
  ANativeWindow* preview = HostWindow_create(1, 1, 17);
  Call(setPreview_, Surface(preview), 64, 32);
  EXPECT_EQ(HostWindow_refCount(preview), 2);
  Call(setPreview_, Surface(preview), 64, 32);  // the same surface again
  EXPECT_EQ(HostWindow_refCount(preview), 2);

  // An id no window has: the earlier window is released, nothing breaks.
  jobject stale = env_->NewObject(surfaceClass_, env_->GetMethodID(surfaceClass_, "<init>", "(J)V"),
                                  static_cast<jlong>(0x7fffffffffffLL));
  ASSERT_FALSE(HostJvmTakeException(env_));
  Call(setPreview_, stale, 64, 32);
  EXPECT_EQ(HostWindow_refCount(preview), 1);

  // Not a surface at all, through the raw native method.
  Call(setPreview_, Surface(preview), 64, 32);
  jstring text = env_->NewStringUTF("not a surface");
  ASSERT_FALSE(HostJvmTakeException(env_));
  Java_tarn_cam2_MainActivity_setPreviewSurface(env_, activity_, text, 64, 32);
  EXPECT_FALSE(HostJvmTakeException(env_)) << "a Java exception was left pending";
  EXPECT_EQ(HostWindow_refCount(preview), 1);

  // Hostile sizes leave the geometry alone.
  Call(setPreview_, Surface(preview), -5, 1 << 30);
  EXPECT_EQ(ANativeWindow_getWidth(preview), 128);
  Call(setPreview_, nullptr, 0, 0);
  ANativeWindow_release(preview);
}

TEST_F(ThroughJava, HostileCameraSizesOpenNothing) {
  LogCapture log;
  for (auto size : {std::pair<int, int>{0, 720}, {-1280, 720}, {1280, -2}, {1 << 20, 720}}) {
    Call(open_, size.first, size.second);
  }
  EXPECT_EQ(log.CountPrefix("qcam", "openCamera: camera size "), 4);
  EXPECT_EQ(HostCamera_openCount("2"), 0);
}

}  // namespace
