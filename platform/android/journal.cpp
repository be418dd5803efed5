// Lifecycle calls in the order they happened, across the three stand-in
// libraries, so tests can check the order in which a caller sets up and
// tears down its platform objects.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "host_platform/host_platform.h"
#include "internal/host_frame_queue.h"

namespace {

std::atomic<bool> gEnabled{false};
std::mutex gJournalMutex;
std::vector<std::string> gEntries;

}  // namespace

extern "C" {

void HostJournal_enable(int32_t enabled) { gEnabled = enabled != 0; }

void HostJournal_clear(void) {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  gEntries.clear();
}

size_t HostJournal_count(void) {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  return gEntries.size();
}

size_t HostJournal_entry(size_t index, char* text, size_t capacity) {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  if (index >= gEntries.size()) {
    if (text != nullptr && capacity > 0) {
      text[0] = '\0';
    }
    return 0;
  }
  const std::string& entry = gEntries[index];
  if (text != nullptr && capacity > 0) {
    const size_t n = entry.size() < capacity - 1 ? entry.size() : capacity - 1;
    std::memcpy(text, entry.data(), n);
    text[n] = '\0';
  }
  return entry.size();
}

void HostJournal_record(const char* function, const char* objectFormat, ...) {
  if (!gEnabled) {
    return;
  }
  char object[128];
  va_list args;
  va_start(args, objectFormat);
  std::vsnprintf(object, sizeof(object), objectFormat, args);
  va_end(args);
  std::string entry = function;
  if (object[0] != '\0') {
    entry += ' ';
    entry += object;
  }
  std::lock_guard<std::mutex> lock(gJournalMutex);
  gEntries.push_back(std::move(entry));
}

}  // extern "C"
