#include "platform/android/window_registry.h"

#include <map>
#include <mutex>

#include "host_platform/host_platform.h"
#include "internal/host_frame_queue.h"
#include "internal/platform_log.h"

// The window record is private to native_window.cpp; the registry keeps the
// count beside the pointer instead of reaching into it.
namespace {

struct Entry {
  ANativeWindow* window;
  int32_t refs;
  bool consumer;
};

std::mutex gRegistryMutex;
std::map<int64_t, Entry> gWindows;
std::map<const ANativeWindow*, int64_t> gIds;
int64_t gNextId = 1;

}  // namespace

void RegisterWindow(ANativeWindow* window) {
  const bool consumer = HostWindow_isConsumer(window) != 0;
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  const int64_t id = gNextId++;
  gWindows[id] = Entry{window, 1, consumer};
  gIds[window] = id;
  // The id is also kept in the window for journal lines.
  SetWindowId(window, id);
}

ANativeWindow* AcquireSurfaceWindow(int64_t id) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  auto found = gWindows.find(id);
  if (found == gWindows.end() || found->second.consumer) {
    return nullptr;
  }
  ++found->second.refs;
  return found->second.window;
}

extern "C" {

void HostWindow_retain(ANativeWindow* window) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  auto id = gIds.find(window);
  if (id == gIds.end()) {
    HOSTPLAT_LOGE("reference taken on a window that does not exist");
    return;
  }
  ++gWindows[id->second].refs;
}

void HostWindow_drop(ANativeWindow* window) {
  {
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    auto id = gIds.find(window);
    if (id == gIds.end()) {
      HOSTPLAT_LOGE("reference dropped on a window that does not exist");
      return;
    }
    Entry& entry = gWindows[id->second];
    if (--entry.refs > 0) {
      return;
    }
    gWindows.erase(id->second);
    gIds.erase(id);
  }
  DestroyWindow(window);
}

int32_t HostWindow_refCount(ANativeWindow* window) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  auto id = gIds.find(window);
  return id == gIds.end() ? 0 : gWindows[id->second].refs;
}

int32_t HostWindow_liveCount(void) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  return static_cast<int32_t>(gWindows.size());
}

}  // extern "C"
