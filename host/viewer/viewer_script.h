#pragma once
// Scripts of the viewer: the window's actions written one per line, with
// frame counts between them and pictures to write, so that a run can be
// repeated exactly (in a test, in the demo, in a bug report).
//
//   # the front with the left front door open
//   state 54
//   settle
//   door 0
//   frames 2
//   shot front-door.png
//
// Words: every action word (ScriptWordsHelp), and
//   frames N   draw N frames (1..100000)
//   settle     draw until the view rests at its angle (the renderer says no
//              view animation runs), at most 1000 frames
//   shot FILE  draw one frame and write it as a PNG picture
#include <string>
#include <vector>

#include "host/viewer/viewer_actions.h"

struct ScriptStep {
  enum class Kind { kAction, kFrames, kSettle, kShot };
  Kind kind = Kind::kAction;
  ActionId action = ActionId::kTurnLeft;
  int number = 0;      // the action's argument, or the frame count
  std::string path;    // the picture of a shot
  int line = 0;        // where it stands in the script, for messages
};

constexpr int kMaxScriptFrames = 100000;
constexpr int kMaxSettleFrames = 1000;
// A script is a short list written by hand; anything much longer is not one.
constexpr long kMaxScriptBytes = 1 << 20;

// Reads a script. False with a message naming the line when a line is not
// a step, or when the file cannot be read.
bool ReadScript(const std::string& path, std::vector<ScriptStep>* steps, std::string* error);

// The same for the script's text.
bool ParseScript(const std::string& text, std::vector<ScriptStep>* steps, std::string* error);

// The words of frames, settle and shot, for --help.
std::string ScriptControlHelp();
