// Initialisation without a Java VM: the scene it starts, with its textures,
// version line and cleared record, and the asset directories it refuses.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <set>
#include <string>

#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_state.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

// The non-throwing allocation of the whole test program (the library's
// record allocation included) can be made to hand out blocks full of 0xA5.
namespace {
std::atomic<bool> gFillNothrowAllocations{false};
std::atomic<int> gFilledAllocations{0};
}  // namespace

// Built on the throwing form, so that every block is released by the
// ordinary operator delete (AddressSanitizer checks that they match).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  void* block = nullptr;
  try {
    block = ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (gFillNothrowAllocations.load()) {
    std::memset(block, 0xA5, size);
    ++gFilledAllocations;
  }
  return block;
}

void operator delete(void* block, const std::nothrow_t&) noexcept { ::operator delete(block); }

namespace {

class Initialisation : public ::testing::Test {
 protected:
  void SetUp() override { StartTestGlContext(); }
  void TearDown() override { gBridge.initialised.store(1); }
  TempDir dir_;
};

TEST_F(Initialisation, StartsTheSceneWithItsTexturesAndVersion) {
  const std::string root = MakeAssetRoot(dir_.path());
  LogCapture log;
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  const ViewParam* scene = pViewParam;
  EXPECT_STREQ(scene->assetRoot, root.c_str());
  EXPECT_EQ(scene->frameCounter, 0u);
  EXPECT_TRUE(log.Contains("KESTRA", "---------avm.so,version 1.27"));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------AVM_Init time:"), 1);
  std::set<uint32_t> names = {scene->topViewTexture, scene->plateTexture, scene->logoTexture,
                              scene->safeLineTexture, scene->backgroundTexture,
                              scene->volumeLightTexture, scene->singleTexture[1],
                              scene->frameTextures[1][5], scene->tirePanelTextures[3]};
  for (const AngleTexture& angle : scene->angleTextures) {
    names.insert(angle.texture);
    names.insert(angle.second);
  }
  EXPECT_EQ(names.count(0u), 0u);
  EXPECT_EQ(names.size(), 9u + 384u);
  EXPECT_EQ(scene->logoLoaded, 0);
  EXPECT_EQ(scene->firstFrameSeen, 0);
  EXPECT_EQ(gBridge.initialised.load(), 1);
}

TEST_F(Initialisation, RecordStartsClearedWhateverTheHeapHeld) {
  // The record's block comes from the allocator above filled with 0xA5, as
  // a reused heap block might be; reading a freed block back through a plain
  // allocation would not work under AddressSanitizer, whose quarantine never
  // hands a freed block out again.
  const std::string root = MakeAssetRoot(dir_.path());
  const int filledBefore = gFilledAllocations.load();
  gFillNothrowAllocations.store(true);
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  gFillNothrowAllocations.store(false);
  ASSERT_GT(gFilledAllocations.load(), filledBefore) << "the record did not come from the filled heap";
  const ViewParam* scene = pViewParam;
  // Read before any command sets them.
  EXPECT_EQ(scene->logoLuma, 0.0f);
  EXPECT_EQ(scene->carViewActive, 0);
  EXPECT_EQ(scene->tirePanelReady[2], 0);
  EXPECT_EQ(scene->angleLoaded[100].second, 0);
  EXPECT_EQ(scene->objectSlots[19][19], 0);
  EXPECT_EQ(scene->carName[0], '\0');
}

TEST_F(Initialisation, RefusedDirectoriesLeaveTheLibraryUninitialised) {
  gBridge.initialised.store(0);
  ViewParam* before = pViewParam;
  LogCapture log;
  EXPECT_EQ(AvmInitialiseLibrary(nullptr), 0);
  EXPECT_TRUE(log.Contains("KESTRA", "---------error,files_path NULL!"));
  EXPECT_EQ(AvmInitialiseLibrary(""), 0);
  EXPECT_TRUE(log.Contains("KESTRA", "---------error,files_path empty!"));
  // 160 bytes with the separator it gets is the longest accepted.
  const std::string tooLong = "/" + std::string(159, 'd');
  EXPECT_EQ(AvmInitialiseLibrary(tooLong.c_str()), 0);
  EXPECT_TRUE(
      log.Contains("KESTRA", "---------error,files_path too long:161 bytes, at most 160"));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------AVM_Init time:"), 0);
  EXPECT_EQ(pViewParam, before);
  EXPECT_EQ(gBridge.initialised.load(), 0);
  EXPECT_EQ(AvmDrawFrame(-1), -9);

  const std::string longest = "/" + std::string(158, 'd');
  EXPECT_EQ(AvmInitialiseLibrary(longest.c_str()), 1);
  EXPECT_EQ(std::strlen(pViewParam->assetRoot), 160u);
  EXPECT_EQ(pViewParam->assetRoot[159], '/');
}

TEST_F(Initialisation, DirectoryGetsItsClosingSeparator) {
  const std::string root = MakeAssetRoot(dir_.path());
  const std::string withoutSeparator = root.substr(0, root.size() - 1);
  ASSERT_EQ(AvmInitialiseLibrary(withoutSeparator.c_str()), 1);
  EXPECT_STREQ(pViewParam->assetRoot, root.c_str());
}

TEST_F(Initialisation, MissingTestPictureSwitchesTestPictureModeOff) {
  const std::string root = MakeAssetRoot(dir_.path());
  gBridge.testPicture = 1;
  ASSERT_EQ(AvmInitialiseLibrary(root.c_str()), 1);
  gBridge.testPicture = 0;
  EXPECT_EQ(pViewParam->testPictureMode, 0);
  EXPECT_GT(pViewParam->cameraTexture, 0);  // its name was made all the same
}

}  // namespace
