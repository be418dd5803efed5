#pragma once
// Loaders of the composed car images: the top view for any door
// combination, and the state images of the eight state angles with wheels
// of one animation frame, lamps of one blink phase and open doors. Each
// decodes a base image, pastes overlays onto a working copy and uploads it
// into the texture it is given, and returns that texture. GL thread only,
// inside a frame (scene lock held).

// Writes the path of the top image fileName ("top0100.kes") of the selected
// car into out (256 bytes), in the scene's layout. Returns 1.
int get_top_name(char* out, const char* fileName);

// The top view for the current doorOpen flags, joined from the car's six
// top images where the combination has no file of its own.
int load_texture_top(int texture);

// Side images: side 0 angle 130 (left sets), side 1 angle 158 (right sets),
// with the front wheel turned by steerAngle.
int load_textureLR(int side, int wheelFrame, int blinkPhase, int texture);

// The steer set (10, 20, 30; 0 for the straight wheel) of the front wheel
// that the side image of side 0 or 1 shows for a steering angle in degrees.
int FrontWheelSteerSet(int side, double steerAngle);

// End images: side 0 angle 144 (back), side 1 angle 54 (front); wheelFrame
// is ignored.
int load_textureFB(int side, int wheelFrame, int blinkPhase, int texture);

// Open doors: view 1 angle 130, view 2 angle 158, view 0 the top view.
int load_texture_doors(int view, int blinkPhase, int texture);

// Open doors at the ends: view 1 angle 54, view 2 angle 144.
int load_texture_doors2(int view, int blinkPhase, int texture);

// Partial views 0, 24, 72 and 96: per-angle wheel sets, and at 72 beams,
// indicators and (doorMode 1) doors.
int load_textureSome(int angle, int wheelFrame, int blinkPhase, int doorMode, int texture);
