#include <cmath>
#include <new>

#include "avm/common/entry_boundary.h"
#include "avm/bridge/lifecycle.h"
#include "avm/bridge/scene_lock.h"
#include "avm/bridge/scene_state.h"
#include "avm/common/numbers.h"
#include "avm/include/avm_track.h"

namespace {

constexpr float kDefaultLineWidth = 5.0f;
constexpr float kDefaultLineLength = 500.0f;
constexpr float kDefaultParams[6] = {76.5f, 171.0f, -158.8f, 25.9f, 72.2f, 83.9f};
// The start values of the scene's car size, for a track made before the
// renderer is initialised.
constexpr int32_t kDefaultCarWidth = 190;
constexpr int32_t kDefaultCarLength = 523;
// Line slots: main lines 0 and 1, extra lines 6 and 7, shifted per mode.
constexpr int32_t kOuterSlot = 0;
constexpr int32_t kInnerSlot = 1;
constexpr int32_t kFirstExtraSlot = 6;
constexpr int32_t kSecondExtraSlot = 7;
// In track mode A the inner lines are drawn only for moderate steering.
constexpr float kMildMainSteer = 20.0f;
constexpr float kMildExtraSteer = 25.0f;

float Degrees(float radians) { return static_cast<float>(radians / kPi * 180.0); }

// What one operation needs of the scene, read once under the lock.
struct TrackCall {
  int32_t slotShift;
  int32_t trackModeA;
  bool extraLines;
};

TrackCall CallOf(const ViewParam* scene) {
  TrackCall call{};
  call.slotShift = scene->trackModeA != 0 ? 2 : (scene->trackModeB != 0 ? 4 : 0);
  call.trackModeA = scene->trackModeA;
  call.extraLines = scene->trackExtraLines == 1 || scene->trackExtraLines == 2;
  return call;
}

bool MildSteering(const TrackCall& call, float steer, float limit) {
  if (call.trackModeA == 0) {
    return true;
  }
  return call.trackModeA == 1 && std::fabs(steer) < limit;
}

// The turning radius around the centre on the rear axle; not finite for a
// car driving straight.
float TurningRadius(float wheelbase, float steer) {
  return static_cast<float>(wheelbase / std::tan(steer * kPi / 180.0));
}

struct ArcLine {
  float startAngle;
  float radius;
  float length;
  int32_t slot;
};

void DrawArc(TrackDrawer* drawer, float* view, float* proj, const ArcLine& line) {
  drawer->startAngle = line.startAngle;
  drawer->radius = line.radius;
  drawer->length = line.length;
  drawer->slot = line.slot;
  drawer->draw(view, proj, 0);
}

void DrawBand(TrackDrawer* drawer, float* view, float* proj, float centerX, int32_t slot) {
  drawer->centerX = centerX;
  drawer->slot = slot;
  drawer->draw(view, proj, 1);
}

// The car's size from the scene once the library is initialised; the
// defaults stay before. Scene lock held by the caller.
void TakeCarSize(AvmTrack* track) {
  if (Initialised() && pViewParam != nullptr) {
    track->carWidth = static_cast<float>(pViewParam->carWidth);
    track->carLength = static_cast<float>(pViewParam->carLength);
  }
}

}  // namespace

AvmTrack::AvmTrack()
    : lineWidth(kDefaultLineWidth),
      lineLength(kDefaultLineLength),
      trackParams{},
      carWidth(static_cast<float>(kDefaultCarWidth)),
      carLength(static_cast<float>(kDefaultCarLength)),
      wheelbase(0.0f),
      sideOffset(0.0f),
      drawer(nullptr) {
  for (int i = 0; i < 6; ++i) {
    trackParams[i] = kDefaultParams[i];
  }
  wheelbase = trackParams[1] - trackParams[2];
  sideOffset = trackParams[3] / 3.0f;
  // A track whose construction failed has no drawer and draws nothing.
  GuardEntry("AvmTrack", [this] {
    SceneLock lock;
    TakeCarSize(this);
    drawer = new (std::nothrow) TrackDrawer(lineWidth);
  });
}

