// Every native method of the renderer at once: several "Java" threads call
// SetCmd, SetCar, GenPlate, SetTirePressure and SetObj with random valid and
// invalid arguments (good, missing and damaged cars, bad plate texts, tyre
// arrays of any length, too many or too long object arrays, null references) while the GL thread draws frames in every
// screen mode. Under ThreadSanitizer no race may show; everywhere every
// frame must return 1 and the scene must answer normally afterwards.
//
// AVM_STRESS_SECONDS sets the length (default 3 s, for CI); by hand, run
// it for minutes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "avm/bridge/car_selection.h"
#include "avm/bridge/command_table.h"
#include "avm/bridge/frame_clock.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/avm/fake_jni_env.h"
#include "tests/avm/object_mesh_files.h"
#include "tests/support/process_runner.h"

extern "C" {
jint Java_com_kestra_avm_AVM_SetCmd(JNIEnv*, jobject, jint, jint);
jint Java_com_kestra_avm_AVM_SetCar(JNIEnv*, jobject, jstring, jint);
jint Java_com_kestra_avm_AVM_Draw(JNIEnv*, jobject, jintArray);
jint Java_com_kestra_avm_AVM_GenPlate(JNIEnv*, jobject, jint, jstring, jint);
jint Java_com_kestra_avm_AVM_SetTirePressure(JNIEnv*, jobject, jintArray);
jint Java_com_kestra_avm_AVM_SetObj(JNIEnv*, jobject, jobjectArray);
}

