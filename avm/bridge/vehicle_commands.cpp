// Vehicle state from the car: gear, speed, steering, doors and lamps.

#include "avm/bridge/command_handlers.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/frame_loop.h"

// 1: gear, 1 = reverse. Reverse engaged during a rotation show is reported
// when the show ends.
int CmdGear(int32_t arg) {
  ViewParam* scene = pViewParam;
  AvmSetTireAngle(static_cast<float>(scene->steerAngle), arg);
  if (arg == 1 && scene->rotationShow == 1) {
    scene->rotationReverseSeen = 1;
  }
  return 1;
}

// 2: speed. Lock-free into the published record: the frame reads the
// value once per frame. While a re-initialisation builds the next record
// nothing is published; the speed then waits for the lock and goes into
// the finished record instead of the old one or a half-built one.
int CmdSpeed(int32_t arg) {
  ViewParam* scene = gPublishedScene.load(std::memory_order_acquire);
  if (scene != nullptr) {
    scene->vehicleSpeed.store(arg, std::memory_order_relaxed);
    return 1;
  }
  SceneLock lock;
  pViewParam->vehicleSpeed.store(arg, std::memory_order_relaxed);
  return 1;
}

// 3: steering angle in degrees, signed.
int CmdSteering(int32_t arg) {
  AvmSetTireAngle(static_cast<float>(arg), pViewParam->reverseGear);
  return 1;
}

// 4: doors, bit i = door i open.
int CmdDoors(int32_t arg) {
  ViewParam* scene = pViewParam;
  for (int door = 0; door < 4; ++door) {
    scene->doorOpen[door] = (arg >> door) & 1;
  }
  scene->topViewDirty = 1;
  DropStateImages(scene);
  return 1;
}

// 6: lamps, 0 off, 1 left, 2 right, 3 both.
int CmdLamps(int32_t arg) {
  if (!ArgInRange(arg, 0, 3)) {
    return 1;
  }
  ViewParam* scene = pViewParam;
  scene->lampState = arg;
  DropStateImages(scene);
  return 1;
}