AvmTrack::~AvmTrack() {
  GuardEntry("~AvmTrack", [this] {
    SceneLock lock;
    // The steering commands must never mark a track that is gone.
    if (pViewParam != nullptr && pViewParam->guideTrack == this) {
      pViewParam->guideTrack = nullptr;
    }
  });
  // Its buffers and program go with it (GL thread, as every track call).
  delete drawer;
}

void AvmTrack::SetTrackParams(float params[6]) {
  GuardEntry("AvmTrack::SetTrackParams", [&] {
    if (params == nullptr) {
      return;
    }
    lineLength = kDefaultLineLength;
    for (int i = 0; i < 6; ++i) {
      trackParams[i] = params[i];
    }
    {
      SceneLock lock;
      TakeCarSize(this);
    }
    wheelbase = params[1] - params[2];
    sideOffset = params[3] / 3.0f;
  });
}

namespace {

// The start both arc sets share: the turning radius R, what the operation
// needs of the scene, and the arcs' centre on the line of the rear axle, on
// the side the car turns to. False when the scene is gone or the car drives
// straight (no finite radius): then nothing is drawn.
bool BeginArcs(AvmTrack* track, float steer, bool left, float direction, float* R,
               TrackCall* call) {
  const ViewParam* scene = pViewParam;
  *R = TurningRadius(track->wheelbase, steer);
  if (scene == nullptr || !std::isfinite(*R)) {
    return false;
  }
  *call = CallOf(scene);
  const float halfWidth = track->carWidth * 0.5f;
  TrackDrawer* drawer = track->drawer;
  drawer->direction = direction;
  drawer->centerY = track->trackParams[2];
  drawer->centerX = left ? -(*R - halfWidth) : *R - halfWidth;
  return true;
}

// The front arcs of both sides around a centre on the line of the rear
// axle, on the side the car turns to: left runs anticlockwise from near 0
// degrees, right clockwise from near 180 (its start angles mirror the
// left's). The left inner line and the right outer one are set off by half
// a line width, as the lines were first laid out.
void DrawFrontArcs(AvmTrack* track, float* view, float* proj, float steer, bool left) {
  TrackDrawer* drawer = track->drawer;
  float R = 0.0f;
  TrackCall call{};
  if (!BeginArcs(track, steer, left, left ? 1.0f : -1.0f, &R, &call)) {
    return;
  }
  const float W = track->carWidth;
  const float wb = track->wheelbase;
  const float q = track->sideOffset;
  const float ew = track->trackParams[3];
  const float len = track->lineLength;
  const float halfLine = track->lineWidth * 0.5f;
  const auto start = [left](float radians) {
    return left ? Degrees(radians) : 180.0f - Degrees(radians);
  };

  float a = std::atan(wb / (R + q));
  DrawArc(drawer, view, proj,
          {start(a), wb / std::sin(a) + (left ? 0.0f : halfLine), len * (std::sin(a) + 1.0f),
           kOuterSlot + call.slotShift});
  if (MildSteering(call, steer, kMildMainSteer)) {
    if (left) {
      a = std::atan(wb * 0.5f / (R - W - q));
    } else {
      // This one angle is taken in double, as the lines were first laid out.
      a = static_cast<float>(std::atan(static_cast<double>(wb * 0.5f / (R - W - q))));
    }
    DrawArc(drawer, view, proj,
            {start(a), wb * 0.5f / std::sin(a) - (left ? halfLine : 0.0f),
             len * (std::cos(a) * 0.5f + 1.0f), kInnerSlot + call.slotShift});
  }
  if (call.extraLines) {
    drawer->extraWidth = ew;
    a = std::atan(wb / (R - ew * 0.5f));
    DrawArc(drawer, view, proj,
            {start(a), wb / std::sin(a), len * (std::sin(a) + 1.0f),
             kFirstExtraSlot + call.slotShift});
    if (MildSteering(call, steer, kMildExtraSteer)) {
      a = std::atan(wb / (R - W + ew * 0.5f));
      DrawArc(drawer, view, proj,
              {start(a), wb / std::sin(a), len * (std::sin(a) + 1.0f),
               kSecondExtraSlot + call.slotShift});
    }
  }
  drawer->markModeCurrent();
}

// The rear arcs of both sides: left runs clockwise from 0 degrees, right
// anticlockwise from 180 degrees around a centre on the other side.
void DrawRearArcs(AvmTrack* track, float* view, float* proj, float steer, bool left) {
  TrackDrawer* drawer = track->drawer;
  float R = 0.0f;
  TrackCall call{};
  if (!BeginArcs(track, steer, left, left ? -1.0f : 1.0f, &R, &call)) {
    return;
  }
  const float W = track->carWidth;
  const float L = track->carLength;
  const float q = track->sideOffset;
  const float ry = track->trackParams[2];
  const float ew = track->trackParams[3];
  const float p4 = track->trackParams[4];
  const float len = track->lineLength;
  const float flat = left ? 0.0f : 180.0f;

  const float d = static_cast<float>((L * 0.5 - ry) - p4 * 0.5);
  const float g = std::atan(d / (R + q));
  DrawArc(drawer, view, proj, {flat, R - W - q, len, kOuterSlot + call.slotShift});
  DrawArc(drawer, view, proj,
          {left ? Degrees(g) : 180.0f - Degrees(g), d / std::sin(g),
           (d + len) * (std::sin(g) * 0.25f + 1.0f), kInnerSlot + call.slotShift});
  if (call.extraLines) {
    drawer->extraWidth = ew;
    DrawArc(drawer, view, proj, {flat, R - W + ew * 0.5f, len, kFirstExtraSlot + call.slotShift});
    DrawArc(drawer, view, proj, {flat, R - ew * 0.5f, len, kSecondExtraSlot + call.slotShift});
  }
  drawer->markModeCurrent();
}

// The straight bands beside the car's sides, starting at y = startY.
void DrawStraightBands(AvmTrack* track, float* view, float* proj, float startY) {
  TrackDrawer* drawer = track->drawer;
  const ViewParam* scene = pViewParam;
  if (scene == nullptr) {
    return;
  }
  const TrackCall call = CallOf(scene);
  const float W = track->carWidth;
  const float q = track->sideOffset;
  const float ew = track->trackParams[3];
  drawer->centerY = startY;
  drawer->length = track->lineLength;
  DrawBand(drawer, view, proj, -W * 0.5f - q, kOuterSlot + call.slotShift);
  DrawBand(drawer, view, proj, W * 0.5f + q, kInnerSlot + call.slotShift);
  if (call.extraLines) {
    drawer->extraWidth = ew;
    DrawBand(drawer, view, proj, -(W - 10.0f - ew) * 0.5f, kFirstExtraSlot + call.slotShift);
    DrawBand(drawer, view, proj, (W - 10.0f - ew) * 0.5f, kSecondExtraSlot + call.slotShift);
  }
  drawer->markModeCurrent();
}

// Every drawing operation of a track: its exception boundary, nothing
// before initialisation or without a drawer, and the scene lock around the
// lines it draws.
template <typename Draw>
void DrawTrackPart(const char* operation, const AvmTrack* track, Draw draw) {
  GuardEntry(operation, [&] {
    if (track->drawer == nullptr || !Initialised()) {
      return;
    }
    SceneLock lock;
    draw();
  });
}

}  // namespace

void AvmTrack::FrontLeft(float* view, float* proj, float steer) {
  DrawTrackPart("AvmTrack::FrontLeft", this,
                [&] { DrawFrontArcs(this, view, proj, steer, true); });
}

void AvmTrack::FrontRight(float* view, float* proj, float steer) {
  DrawTrackPart("AvmTrack::FrontRight", this,
                [&] { DrawFrontArcs(this, view, proj, steer, false); });
}

void AvmTrack::BackLeft(float* view, float* proj, float steer) {
  DrawTrackPart("AvmTrack::BackLeft", this, [&] { DrawRearArcs(this, view, proj, steer, true); });
}

void AvmTrack::BackRight(float* view, float* proj, float steer) {
  DrawTrackPart("AvmTrack::BackRight", this,
                [&] { DrawRearArcs(this, view, proj, steer, false); });
}

void AvmTrack::Front(float* view, float* proj) {
  DrawTrackPart("AvmTrack::Front", this,
                [&] { DrawStraightBands(this, view, proj, trackParams[1]); });
}

void AvmTrack::Back(float* view, float* proj) {
  DrawTrackPart("AvmTrack::Back", this,
                [&] { DrawStraightBands(this, view, proj, -trackParams[1]); });
}