namespace {

void NoSleep(uint32_t) {}

int StressSeconds() {
  const char* text = std::getenv("AVM_STRESS_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 3;
}

// Arguments near every range boundary, and anything at all.
jint AnyArgument(std::mt19937& random) {
  static const jint kEdges[] = {0, 1, -1, 2, 5, 15, 20, 45, 90, 127, 255, 256, 1000, 65535,
                                INT32_MAX, INT32_MIN};
  return random() % 3 == 0 ? static_cast<jint>(random()) : kEdges[random() % 16];
}

struct CallCounts {
  std::atomic<long> commands{0};
  std::atomic<long> selections{0};
  std::atomic<long> plates{0};
  std::atomic<long> tyres{0};
  std::atomic<long> objects{0};
};

void JavaThread(unsigned seed, const std::atomic<bool>& stop, CallCounts& counts) {
  FakeJniEnv jni;
  JNIEnv* env = jni.env();
  std::mt19937 random(seed);
  FakeJavaString cars[] = {{"demo.car"}, {"demo"}, {"broken.car"}, {"broken"},
                           {"missing.car"}, {"missing"}, {"../demo"}, {""}};
  FakeJavaString texts[] = {{"AB12345"}, {"XY9876"}, {"A1"}, {"AB 12!?"}, {""},
                            {std::string(300, 'Z')}};
  while (!stop.load(std::memory_order_relaxed)) {
    switch (random() % 5) {
      case 0: {
        // Mostly real command codes, some far outside the table.
        const jint cmd = random() % 8 == 0 ? AnyArgument(random) : static_cast<jint>(random() % 120);
        // Screen modes, view modes and sizes belong to the GL thread's test.
        if (cmd == 0 || cmd == 19 || cmd == 88 || cmd == 89 || cmd == 13 || cmd == 17) {
          break;
        }
        Java_com_kestra_avm_AVM_SetCmd(env, nullptr, cmd, AnyArgument(random));
        ++counts.commands;
        break;
      }
      case 1: {
        FakeJavaString* name = &cars[random() % 8];
        const jint mode = static_cast<jint>(random() % 13) - 1;  // -1..11
        Java_com_kestra_avm_AVM_SetCar(env, nullptr, random() % 16 == 0 ? nullptr : AsJava(name), mode);
        ++counts.selections;
        break;
      }
      case 2: {
        FakeJavaString* text = &texts[random() % 6];
        Java_com_kestra_avm_AVM_GenPlate(env, nullptr, AnyArgument(random) % 40,
                                         random() % 16 == 0 ? nullptr : AsJava(text),
                                         static_cast<jint>(random() % 4));
        ++counts.plates;
        break;
      }
      case 3: {
        // Up to 30 objects of up to 30 ints, some of them null: the slots
        // hold 20 of 20, and the frame draws whatever is stored.
        std::vector<FakeJavaIntArray> inner(random() % 31);
        FakeJavaObjectArray objects;
        for (FakeJavaIntArray& object : inner) {
          object.values.resize(random() % 31);
          for (jint& value : object.values) {
            value = random() % 2 == 0 ? static_cast<jint>(random() % 600) - 100 : AnyArgument(random);
          }
          objects.elements.push_back(random() % 10 == 0 ? nullptr : &object);
        }
        Java_com_kestra_avm_AVM_SetObj(env, nullptr, random() % 16 == 0 ? nullptr : AsJava(&objects));
        ++counts.objects;
        break;
      }
      default: {
        FakeJavaIntArray values;
        values.values.resize(random() % 40);
        for (jint& value : values.values) {
          value = random() % 2 == 0 ? static_cast<jint>(random() % 400) : AnyArgument(random);
        }
        Java_com_kestra_avm_AVM_SetTirePressure(env, nullptr,
                                                random() % 16 == 0 ? nullptr : AsJava(&values));
        ++counts.tyres;
        break;
      }
    }
  }
}

bool EveryKindHadItsTurn(const CallCounts& counts) {
  return counts.commands.load() > 0 && counts.selections.load() > 0 && counts.plates.load() > 0 &&
         counts.tyres.load() > 0 && counts.objects.load() > 0;
}

TEST(JniStress, EveryNativeMethodFromSeveralThreadsWhileFramesDraw) {
  StartTestGlContext();
  TempDir dir;
  const std::string root = MakeAssetRoot(dir.path());
  ASSERT_TRUE(WriteFile(root + "common/demo.car", CarPackage("demo", MakeCarFiles({0, 1, 2, 3}))));
  // A mesh, so that the objects set by the Java threads are really drawn.
  ASSERT_TRUE(WriteFile(root + "common/car.bin", SquareMeshBytes(30.0f, 30.0f)));
  ASSERT_TRUE(WriteFile(root + "common/broken.car", std::string("\x05\0\0\0broken\\", 12)));
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  ASSERT_EQ(AvmSetCar("demo.car", 1), 1);
  ASSERT_EQ(AvmSetCar("demo", 3), 1);
  gFrameClock = FrameClock{GetTickCount, NoSleep};

  FakeJniEnv glJni;
  FakeJavaIntArray textures;
  textures.values = {0, 0, 0, 0};
  std::atomic<bool> stop{false};
  CallCounts counts;
  std::vector<std::thread> java;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    java.emplace_back(JavaThread, seed, std::cref(stop), std::ref(counts));
  }
  static const jint kScreenModes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15, 20, -1, 99};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(StressSeconds());
  long frames = 0;
  int badFrames = 0;
  // The stress length, and then on until every kind of call has been made
  // (see EveryKindHadItsTurn): each thread's turn is checked, not its share.
  while (std::chrono::steady_clock::now() < end || !EveryKindHadItsTurn(counts)) {
    if (frames % 8 == 0) {
      Java_com_kestra_avm_AVM_SetCmd(glJni.env(), nullptr, 0, kScreenModes[(frames / 8) % 15]);
    }
    if (Java_com_kestra_avm_AVM_Draw(glJni.env(), nullptr, frames % 5 == 0 ? nullptr : AsJava(&textures)) != 1) {
      ++badFrames;
    }
    ++frames;
  }
  stop.store(true);
  for (std::thread& thread : java) {
    thread.join();
  }
  std::printf("stress: %d s, %ld frames, %ld commands, %ld selections, %ld plates, %ld tyre arrays, "
              "%ld object arrays\n",
              StressSeconds(), frames, counts.commands.load(), counts.selections.load(),
              counts.plates.load(), counts.tyres.load(), counts.objects.load());
  EXPECT_EQ(badFrames, 0);
  EXPECT_GT(frames, 0);
  // Every kind of call got its turn.
  EXPECT_GT(counts.commands.load(), 0);
  EXPECT_GT(counts.selections.load(), 0);
  EXPECT_GT(counts.plates.load(), 0);
  EXPECT_GT(counts.tyres.load(), 0);
  EXPECT_GT(counts.objects.load(), 0);

  // The scene still answers as after a clean start.
  EXPECT_EQ(AvmSetCmd(84, 0), 127);
  EXPECT_EQ(AvmSetCmd(0, 5), 1);
  EXPECT_EQ(AvmSetCar("demo", 2), 1);
  EXPECT_EQ(AvmSetCar("missing", 2), -5);
  EXPECT_EQ(AvmSetCar("demo", 11), -9);
  EXPECT_EQ(AvmDrawFrame(0), 1);
  EXPECT_EQ(pViewParam->screenMode, 5);
  gFrameClock = FrameClock{GetTickCount, SleepMilliseconds};
}

}  // namespace
