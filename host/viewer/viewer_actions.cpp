#include "host/viewer/viewer_actions.h"

#include <cstdio>

namespace {

// The app's command codes that the viewer sends.
constexpr int kCmdScreenMode = 0;
constexpr int kCmdGear = 1;
constexpr int kCmdSpeed = 2;
constexpr int kCmdSteering = 3;
constexpr int kCmdDoors = 4;
constexpr int kCmdLamps = 6;
constexpr int kCmdViewAngle = 7;
constexpr int kCmdTopZoom = 20;
constexpr int kCmdViewReset = 69;
constexpr int kCmd3DZoom = 70;
constexpr int kCmdSmoothRotation = 73;
constexpr int kCmdOtherCar = 100;
constexpr int kCmdLanePicture = 101;
constexpr int kCmdBeams = 102;
constexpr int kCmdRoadwayPicture = 103;
constexpr int kCmdBackgroundPicture = 104;
constexpr int kCmdGroundShadow = 106;
constexpr int kCmdBackgroundLayer = 107;
constexpr int kCmdRoadwayLayer = 108;
constexpr int kCmdLaneLayer = 109;
constexpr int kCmdCarBrightness = 110;

constexpr int kScreenMode3D = 5;
constexpr int kScreenModeTop = 12;
// Other-car modes: 1 none, 2 a car ahead of ours (seen from angle 144).
constexpr int kOtherCarHidden = 1;
constexpr int kOtherCarBehind = 2;

constexpr int kQuarterTurn = kViewerSpriteAngles / 4;
// Speed steps cross the renderer's wheel-speed classes (creeping, a frame
// every third, every second, every frame, two a frame).
constexpr int kSpeedStep = 5000;
constexpr int kMaxSpeed = 50000;
constexpr int kSteeringStep = 5;
constexpr int kMaxSteering = 30;
constexpr int kBrightnessStep = 10;
constexpr int kBackgroundPictures = 5;
constexpr int kRoadwayPictures = 3;
constexpr int kLanePictures = 8;

const char* const kLampNames[4] = {"off", "left", "right", "both"};

struct ScriptWord {
  const char* word;
  ActionId action;
  bool argument;
  const char* help;
};

constexpr ScriptWord kScriptWords[] = {
    {"left", ActionId::kTurnLeft, false, "view angle one sprite step up (+1.875 degrees)"},
    {"right", ActionId::kTurnRight, false, "view angle one sprite step down"},
    {"left90", ActionId::kQuarterLeft, false, "view angle a quarter turn up (+90 degrees)"},
    {"right90", ActionId::kQuarterRight, false, "view angle a quarter turn down"},
    {"state", ActionId::kStateAngle, true,
     "ANGLE: turn to a state angle (0 24 54 72 96 130 144 158)"},
    {"top", ActionId::kTopView, false, "the 2D top view"},
    {"3d", ActionId::kView3D, false, "the 3D view"},
    {"view", ActionId::kToggleView, false, "switch between top view and 3D view"},
    {"door", ActionId::kDoor, true, "N: open or shut door N (0..3)"},
    {"lamps", ActionId::kLamps, true, "N: lamp state 0 off, 1 left, 2 right, 3 both"},
    {"next-lamps", ActionId::kNextLamps, false, "the next lamp state"},
    {"faster", ActionId::kFaster, false, "speed up by 5000"},
    {"slower", ActionId::kSlower, false, "slow down by 5000"},
    {"gear", ActionId::kGear, false, "forward or reverse"},
    {"steer-left", ActionId::kSteerLeft, false, "steer 5 degrees more to the left"},
    {"steer-right", ActionId::kSteerRight, false, "steer 5 degrees more to the right"},
    {"beams", ActionId::kBeams, false, "headlight beams on or off"},
    {"other-car", ActionId::kOtherCar, false, "the other car ahead of ours (seen from angle 144) on or off"},
    {"background", ActionId::kBackground, false, "background layer on or off"},
    {"next-background", ActionId::kNextBackground, false, "the next background picture"},
    {"roadway", ActionId::kRoadway, false, "roadway layer on or off"},
    {"next-roadway", ActionId::kNextRoadway, false, "the next roadway picture"},
    {"lanes", ActionId::kLanes, false, "lane lines on or off"},
    {"next-lanes", ActionId::kNextLanes, false, "the next lane picture"},
    {"shadow", ActionId::kShadow, false, "the car's shadow on or off"},
    {"brighter", ActionId::kBrighter, false, "car brightness up by 10 %"},
    {"darker", ActionId::kDarker, false, "car brightness down by 10 %"},
    {"zoom-in", ActionId::kZoomIn, false, "zoom in (3D view or top view)"},
    {"zoom-out", ActionId::kZoomOut, false, "zoom out"},
};

bool IsStateAngle(int angle) {
  for (int state : kStateAngles) {
    if (state == angle) {
      return true;
    }
  }
  return false;
}

int Wrap(int angle) {
  const int wrapped = angle % kViewerSpriteAngles;
  return wrapped < 0 ? wrapped + kViewerSpriteAngles : wrapped;
}

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

std::string TurnTo(ViewerState* state, int angle, const SendCommand& send) {
  const int target = Wrap(angle);
  // The renderer refuses a new angle while a rotation show (from the rear
  // view to 180 or 270 degrees) is running; the view keeps its target.
  if (send(kCmdViewAngle, DegreesOfSpriteAngle(target)) == -1) {
    return "the renderer refused the view angle: a rotation show is running";
  }
  state->angle = target;
  return "";
}

std::string SetView(ViewerState* state, bool top, const SendCommand& send) {
  send(kCmdScreenMode, top ? kScreenModeTop : kScreenMode3D);
  state->topView = top;
  return "";
}

void SetLayer(bool* field, bool on, int command, const SendCommand& send) {
  *field = on;
  send(command, on ? 1 : 0);
}

void NextPicture(int* field, int count, int command, const SendCommand& send) {
  *field = (*field + 1) % count;
  send(command, *field);
}

std::string Zoom(ViewerState* state, bool in, const SendCommand& send) {
  int result = 0;
  if (state->topView) {
    // The top view's margin around the car grows when zooming out.
    result = send(kCmdTopZoom, in ? -1 : 1);
    if (result == 1) {
      state->zoomTop += in ? 1 : -1;
    }
  } else {
    // The 3D view narrows its field of view when zooming in.
    result = send(kCmd3DZoom, in ? 1 : -1);
    if (result == 1) {
      state->zoom3D += in ? 1 : -1;
    }
  }
  return result == 0 ? "zoom is at the end of its range" : "";
}

}  // namespace

