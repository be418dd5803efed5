#pragma once
// Parking guide lines that bend with the steering angle: arcs around the
// turning centre for a steered car, straight bands for a car driving
// straight. Each operation draws up to four lines (an outer and an inner
// line, and with the extra lines switched on by command 67 a second pair)
// through its TrackDrawer, in scene coordinates (centimetres, y along the
// car, the car's centre at the origin) through the given view and
// projection matrices.
//
// GL thread only, with the renderer's context current: after the
// renderer's frame, or from inside one of its calls into Java (a picture
// load or a notification), where a track draws within that frame. Every
// operation holds the renderer's scene lock while it reads the scene and
// draws. A track, and the drawer it owns, is destroyed on the GL thread
// with the same context current: the drawer gives its GL buffers and
// program back then. A track object rebuilds
// its lines only when told the steering changed: attach it with
// AvmAttachGuideTrack so that the steering and gear commands tell it, or
// call drawer->markGeometryDirty() after a change.
#include <stdint.h>

#include "avm_track_drawer.h"

class AvmTrack {
 public:
  AvmTrack();
  ~AvmTrack();  // detaches itself when attached, destroys the drawer
  AvmTrack(const AvmTrack&) = delete;
  AvmTrack& operator=(const AvmTrack&) = delete;

  // [1] y of the front reference line, [2] y of the rear axle, [3] width
  // of the extra lines, [4] used by the rear arcs; [0] and [5] are kept.
  void SetTrackParams(float params[6]);

  // Arcs for a steering angle in degrees. An angle of 0 (or one so small
  // that the turning radius is not finite) draws nothing: use Front/Back.
  void FrontLeft(float* view, float* proj, float steer);
  void FrontRight(float* view, float* proj, float steer);
  void BackLeft(float* view, float* proj, float steer);
  void BackRight(float* view, float* proj, float steer);
  // Straight bands ahead of (Front) or behind (Back) the car; they run
  // backwards while the reverse gear is in.
  void Front(float* view, float* proj);
  void Back(float* view, float* proj);

  float lineWidth;
  float lineLength;
  float trackParams[6];
  float carWidth;
  float carLength;
  float wheelbase;   // front reference line to rear axle
  float sideOffset;  // a third of the extra lines' width
  TrackDrawer* drawer;
};

// Every function and operation here keeps the renderer's failures to
// itself: nothing is thrown to the caller; a failure inside is logged and a
// function then returns 0.
extern "C" {

// Attaches the track whose drawer the steering and gear commands mark for
// rebuilding (null detaches). Returns 1, -9 before initialisation.
int AvmAttachGuideTrack(AvmTrack* track);
// The textures of the guide lines: main for slots 0 to 5, extraA for the
// extra lines when command 67 gives 1, extraB otherwise. Takes effect for
// drawers created afterwards and for the attached one. Returns 1, -9 before
// initialisation.
int AvmSetTrackTextures(uint32_t main, uint32_t extraA, uint32_t extraB);
// The view and projection matrices of the last frame (16 floats each), so
// that the guide lines line up with the car the frame drew. Returns 1, 0
// for a null pointer, -9 before initialisation.
int AvmGetFrameMatrices(float* view, float* proj);

}  // extern "C"
