// The calls from the renderer into Java: attaching and detaching native
// threads, exceptions thrown by the Java side, and local references on a
// thread that stays attached.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "avm/bridge/java_callbacks.h"
#include "avm/bridge/scene_state.h"
#include "host/jvm/host_jvm.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

jint ThreadEnvState() {
  JNIEnv* env = nullptr;
  return HostJvm()->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6);
}

class JavaCallbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = StartJavaRenderer();
    if (gBridge.initialised.load() != 1) {
      root_ = MakeAssetRoot(dir_.path());
      ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
    }
    TakeNotifications();
    TakeLoadRequests();
  }
  void TearDown() override {
    SetJavaSwitch("throwFromLoadTexture", false);
    SetJavaSwitch("throwFromNotify", false);
  }

  JNIEnv* env_ = nullptr;
  TempDir dir_;
  std::string root_;
};

TEST_F(JavaCallbacks, UnattachedThreadIsAttachedForTheCallAndDetachedAfter) {
  jint before = JNI_OK;
  jint after = JNI_OK;
  int loaded = -1;
  std::thread worker([&] {
    before = ThreadEnvState();
    NotifySigFunc(160);
    loaded = LoadTextureFunc("common/absent.png", 1, 2);
    after = ThreadEnvState();
  });
  worker.join();
  EXPECT_EQ(before, JNI_EDETACHED);
  EXPECT_EQ(after, JNI_EDETACHED);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(TakeNotifications(), std::vector<int>{160});
  EXPECT_EQ(TakeLoadRequests(), std::vector<std::string>{"common/absent.png"});
}

TEST_F(JavaCallbacks, AttachedThreadStaysAttached) {
  jint after = JNI_EDETACHED;
  std::thread worker([&] {
    JNIEnv* env = nullptr;
    ASSERT_EQ(HostJvm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr), JNI_OK);
    NotifySigFunc(161);
    LoadTextureFunc("common/absent.png", 1, 2);
    after = ThreadEnvState();
    HostJvm()->DetachCurrentThread();
  });
  worker.join();
  EXPECT_EQ(after, JNI_OK);
  EXPECT_EQ(TakeNotifications(), std::vector<int>{161});
  // The test thread itself is attached and stays so.
  NotifySigFunc(150);
  EXPECT_EQ(ThreadEnvState(), JNI_OK);
  EXPECT_EQ(TakeNotifications(), std::vector<int>{150});
}

TEST_F(JavaCallbacks, JavaExceptionsAreClearedAndTheLoadFails) {
  ASSERT_TRUE(WritePicture(dir_.path() + "/good.png", QuadrantPicture(4, 4)));
  const std::string good = dir_.path() + "/good.png";
  const int texture = static_cast<int>(pViewParam->generalSpareTexture);
  EXPECT_EQ(LoadTextureFunc(good.c_str(), texture, 2), 1);
  SetJavaSwitch("throwFromLoadTexture", true);
  EXPECT_EQ(LoadTextureFunc(good.c_str(), texture, 2), 0);
  EXPECT_FALSE(env_->ExceptionCheck());
  SetJavaSwitch("throwFromNotify", true);
  NotifySigFunc(152);
  EXPECT_FALSE(env_->ExceptionCheck());
  EXPECT_EQ(TakeNotifications(), std::vector<int>{152});
  // The same from a thread that the call attaches.
  int loaded = -1;
  std::thread worker([&] { loaded = LoadTextureFunc(good.c_str(), texture, 2); });
  worker.join();
  EXPECT_EQ(loaded, 0);
}

TEST_F(JavaCallbacks, ManyLoadsOnOneAttachedThreadKeepNoReferences) {
  // Each path string is a megabyte; if their local references stayed alive
  // on this thread, 200 of them would not fit the 64 MB heap: the path
  // string could no longer be made and the call would never reach Java.
  const std::string hugePath = "/" + std::string(1 << 20, 'p');
  int reachedJava = 0;
  std::thread worker([&] {
    JNIEnv* env = nullptr;
    ASSERT_EQ(HostJvm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr), JNI_OK);
    // Java's own count of the load calls it received, read on this thread.
    const jmethodID count = env->GetStaticMethodID(gBridge.avmClass, "loadCallCount", "()I");
    ASSERT_NE(count, nullptr);
    for (int i = 0; i < 200; ++i) {
      const jint before = env->CallStaticIntMethod(gBridge.avmClass, count);
      EXPECT_EQ(LoadTextureFunc(hugePath.c_str(), 1, 2), 0);  // no such file
      if (env->CallStaticIntMethod(gBridge.avmClass, count) == before + 1) {
        ++reachedJava;
      }
    }
    EXPECT_FALSE(env->ExceptionCheck());
    HostJvm()->DetachCurrentThread();
  });
  worker.join();
  EXPECT_EQ(reachedJava, 200);
}

TEST_F(JavaCallbacks, NoVmNoCall) {
  JavaVM* vm = gVmHandle;
  gVmHandle = nullptr;
  LogCapture log;
  EXPECT_EQ(LoadTextureFunc("common/line.png", 1, 2), 0);
  NotifySigFunc(160);
  gVmHandle = vm;
  EXPECT_TRUE(log.Contains("KESTRA", "-------------LoadTextureFunc,_jniEnv:NULL"));
  EXPECT_TRUE(log.Contains("KESTRA", "-------------NotifySigFunc,_jniEnv:NULL"));
  EXPECT_TRUE(TakeNotifications().empty());
  EXPECT_EQ(LoadCallCount(), 0);
}

}  // namespace
