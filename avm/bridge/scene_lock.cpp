#include "avm/bridge/scene_lock.h"

namespace {

// How many SceneLocks this thread holds; the mutex is locked by the first.
thread_local int tSceneLockDepth = 0;

}  // namespace

SceneLock::SceneLock() : nested_(tSceneLockDepth > 0) {
  if (!nested_) {
    gBridge.sceneMutex.lock();
  }
  ++tSceneLockDepth;
}

SceneLock::~SceneLock() {
  --tSceneLockDepth;
  if (!nested_) {
    gBridge.sceneMutex.unlock();
  }
}