int DegreesOfSpriteAngle(int spriteAngle) {
  // spriteAngle x 1.875 = spriteAngle x 15 / 8, rounded up.
  return (Wrap(spriteAngle) * 15 + 7) / 8;
}

void SendStartState(const ViewerState& state, const SendCommand& send) {
  send(kCmdScreenMode, state.topView ? kScreenModeTop : kScreenMode3D);
  send(kCmdSmoothRotation, 1);
  // The view starts resting where the record says: the reset puts it at
  // angle 0 at once (initialisation leaves it elsewhere, and the angle
  // command would turn it there frame by frame).
  send(kCmdViewReset, 0);
  if (state.angle != 0) {
    send(kCmdViewAngle, DegreesOfSpriteAngle(state.angle));
  }
  send(kCmdDoors, static_cast<int>(state.doors));
  send(kCmdLamps, state.lamps);
  send(kCmdSpeed, state.speed);
  send(kCmdGear, state.reverse ? 1 : 0);
  send(kCmdSteering, state.steering);
  send(kCmdBeams, state.beams ? 1 : 0);
  send(kCmdOtherCar, state.otherCar ? kOtherCarBehind : kOtherCarHidden);
  send(kCmdBackgroundPicture, state.backgroundPicture);
  send(kCmdBackgroundLayer, state.background ? 1 : 0);
  send(kCmdRoadwayPicture, state.roadwayPicture);
  send(kCmdRoadwayLayer, state.roadway ? 1 : 0);
  send(kCmdLanePicture, state.lanesPicture);
  send(kCmdLaneLayer, state.lanes ? 1 : 0);
  send(kCmdGroundShadow, state.shadow ? 1 : 0);
  send(kCmdCarBrightness, state.brightness);
}

