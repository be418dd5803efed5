#pragma once
// The body of every frame and the two routines around it that forget the
// loaded car images and set the steering.
#include <cstdint>

struct ViewParam;

// State angles: the sprite angles at which the car is composed with its
// moving parts.
bool IsStateAngle(int angle);

// One frame: clears it and draws the layers of the current screen mode.
// GL thread, scene lock held. Returns 1.
int AvmDraw();

// Marks all twelve cached state images stale; the one place that does.
// The cache (frameLoaded, frameTextures) is keyed only by blink phase and
// wheel frame, not by angle, doors, lamps, beams, steering or car, so
// whoever changes one of those must call this: initialisation, car
// selection, the door, lamp, headlight-beam, target-angle and view-reset
// commands, the demo's door steps, and AvmSetTireAngle on a change of steer
// set or, in screen modes 6 and 7, of any steering. The next frame at rest
// on a state angle then composes its slot afresh.
void DropStateImages(ViewParam* scene);

// Forgets every loaded whole-car image so that the angles load again.
// Returns 0.
int resetCarModle();

// Sets steerAngle (clamped to -32..32 degrees) and reverseGear, and drops
// what depends on them. Returns 1.
int AvmSetTireAngle(float angle, int direction);

// The wheel animation: moving frames counted at a state angle, and the total
// of wheel steps (wheelFrame is this modulo 6). Neither is ever reset.
extern uint32_t gWheelTickCounter;
extern uint32_t gWheelPhase;
