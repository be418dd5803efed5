#include "quadcam/listener_gate.h"

#include <condition_variable>
#include <mutex>

namespace {

struct Gate {
  bool open = false;
  int32_t inside = 0;
};

std::mutex gGateMutex;
std::condition_variable gGateLeft;
Gate gGates[4];

bool ValidSlot(int32_t slot) { return slot >= 0 && slot < 4; }

}  // namespace

void OpenListenerGate(int32_t slot) {
  if (!ValidSlot(slot)) {
    return;
  }
  std::lock_guard<std::mutex> lock(gGateMutex);
  gGates[slot].open = true;
}

bool EnterListenerGate(int32_t slot) {
  if (!ValidSlot(slot)) {
    return false;
  }
  std::lock_guard<std::mutex> lock(gGateMutex);
  if (!gGates[slot].open) {
    return false;
  }
  ++gGates[slot].inside;
  return true;
}

void LeaveListenerGate(int32_t slot) {
  if (!ValidSlot(slot)) {
    return;
  }
  std::lock_guard<std::mutex> lock(gGateMutex);
  --gGates[slot].inside;
  gGateLeft.notify_all();
}

void ShutListenerGate(int32_t slot) {
  if (!ValidSlot(slot)) {
    return;
  }
  std::unique_lock<std::mutex> lock(gGateMutex);
  gGates[slot].open = false;
  gGateLeft.wait(lock, [slot] { return gGates[slot].inside == 0; });
}
