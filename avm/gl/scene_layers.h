#pragma once
// The layers drawn around and under the car: the background picture, the
// scrolling roadway and lane lines on the ground, the car's shadow, the
// other car and the headlight beams, the logo screen and a guide-line
// picture. Each is drawn with the matrices the car view wrote for the frame.
#include <cstdint>

// The background picture over the whole viewport, when backgroundMode
// allows it. The argument is not used.
void DrawBackground(int unused);

// 25 roadway tiles and 18 lane-line tiles on the ground plane, scrolled by
// the speed. The argument is not used.
void DrawRoadway(int unused);
void DrawLaneline(int unused);

// The shadow under the car: the picture, or a flat grey rectangle when
// carBottomIndex is 3. top is 1 in the 2D top view (scaled by topScale).
void DrawCarBottomShadow(int top);

// The logo screen (screen mode 20): common/logo.png, loaded once through
// Java, over the whole viewport, brightened by logoLuma.
void DrawLogo();

// The other car (color/warning2.kes) and the light beams (color/light2.kes
// at 144, color/light1.kes at 72), each over the frame of the camera that
// rendered the sprites; loaded once until a selection or an angle command.
void DrawAiCar();
void DrawVoumeLight();

// The guide-line picture over the whole viewport through the car program.
void DrawLine();

// 0 for a standing car, then 1..4 from slow to fast: the step by which the
// ground scrolls per frame.
int GroundSpeedClass(int32_t vehicleSpeed);

// The scroll phases (0..100) of the roadway and the lane lines; they live
// for the life of the library.
extern int32_t gRoadwayPhase;
extern int32_t gLanePhase;
