#pragma once
// What the viewer can do to the car it shows, as one table shared by the
// keys of the window and the lines of a script. Every action becomes the
// commands the app sends (AVM.SetCmd); the viewer keeps its own record of
// what it asked for, as the app does, to show it in the title.
#include <cstdint>
#include <functional>
#include <string>

enum class ActionId {
  kTurnLeft,        // one sprite step (1.875 degrees)
  kTurnRight,
  kQuarterLeft,     // 48 sprite steps (90 degrees)
  kQuarterRight,
  kStateAngle,      // argument: the sprite angle, one of the eight state angles
  kTopView,
  kView3D,
  kToggleView,      // top view <-> 3D view
  kDoor,            // argument: door 0..3, toggled
  kNextLamps,       // off, left, right, both
  kLamps,           // argument: lamp state 0..3
  kFaster,
  kSlower,
  kGear,            // forward <-> reverse
  kSteerLeft,
  kSteerRight,
  kBeams,
  kOtherCar,
  kBackground,      // layer on/off
  kNextBackground,  // picture 0..4
  kRoadway,
  kNextRoadway,     // picture 0..2
  kLanes,
  kNextLanes,       // picture 0..7
  kShadow,
  kBrighter,
  kDarker,
  kZoomIn,
  kZoomOut,
};

// The eight sprite angles at which the car is composed with moving parts.
constexpr int kStateAngles[8] = {0, 24, 54, 72, 96, 130, 144, 158};
constexpr int kViewerSpriteAngles = 192;

// What the viewer asked of the renderer so far. The start values are sent
// once before the first frame (SendStartState), so that the record and the
// renderer agree whatever the asset root's saved configuration says.
struct ViewerState {
  int angle = 0;          // sprite angle the view was sent to
  bool topView = false;
  uint32_t doors = 0;     // bit i = door i open
  int lamps = 0;          // 0 off, 1 left, 2 right, 3 both
  int speed = 0;
  bool reverse = false;
  int steering = 0;       // degrees, left positive
  bool beams = false;
  bool otherCar = false;
  bool background = true;
  int backgroundPicture = 0;
  bool roadway = true;
  int roadwayPicture = 0;
  bool lanes = true;
  int lanesPicture = 0;
  bool shadow = true;
  int brightness = 100;   // percent
  int zoom3D = 0;         // accepted zoom steps of the 3D view (+ = closer)
  int zoomTop = 0;        // accepted zoom steps of the top view
};

// Sends one command to the renderer and gives its result.
using SendCommand = std::function<int(int command, int argument)>;

// The commands that put the renderer into the state record's start values:
// 3D view, smooth rotation (every sprite angle reachable), ground layers and
// shadow on, everything else off.
void SendStartState(const ViewerState& state, const SendCommand& send);

// Performs an action: sends its commands and updates the record. Returns a
// line for the user when the renderer refused (empty otherwise).
std::string ApplyAction(ViewerState* state, ActionId action, int argument, const SendCommand& send);

// The action of a script word; false for an unknown word. *needsArgument
// tells whether the word takes a number.
bool ActionByName(const std::string& word, ActionId* action, bool* needsArgument);

// Checks an action's argument; false with a reason when it is out of range.
bool ActionArgumentOk(ActionId action, int argument, std::string* reason);

// Degrees that the smooth view-angle command turns into this sprite angle:
// the smallest whole number d with d / 1.875 truncated equal to the angle.
int DegreesOfSpriteAngle(int spriteAngle);

// One line of what the viewer shows: angle, view, speed, gear, steering,
// doors, lamps (the title's text without the frame rate).
std::string DescribeState(const ViewerState& state);

// The script words, one per line with what they do (for --help).
std::string ScriptWordsHelp();
