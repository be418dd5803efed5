#pragma once
// One gate per camera slot between its image listener and closeCamera.
//
// The platform calls a reader's listener on a thread of its own, and frames
// keep arriving for a moment after stopRepeating, even after the camera has
// closed. AImageReader_delete holds the reader's lock while it waits for a
// running listener, and the listener needs that lock to acquire and delete
// its image: a listener still running when close deletes its reader
// deadlocks close. So close shuts the slot's gate before it deletes the
// reader, waiting for a listener inside to leave; a listener that finds the
// gate shut returns without touching its reader.
#include <cstdint>

// Opens slot 0..3's gate (before its listener is set).
void OpenListenerGate(int32_t slot);
// A listener enters before it touches its reader: false when the gate is
// shut, and the listener must return at once.
bool EnterListenerGate(int32_t slot);
void LeaveListenerGate(int32_t slot);
// Shuts slot 0..3's gate and waits until no listener is inside it. A
// listener only composes one frame inside, so the wait is short.
void ShutListenerGate(int32_t slot);