std::string ApplyAction(ViewerState* state, ActionId action, int argument, const SendCommand& send) {
  switch (action) {
    case ActionId::kTurnLeft:
      return TurnTo(state, state->angle + 1, send);
    case ActionId::kTurnRight:
      return TurnTo(state, state->angle - 1, send);
    case ActionId::kQuarterLeft:
      return TurnTo(state, state->angle + kQuarterTurn, send);
    case ActionId::kQuarterRight:
      return TurnTo(state, state->angle - kQuarterTurn, send);
    case ActionId::kStateAngle:
      return TurnTo(state, argument, send);
    case ActionId::kTopView:
      return SetView(state, true, send);
    case ActionId::kView3D:
      return SetView(state, false, send);
    case ActionId::kToggleView:
      return SetView(state, !state->topView, send);
    case ActionId::kDoor:
      state->doors ^= 1u << (argument & 3);
      send(kCmdDoors, static_cast<int>(state->doors));
      return "";
    case ActionId::kNextLamps:
      state->lamps = (state->lamps + 1) % 4;
      send(kCmdLamps, state->lamps);
      return "";
    case ActionId::kLamps:
      state->lamps = argument;
      send(kCmdLamps, state->lamps);
      return "";
    case ActionId::kFaster:
    case ActionId::kSlower:
      state->speed = Clamp(state->speed + (action == ActionId::kFaster ? kSpeedStep : -kSpeedStep),
                           0, kMaxSpeed);
      send(kCmdSpeed, state->speed);
      return "";
    case ActionId::kGear:
      state->reverse = !state->reverse;
      send(kCmdGear, state->reverse ? 1 : 0);
      return "";
    case ActionId::kSteerLeft:
    case ActionId::kSteerRight:
      state->steering =
          Clamp(state->steering + (action == ActionId::kSteerLeft ? kSteeringStep : -kSteeringStep),
                -kMaxSteering, kMaxSteering);
      send(kCmdSteering, state->steering);
      return "";
    case ActionId::kBeams:
      SetLayer(&state->beams, !state->beams, kCmdBeams, send);
      return "";
    case ActionId::kOtherCar:
      state->otherCar = !state->otherCar;
      send(kCmdOtherCar, state->otherCar ? kOtherCarBehind : kOtherCarHidden);
      return "";
    case ActionId::kBackground:
      SetLayer(&state->background, !state->background, kCmdBackgroundLayer, send);
      return "";
    case ActionId::kNextBackground:
      NextPicture(&state->backgroundPicture, kBackgroundPictures, kCmdBackgroundPicture, send);
      return "";
    case ActionId::kRoadway:
      SetLayer(&state->roadway, !state->roadway, kCmdRoadwayLayer, send);
      return "";
    case ActionId::kNextRoadway:
      NextPicture(&state->roadwayPicture, kRoadwayPictures, kCmdRoadwayPicture, send);
      return "";
    case ActionId::kLanes:
      SetLayer(&state->lanes, !state->lanes, kCmdLaneLayer, send);
      return "";
    case ActionId::kNextLanes:
      NextPicture(&state->lanesPicture, kLanePictures, kCmdLanePicture, send);
      return "";
    case ActionId::kShadow:
      SetLayer(&state->shadow, !state->shadow, kCmdGroundShadow, send);
      return "";
    case ActionId::kBrighter:
    case ActionId::kDarker:
      state->brightness = Clamp(
          state->brightness + (action == ActionId::kBrighter ? kBrightnessStep : -kBrightnessStep),
          0, 100);
      send(kCmdCarBrightness, state->brightness);
      return "";
    case ActionId::kZoomIn:
      return Zoom(state, true, send);
    case ActionId::kZoomOut:
      return Zoom(state, false, send);
  }
  return "";
}

bool ActionByName(const std::string& word, ActionId* action, bool* needsArgument) {
  for (const ScriptWord& entry : kScriptWords) {
    if (word == entry.word) {
      *action = entry.action;
      *needsArgument = entry.argument;
      return true;
    }
  }
  return false;
}

bool ActionArgumentOk(ActionId action, int argument, std::string* reason) {
  switch (action) {
    case ActionId::kStateAngle:
      if (!IsStateAngle(argument)) {
        *reason = "not a state angle (0 24 54 72 96 130 144 158)";
        return false;
      }
      return true;
    case ActionId::kDoor:
      if (argument < 0 || argument > 3) {
        *reason = "doors are 0..3";
        return false;
      }
      return true;
    case ActionId::kLamps:
      if (argument < 0 || argument > 3) {
        *reason = "lamp states are 0..3";
        return false;
      }
      return true;
    default:
      return true;
  }
}

std::string DescribeState(const ViewerState& state) {
  char doors[5];
  for (int door = 0; door < 4; ++door) {
    doors[door] = (state.doors >> door) & 1u ? '1' : '0';
  }
  doors[4] = '\0';
  char text[256];
  if (state.topView) {
    std::snprintf(text, sizeof(text), "top view | speed %d %s | steer %+d | doors %s | lamps %s",
                  state.speed, state.reverse ? "R" : "D", state.steering, doors,
                  kLampNames[state.lamps & 3]);
  } else {
    std::snprintf(text, sizeof(text),
                  "angle %d (%.3g deg)%s | speed %d %s | steer %+d | doors %s | lamps %s",
                  state.angle, state.angle * 1.875, IsStateAngle(state.angle) ? " state" : "",
                  state.speed, state.reverse ? "R" : "D", state.steering, doors,
                  kLampNames[state.lamps & 3]);
  }
  return text;
}

std::string ScriptWordsHelp() {
  std::string help;
  for (const ScriptWord& entry : kScriptWords) {
    char line[160];
    std::snprintf(line, sizeof(line), "  %-16s %s\n", entry.word, entry.help);
    help += line;
  }
  return help;
}
