#include "tests/support/log_capture.h"

#include <android/log.h>

#include <cassert>
#include <mutex>

namespace {

std::mutex gMutex;
std::vector<LogLine>* gLines = nullptr;  // non-null while a capture is alive

void CapturingLogger(const __android_logger_data* data, const char* message) {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gLines != nullptr) {
      gLines->push_back(LogLine{data->priority, data->tag != nullptr ? data->tag : "",
                                message != nullptr ? message : ""});
    }
  }
  __android_log_stderr_logger(data, message);
}

}  // namespace

LogCapture::LogCapture() {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    assert(gLines == nullptr && "one LogCapture at a time");
    gLines = new std::vector<LogLine>();
  }
  savedMinimumPriority_ = __android_log_get_minimum_priority();
  __android_log_set_minimum_priority(ANDROID_LOG_VERBOSE);
  __android_log_set_logger(CapturingLogger);
}

LogCapture::~LogCapture() {
  __android_log_set_logger(__android_log_stderr_logger);
  __android_log_set_minimum_priority(savedMinimumPriority_);
  std::lock_guard<std::mutex> lock(gMutex);
  delete gLines;
  gLines = nullptr;
}

std::vector<LogLine> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(gMutex);
  return *gLines;
}

std::vector<std::string> LogCapture::Messages(const std::string& tag) const {
  std::vector<std::string> messages;
  std::lock_guard<std::mutex> lock(gMutex);
  for (const LogLine& line : *gLines) {
    if (line.tag == tag) {
      messages.push_back(line.message);
    }
  }
  return messages;
}

int LogCapture::Count(const std::string& tag, const std::string& message) const {
  int count = 0;
  std::lock_guard<std::mutex> lock(gMutex);
  for (const LogLine& line : *gLines) {
    if (line.tag == tag && line.message == message) {
      ++count;
    }
  }
  return count;
}

int LogCapture::CountPrefix(const std::string& tag, const std::string& prefix) const {
  int count = 0;
  std::lock_guard<std::mutex> lock(gMutex);
  for (const LogLine& line : *gLines) {
    if (line.tag == tag && line.message.compare(0, prefix.size(), prefix) == 0) {
      ++count;
    }
  }
  return count;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(gMutex);
  gLines->clear();
}
