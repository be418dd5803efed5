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

// Marks all twelve cached state images stale. The cache is keyed only by
// blink phase and wheel frame, so whoever changes anything else they show
// (angle, doors, lamps, beams, steer set, car) calls this, and the next
// frame at rest on a state angle composes its slot afresh.
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
