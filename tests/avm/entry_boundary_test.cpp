// The two rules every entry point of the renderer follows, at their lowest
// level: nothing thrown below an entry leaves it (its failure value and one
// log line per failing state instead, the scene lock given back), and the
// scene lock taken on a thread that holds it already goes on instead of
// waiting for itself.
#include <gtest/gtest.h>

#include <new>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <thread>

#include "avm/common/entry_boundary.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/log_capture.h"

namespace {

enum class Throw { kNothing, kRuntimeError, kBadAlloc, kLibraryError, kNotAnException };

// One entry point whose body throws as asked, holding the scene lock.
int Entry(Throw what) {
  return GuardEntry("TestEntry", -7, [what] {
    SceneLock lock;
    switch (what) {
      case Throw::kRuntimeError:
        throw std::runtime_error("broken");
      case Throw::kBadAlloc:
        throw std::bad_alloc();
      case Throw::kLibraryError:
        cv::error(cv::Error::StsNoMem, "no memory", "Entry", "here.cpp", 1);
      case Throw::kNotAnException:
        throw 42;
      case Throw::kNothing:
        break;
    }
    return 1;
  });
}

TEST(EntryBoundary, WhatIsThrownBelowBecomesTheFailureValueAndOneLine) {
  LogCapture log;
  for (int call = 0; call < 100; ++call) {
    ASSERT_EQ(Entry(Throw::kRuntimeError), -7);
  }
  EXPECT_EQ(log.Count("KESTRA", "---------TestEntry:failed,broken"), 1);
  EXPECT_TRUE(SceneLockFreeForOthers()) << "the lock was not given back";
  ASSERT_EQ(Entry(Throw::kNothing), 1);
  ASSERT_EQ(Entry(Throw::kNothing), 1);
  EXPECT_EQ(log.Count("KESTRA", "---------TestEntry:works again"), 1);
  // Each kind of exception, and a change of kind, is a line of its own.
  EXPECT_EQ(Entry(Throw::kBadAlloc), -7);
  EXPECT_EQ(Entry(Throw::kBadAlloc), -7);
  EXPECT_EQ(Entry(Throw::kLibraryError), -7);
  EXPECT_EQ(Entry(Throw::kNotAnException), -7);
  EXPECT_EQ(Entry(Throw::kRuntimeError), -7);
  EXPECT_EQ(log.Count("KESTRA", "---------TestEntry:failed,std::bad_alloc"), 1);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------TestEntry:failed,OpenCV"), 1);
  EXPECT_EQ(log.Count("KESTRA", "---------TestEntry:failed,unknown exception"), 1);
  EXPECT_EQ(log.Count("KESTRA", "---------TestEntry:failed,broken"), 2);
  EXPECT_TRUE(SceneLockFreeForOthers());
}

TEST(EntryBoundary, EntriesWithoutAResultStopQuietlyToo) {
  LogCapture log;
  int ran = 0;
  for (int call = 0; call < 3; ++call) {
    GuardEntry("TestVoidEntry", [&ran] {
      ++ran;
      throw std::length_error("too long");
    });
  }
  EXPECT_EQ(ran, 3);
  EXPECT_EQ(log.Count("KESTRA", "---------TestVoidEntry:failed,too long"), 1);
}

TEST(SceneLock, TakenAgainOnTheThreadThatHoldsItGoesOn) {
  {
    SceneLock outer;
    EXPECT_FALSE(outer.nested());
    {
      SceneLock inner;
      EXPECT_TRUE(inner.nested());
      EXPECT_FALSE(SceneLockFreeForOthers());
    }
    // The inner one gave nothing back: the outer still holds the lock.
    EXPECT_FALSE(SceneLockFreeForOthers());
  }
  EXPECT_TRUE(SceneLockFreeForOthers());
  // Another thread is not nested: it waits for the holder as before.
  std::thread other([] {
    SceneLock lock;
    EXPECT_FALSE(lock.nested());
  });
  other.join();
}

}  // namespace
