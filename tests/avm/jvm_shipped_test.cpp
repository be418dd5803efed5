// The shipped library, loaded by the Java class under its default name,
// starts and draws the logo screen; only its exported entry points are used.
#include <gtest/gtest.h>
#include <jni.h>

#include <fstream>
#include <string>

#include "host/egl/host_egl.h"
#include "host/jvm/host_jvm.h"
#include "tests/support/process_runner.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace {

bool MapsContain(const std::string& name) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.size() >= name.size() && line.compare(line.size() - name.size(), name.size(), name) == 0) {
      return true;
    }
  }
  return false;
}

TEST(ShippedLibrary, DrawsTheLogoScreen) {
  JNIEnv* env = HostJvmEnv({"-Djava.awt.headless=true"});
  ASSERT_NE(env, nullptr);
  ASSERT_TRUE(HostEglStart(1024, 600));
  TempDir dir;
  const std::string root = dir.path() + "/";
  ASSERT_EQ(mkdir((root + "common").c_str(), 0755), 0);
  cv::Mat logo(60, 80, CV_8UC3, cv::Scalar(40, 160, 220));  // BGR
  ASSERT_TRUE(cv::imwrite(root + "common/logo.png", logo));

  jclass avm = env->FindClass("com/kestra/avm/AVM");
  ASSERT_NE(avm, nullptr);
  jmethodID initialise = env->GetStaticMethodID(avm, "initialise", "(Ljava/lang/String;)I");
  jmethodID setCmd = env->GetStaticMethodID(avm, "SetCmd", "(II)I");
  jmethodID draw = env->GetStaticMethodID(avm, "Draw", "([I)I");
  ASSERT_TRUE(initialise && setCmd && draw);
  // Every call is checked for a Java exception before the next JNI call.
  auto call = [&](jmethodID method, auto... args) {
    const jint result = env->CallStaticIntMethod(avm, method, args...);
    EXPECT_FALSE(HostJvmTakeException(env));
    return result;
  };
  jstring path = env->NewStringUTF(root.c_str());
  EXPECT_EQ(call(initialise, path), 1);
  EXPECT_EQ(call(setCmd, 84, 0), 127);
  EXPECT_EQ(call(setCmd, 0, 20), 1);
  jintArray camera = env->NewIntArray(1);
  ASSERT_FALSE(HostJvmTakeException(env));
  const jint none = -1;
  env->SetIntArrayRegion(camera, 0, 1, &none);
  EXPECT_EQ(call(draw, camera), 1);

  const std::vector<uint8_t> frame = HostEglReadPixels();
  const HostPixel centre = HostEglPixel(frame, 512, 300);
  EXPECT_NEAR(centre.r, 220, 2);
  EXPECT_NEAR(centre.g, 160, 2);
  EXPECT_NEAR(centre.b, 40, 2);
  EXPECT_TRUE(MapsContain("/libavm.so"));
  EXPECT_FALSE(MapsContain("/libavm_testable.so"));
}

}  // namespace
