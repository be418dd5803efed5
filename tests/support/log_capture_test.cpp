#include "tests/support/log_capture.h"

#include <android/log.h>
#include <gtest/gtest.h>

#include <thread>

TEST(LogCapture, CapturesExactTextsOfEveryPriorityAndThread) {
  LogCapture capture;
  __android_log_print(ANDROID_LOG_INFO, "KESTRA", "---------AVM_Init time:%d", 12);
  __android_log_print(ANDROID_LOG_DEBUG, "qcam", "debug lines are kept too");
  std::thread other([] { __android_log_print(ANDROID_LOG_ERROR, "qcam", "Error previewformat %d", 7); });
  other.join();

  EXPECT_TRUE(capture.Contains("KESTRA", "---------AVM_Init time:12"));
  EXPECT_TRUE(capture.Contains("qcam", "debug lines are kept too"));
  EXPECT_EQ(capture.Count("qcam", "Error previewformat 7"), 1);
  EXPECT_FALSE(capture.Contains("KESTRA", "Error previewformat 7"));
  EXPECT_EQ(capture.CountPrefix("KESTRA", "---------"), 1);
  const std::vector<LogLine> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].priority, ANDROID_LOG_INFO);
  EXPECT_EQ(lines[1].priority, ANDROID_LOG_DEBUG);
  EXPECT_EQ(lines[2].priority, ANDROID_LOG_ERROR);
}

TEST(LogCapture, SeesOnlyLinesWrittenWhileAlive) {
  __android_log_print(ANDROID_LOG_INFO, "KESTRA", "before");
  const std::vector<LogLine> lines = CaptureLog([] { __android_log_print(ANDROID_LOG_INFO, "KESTRA", "during"); });
  __android_log_print(ANDROID_LOG_INFO, "KESTRA", "after");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message, "during");

  LogCapture capture;
  __android_log_print(ANDROID_LOG_INFO, "KESTRA", "kept");
  capture.Clear();
  EXPECT_TRUE(capture.Lines().empty());
}
