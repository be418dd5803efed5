#include "tests/avm/driver_expectation.h"

#include <algorithm>
#include <iterator>

#include "tools/lib/sample_marks.h"

namespace sm = sample_marks;

namespace {

// Open doors of each step of the demonstration's door cycle, bit i = door i.
constexpr int kDemoDoors[20] = {0x0, 0x1, 0x2, 0x4, 0x8, 0xF, 0x3, 0xC, 0x5, 0xA,
                                0x6, 0x9, 0x7, 0xB, 0xE, 0xD, 0x0, 0x0, 0x0, 0x0};

constexpr int kStateAngles[] = {0, 24, 54, 72, 96, 130, 144, 158};

// The switch commands (beams, smooth rotation) take 0 or 1 and ignore
// anything else.
void SetSwitch(int arg, bool* value) {
  if (arg == 0 || arg == 1) {
    *value = arg == 1;
  }
}

}  // namespace

void Expectation::Sent(const Step& step, int result) {
  switch (step.input) {
    case Input::kAngle:
      // A refused angle (a rotation show runs) keeps the target.
      if (result == 1) {
        int degrees = step.arg % 360;
        if (degrees < 0) {
          degrees += 360;
        }
        target = smooth ? static_cast<int>(degrees / 1.875) : degrees / 45 * 24;
        turnFrames = 0;
      }
      break;
    case Input::kViewReset:
      target = 0;
      turnFrames = 0;
      break;
    case Input::kSpeed:
      speed = step.arg;
      break;
    case Input::kGear:
      ++wheelEpoch;
      break;
    case Input::kSteer:
      steering = step.arg;
      break;
    case Input::kDoors:
      doors = step.arg & 0xF;
      ++wheelEpoch;
      break;
    case Input::kLamps:
      if (step.arg >= 0 && step.arg <= 3) {
        lamps = step.arg;
      }
      break;
    case Input::kBeams:
      SetSwitch(step.arg, &beams);
      break;
    case Input::kScreen:
      mode = step.arg;
      break;
    case Input::kDemo:
      demo = step.arg != 0;
      ++wheelEpoch;  // the demonstration drives in its own direction
      break;
    case Input::kSmooth:
      SetSwitch(step.arg, &smooth);
      break;
    case Input::kNone:
    case Input::kCarAgain:
      break;
  }
}

void Expectation::Frame(uint32_t n) {
  if (demo) {
    if (n % 500 == 0) {
      doors = kDemoDoors[(n / 500) % 20];
      ++wheelEpoch;  // and it turns its direction round
    }
    if (n % 25 == 0) {
      speed = speed <= 50000 ? speed + 1000 : 1000;
    }
    // It steers only in screen modes 0, 1, 8 and 9, which are not used
    // here; elsewhere it holds the wheels straight.
    steering = 0.0;
  }
  if (speed > 1500) {
    ++wheelEpoch;
  }
  if (mode == 5 || mode == 15) {
    ++turnFrames;
  }
}

bool IsStateAngle3D(int angle) {
  return std::find(std::begin(kStateAngles), std::end(kStateAngles), angle) !=
         std::end(kStateAngles);
}

int SteerSetFor(int angle, double steering) {
  const int s = static_cast<int>(std::clamp(steering, -32.0, 32.0));
  // Turned towards the side seen: positive to the left (130), negative to
  // the right (158). Beyond 30 degrees the kit has no picture: straight.
  const int towards = angle == 130 ? s : -s;
  if (towards < 5 || towards > 30) {
    return 0;
  }
  return towards <= 9 ? 10 : (towards <= 14 ? 20 : 30);
}

std::set<int> LampsAllowed(int angle, int lamps, bool beams) {
  // Lamp states (bit s for state s) under which each indicator picture may
  // light. The side views blink only for their own indicator alone; the
  // ends and 72 for every state that includes it.
  constexpr int kOnlyLeft = 1 << 1;
  constexpr int kOnlyRight = 1 << 2;
  constexpr int kLeft = (1 << 1) | (1 << 3);
  constexpr int kRight = (1 << 2) | (1 << 3);
  static const struct {
    int angle, lamp, states;
  } kIndicators[] = {
      {130, sm::kLampLeft4, kOnlyLeft}, {158, sm::kLampRight5, kOnlyRight},
      {54, sm::kLampFront1, kLeft},     {54, sm::kLampFront0, kRight},
      {144, sm::kLampBack4, kLeft},     {144, sm::kLampBack5, kRight},
      {72, sm::kLampFront2_3, kLeft},   {72, sm::kLampFront2_2, kRight},
  };
  std::set<int> allowed;
  for (const auto& indicator : kIndicators) {
    if (indicator.angle == angle && lamps >= 0 && lamps <= 3 &&
        (indicator.states & (1 << lamps)) != 0) {
      allowed.insert(indicator.lamp);
    }
  }
  if (angle == 72 && beams) {
    allowed.insert(sm::kLampFront2_0);
    allowed.insert(sm::kLampFront2_1);
  }
  return allowed;
}

bool IsBeam(int lamp) { return lamp == sm::kLampFront2_0 || lamp == sm::kLampFront2_1; }
