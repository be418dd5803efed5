#pragma once
// Captures the Android log lines that the code under test writes, from any
// thread of the process, so tests can assert on exact texts. The lines still
// reach standard error as the host log library prints them.
#include <string>
#include <vector>

struct LogLine {
  int priority;  // ANDROID_LOG_DEBUG (3), ANDROID_LOG_INFO (4), ANDROID_LOG_ERROR (6), ...
  std::string tag;
  std::string message;
};

class LogCapture {
 public:
  // Starts capturing; lines of every priority are captured while it lives.
  // Only one capture may be alive at a time.
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogLine> Lines() const;
  // Messages of one tag, in the order they were written.
  std::vector<std::string> Messages(const std::string& tag) const;
  // Number of lines of that tag whose message is exactly the given text.
  int Count(const std::string& tag, const std::string& message) const;
  bool Contains(const std::string& tag, const std::string& message) const {
    return Count(tag, message) > 0;
  }
  // Number of lines of that tag whose message starts with the given text.
  int CountPrefix(const std::string& tag, const std::string& prefix) const;
  void Clear();

 private:
  int savedMinimumPriority_;
};

// The log lines written while call() runs.
template <typename Call>
std::vector<LogLine> CaptureLog(Call&& call) {
  LogCapture capture;
  call();
  return capture.Lines();
}
