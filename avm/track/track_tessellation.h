#pragma once
// The vertices of one guide line, as pure arithmetic: 51 pairs of an inner
// and an outer vertex (x, y, z) forming a triangle strip along an arc or a
// straight band, and the texture coordinates shared by every line.
#include <cstdint>

constexpr int kTrackSegments = 50;
constexpr int kTrackPairs = kTrackSegments + 1;
constexpr int kTrackVertices = 2 * kTrackPairs;
constexpr int kTrackFloats = 3 * kTrackVertices;

struct TrackLineShape {
  float centerX;
  float centerY;
  float startAngle;  // degrees
  float direction;   // +1 or -1
  float radius;
  float length;
  float halfWidth;
};

// The scene values that move a line onto the car's end in the two track
// modes, and that set the sense of a straight band.
struct TrackSceneModes {
  int32_t trackModeA;
  int32_t trackModeB;
  int32_t screenMode;
  int32_t trackMirror;
  int32_t carLength;
  int32_t reverseGear;
};

// Fills out with kTrackFloats floats. Returns false when the line gives a
// vertex that is not finite (an infinite radius, a zero radius), and then
// out is not to be used.
bool TessellateArc(const TrackLineShape& line, const TrackSceneModes& modes, float* out);
bool TessellateBand(const TrackLineShape& line, const TrackSceneModes& modes, float* out);

// Texture coordinates: s across the band (0 inner, 1 outer), t along it.
void TrackTexCoords(float* out);  // 2 * kTrackVertices floats
