// The object setter through the app's Java class in a real Java VM: what
// it stores in the object slots, and arrays too many, too long or null.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "host/jvm/host_jvm.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kNullInner = -12345;  // marks an inner array sent as null

jclass AvmClass(JNIEnv* env) {
  static jclass type = nullptr;
  if (type == nullptr) {
    jclass local = env->FindClass("com/kestra/avm/AVM");
    type = static_cast<jclass>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
  }
  return type;
}

// AVM.SetObj with one int array per object; an object whose only element
// is kNullInner is sent as a null array; a null pointer sends a null outer
// array.
int SetObjects(const std::vector<std::vector<int>>* objects) {
  JNIEnv* env = StartJavaRenderer();
  jobjectArray outer = nullptr;
  if (objects != nullptr) {
    jclass intArray = env->FindClass("[I");
    outer = env->NewObjectArray(static_cast<jsize>(objects->size()), intArray, nullptr);
    env->DeleteLocalRef(intArray);
    for (std::size_t i = 0; i < objects->size(); ++i) {
      const std::vector<int>& object = (*objects)[i];
      if (object.size() == 1 && object[0] == kNullInner) {
        continue;
      }
      jintArray inner = env->NewIntArray(static_cast<jsize>(object.size()));
      env->SetIntArrayRegion(inner, 0, static_cast<jsize>(object.size()), object.data());
      env->SetObjectArrayElement(outer, static_cast<jsize>(i), inner);
      env->DeleteLocalRef(inner);
    }
  }
  const jmethodID method = env->GetStaticMethodID(AvmClass(env), "SetObj", "([[I)I");
  const int result = env->CallStaticIntMethod(AvmClass(env), method, outer);
  EXPECT_FALSE(HostJvmTakeException(env));
  if (outer != nullptr) {
    env->DeleteLocalRef(outer);
  }
  return result;
}

// An object whose every element tells its slot and place: 1000 * (slot + 1) + k.
std::vector<int> Numbered(int slot, int length) {
  std::vector<int> object(static_cast<std::size_t>(length));
  for (int k = 0; k < length; ++k) {
    object[static_cast<std::size_t>(k)] = 1000 * (slot + 1) + k;
  }
  return object;
}

class ObjectSetter : public ::testing::Test {
 protected:
  void SetUp() override {
    StartJavaRenderer();
    root_ = MakeAssetRoot(dir_.path());
  }
  void Initialise() {
    ASSERT_EQ(JavaInitialise(root_.c_str()), 1);
    scene_ = pViewParam;
  }
  void FillEverySlot() {
    for (auto& slot : scene_->objectSlots) {
      for (int32_t& word : slot) {
        word = 7;
      }
    }
  }
  bool SlotIsEmpty(int slot) const {
    for (int32_t word : scene_->objectSlots[slot]) {
      if (word != 0) {
        return false;
      }
    }
    return true;
  }

  TempDir dir_;
  std::string root_;
  ViewParam* scene_ = nullptr;
};

// Runs first in this program: the library has not been initialised yet.
TEST_F(ObjectSetter, BeforeInitialisationItAnswersMinusNine) {
  ASSERT_EQ(gBridge.initialised.load(), 0) << "must run before any initialisation";
  const std::vector<std::vector<int>> objects = {Numbered(0, 8)};
  EXPECT_EQ(SetObjects(&objects), -9);
  EXPECT_EQ(SetObjects(nullptr), -9);
}

TEST_F(ObjectSetter, ObjectsFillTheirSlotsAndTheRestAreCleared) {
  Initialise();
  FillEverySlot();
  const std::vector<std::vector<int>> objects = {Numbered(0, 8), Numbered(1, 20), Numbered(2, 3)};
  EXPECT_EQ(SetObjects(&objects), 1);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(scene_->objectSlots[0][k], 1000 + k);
  }
  for (int k = 8; k < kObjectSlotWords; ++k) {
    EXPECT_EQ(scene_->objectSlots[0][k], 0) << k;
  }
  EXPECT_EQ(scene_->objectSlots[1][19], 2019);
  EXPECT_EQ(scene_->objectSlots[2][2], 3002);
  EXPECT_EQ(scene_->objectSlots[2][3], 0);
  for (int slot = 3; slot < kObjectSlots; ++slot) {
    EXPECT_TRUE(SlotIsEmpty(slot)) << slot;
  }
}

TEST_F(ObjectSetter, EmptyArrayClearsEverySlot) {
  Initialise();
  FillEverySlot();
  const std::vector<std::vector<int>> none;
  EXPECT_EQ(SetObjects(&none), 1);
  for (int slot = 0; slot < kObjectSlots; ++slot) {
    EXPECT_TRUE(SlotIsEmpty(slot)) << slot;
  }
}

TEST_F(ObjectSetter, MoreThanTwentyObjectsKeepTheFirstTwenty) {
  Initialise();
  LogCapture log;
  std::vector<std::vector<int>> objects;
  for (int slot = 0; slot < 25; ++slot) {
    objects.push_back(Numbered(slot, 4));
  }
  EXPECT_EQ(SetObjects(&objects), 1);
  EXPECT_EQ(scene_->objectSlots[19][0], 20000);
  EXPECT_EQ(scene_->objectSlots[19][3], 20003);
  EXPECT_EQ(log.Count("KESTRA", "---------SetObj:25 objects, the first 20 kept"), 1);
  // What follows the slots in the record is untouched.
  EXPECT_EQ(scene_->partialWheelSpritesPresent, 0);
}

TEST_F(ObjectSetter, LongObjectIsCutAndNullObjectLeavesItsSlotEmpty) {
  Initialise();
  LogCapture log;
  const std::vector<std::vector<int>> objects = {Numbered(0, 64), {kNullInner}, Numbered(2, 5)};
  EXPECT_EQ(SetObjects(&objects), 1);
  EXPECT_EQ(scene_->objectSlots[0][19], 1019);
  EXPECT_EQ(scene_->objectSlots[1][0], 0);  // nothing of object 0 spills over
  EXPECT_TRUE(SlotIsEmpty(1));
  EXPECT_EQ(scene_->objectSlots[2][4], 3004);
  EXPECT_EQ(log.Count("KESTRA", "---------SetObj:object 0 has 64 ints, 20 kept"), 1);
  EXPECT_EQ(log.Count("KESTRA", "---------SetObj:object 1 is null, its slot stays empty"), 1);
}

TEST_F(ObjectSetter, NullArrayIsRefusedAndKeepsTheSlots) {
  Initialise();
  const std::vector<std::vector<int>> objects = {Numbered(0, 4)};
  ASSERT_EQ(SetObjects(&objects), 1);
  LogCapture log;
  EXPECT_EQ(SetObjects(nullptr), 0);
  EXPECT_EQ(scene_->objectSlots[0][0], 1000);
  EXPECT_EQ(log.Count("KESTRA", "---------SetObj:no array"), 1);
}

}  // namespace
