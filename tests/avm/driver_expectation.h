#pragma once
// What the inputs sent so far say the driver must see: the view's target,
// the steering, doors, lamps, beams, speed and screen mode as the driver set
// them, and what the demonstration changes on its own, frame by frame. The
// frame loop's own rules (wheel and blink counters, the image cache) are
// deliberately not modelled: the checks ask only what a driver can tell.
#include <cstdint>
#include <set>

#include "tests/avm/driver_sequence.h"

struct Expectation {
  int target = 0;  // sprite angle the view turns to and rests on
  bool smooth = true;
  double steering = 0.0;
  int doors = 0;  // bit i = door i open
  int lamps = 0;
  bool beams = false;
  int32_t speed = 0;
  int mode = 5;
  bool demo = false;
  // Frames of the 3D modes since the target last changed: a turn takes at
  // most one frame per sprite angle.
  int turnFrames = 0;
  // Moves on with every input or frame after which a wheel may show another
  // frame: motion above 1500, a change of direction, doors opening or
  // closing (pictures with open doors show wheels of their own).
  uint64_t wheelEpoch = 0;

  // The step's input was sent and answered with result.
  void Sent(const Step& step, int result);
  // Frame n of the frame counter is being drawn: what the demonstration
  // changes before it draws.
  void Frame(uint32_t n);
};

// State angles: where the car is composed from its moving parts.
bool IsStateAngle3D(int angle);

// The steer set (0 straight, 10, 20, 30) of the front wheel that the side
// view of angle 130 or 158 shows for a steering angle: the angle as the
// renderer keeps it (within +-32 degrees), truncated.
int SteerSetFor(int angle, double steering);

// The lamps (sample kit LampIndex values) that may light at a state angle:
// the indicators the lamp state lets blink there, and the beams of 72
// while they are on.
std::set<int> LampsAllowed(int angle, int lamps, bool beams);
bool IsBeam(int lamp);
