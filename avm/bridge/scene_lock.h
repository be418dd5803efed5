#pragma once
// The scene lock as the renderer's entry points take it.
//
// The frame and the commands call into Java while they hold the lock
// (picture loads, notifications), and an app's handler may call the
// renderer again from inside such a call: draw the radar, build a guide
// track, send a command. That call comes on the thread that already holds
// the lock; waiting for it would wait forever. A SceneLock taken on such a
// thread therefore does not lock again: the call runs inside the critical
// section of the call that holds it, which is as serialised as waiting.
// Entries that cannot run inside another one (a frame inside a frame, an
// initialisation inside a frame) ask nested() and refuse.
#include "avm/bridge/scene_state.h"

class SceneLock {
 public:
  // Locks gBridge.sceneMutex unless this thread holds it through another
  // SceneLock already.
  SceneLock();
  ~SceneLock();
  SceneLock(const SceneLock&) = delete;
  SceneLock& operator=(const SceneLock&) = delete;

  // True when this thread held the lock before: the call came from inside
  // another entry's call into Java.
  bool nested() const { return nested_; }

 private:
  bool nested_;
};
