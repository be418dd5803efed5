#pragma once
// Where the radar segments and walls land: pure geometry from the scene's
// car size, sensor values and radar textures, so that it can be checked
// without drawing.
#include <cstdint>

struct ViewParam;

// The most quads one display draws: one per sensor.
constexpr int kRadarSensors = 8;
constexpr int kRadarPeriod = 13;

struct RadarQuad {
  uint32_t texture;
  float positions[12];  // four vertices of x, y, z, in strip order
  int sensor;           // 0..7
};

// The blink cycle of one routine: shown for 12 calls, hidden for 13, shown
// for 13...
struct RadarBlink {
  uint32_t counter = 0;
  int sign = 1;
};
// Advances the cycle by one call; true when this call draws.
bool RadarBlinkStep(RadarBlink* blink);

// The distance zone of a value in centimetres: 2 nearest (below 34),
// 1 (up to 100), 0 (up to 150); -1 for a value that shows no wall.
int RadarDistanceZone(int32_t centimetres);

// The index into radarTextures of a level segment, or -1 when the level
// shows nothing. Levels above 3 show as 3.
int RadarLevelImage(int32_t level, bool middle);

// The level segments of every sensor with a level; returns how many were
// written into quads (at most kRadarSensors).
int BuildRadarLevelQuads(const ViewParam* scene, RadarQuad* quads);
// The distance walls of every sensor with a distance of 1 to 150.
int BuildRadarWallQuads(const ViewParam* scene, RadarQuad* quads);
