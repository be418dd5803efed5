#include "host/viewer/viewer_keys.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

namespace {

struct KeyBinding {
  SDL_Keycode key;
  bool shift;
  KeyCommand command;
  ActionId action;
  int argument;
  const char* name;  // as printed
  const char* help;
};

constexpr KeyCommand kAct = KeyCommand::kAction;

const KeyBinding kKeys[] = {
    {SDLK_LEFT, false, kAct, ActionId::kTurnLeft, 0, "Left", "view angle one sprite step up (+1.875 deg)"},
    {SDLK_RIGHT, false, kAct, ActionId::kTurnRight, 0, "Right", "view angle one sprite step down"},
    {SDLK_LEFT, true, kAct, ActionId::kQuarterLeft, 0, "Shift+Left", "view angle a quarter turn up (+90 deg)"},
    {SDLK_RIGHT, true, kAct, ActionId::kQuarterRight, 0, "Shift+Right", "view angle a quarter turn down"},
    {SDLK_1, false, kAct, ActionId::kStateAngle, 0, "1", "state angle 0"},
    {SDLK_2, false, kAct, ActionId::kStateAngle, 24, "2", "state angle 24"},
    {SDLK_3, false, kAct, ActionId::kStateAngle, 54, "3", "state angle 54 (front)"},
    {SDLK_4, false, kAct, ActionId::kStateAngle, 72, "4", "state angle 72"},
    {SDLK_5, false, kAct, ActionId::kStateAngle, 96, "5", "state angle 96"},
    {SDLK_6, false, kAct, ActionId::kStateAngle, 130, "6", "state angle 130 (left side)"},
    {SDLK_7, false, kAct, ActionId::kStateAngle, 144, "7", "state angle 144 (from behind)"},
    {SDLK_8, false, kAct, ActionId::kStateAngle, 158, "8", "state angle 158 (right side)"},
    {SDLK_t, false, kAct, ActionId::kToggleView, 0, "T", "top view / 3D view"},
    {SDLK_F1, false, kAct, ActionId::kDoor, 0, "F1", "door 0 open / shut"},
    {SDLK_F2, false, kAct, ActionId::kDoor, 1, "F2", "door 1 open / shut"},
    {SDLK_F3, false, kAct, ActionId::kDoor, 2, "F3", "door 2 open / shut"},
    {SDLK_F4, false, kAct, ActionId::kDoor, 3, "F4", "door 3 open / shut"},
    {SDLK_l, false, kAct, ActionId::kNextLamps, 0, "L", "lamps: off, left, right, both"},
    {SDLK_UP, false, kAct, ActionId::kFaster, 0, "Up", "speed up"},
    {SDLK_DOWN, false, kAct, ActionId::kSlower, 0, "Down", "slow down"},
    {SDLK_g, false, kAct, ActionId::kGear, 0, "G", "gear: forward / reverse"},
    {SDLK_a, false, kAct, ActionId::kSteerLeft, 0, "A", "steer left"},
    {SDLK_d, false, kAct, ActionId::kSteerRight, 0, "D", "steer right"},
    {SDLK_b, false, kAct, ActionId::kBeams, 0, "B", "headlight beams"},
    {SDLK_o, false, kAct, ActionId::kOtherCar, 0, "O", "the other car (seen from angle 144)"},
    {SDLK_k, false, kAct, ActionId::kBackground, 0, "K", "background on / off"},
    {SDLK_k, true, kAct, ActionId::kNextBackground, 0, "Shift+K", "next background picture"},
    {SDLK_r, false, kAct, ActionId::kRoadway, 0, "R", "roadway on / off"},
    {SDLK_r, true, kAct, ActionId::kNextRoadway, 0, "Shift+R", "next roadway picture"},
    {SDLK_n, false, kAct, ActionId::kLanes, 0, "N", "lane lines on / off"},
    {SDLK_n, true, kAct, ActionId::kNextLanes, 0, "Shift+N", "next lane picture"},
    {SDLK_s, false, kAct, ActionId::kShadow, 0, "S", "shadow on / off"},
    {SDLK_RIGHTBRACKET, false, kAct, ActionId::kBrighter, 0, "]", "car brighter"},
    {SDLK_LEFTBRACKET, false, kAct, ActionId::kDarker, 0, "[", "car darker"},
    {SDLK_EQUALS, false, kAct, ActionId::kZoomIn, 0, "+", "zoom in"},
    {SDLK_KP_PLUS, false, kAct, ActionId::kZoomIn, 0, nullptr, nullptr},
    {SDLK_MINUS, false, kAct, ActionId::kZoomOut, 0, "-", "zoom out"},
    {SDLK_KP_MINUS, false, kAct, ActionId::kZoomOut, 0, nullptr, nullptr},
    {SDLK_p, false, KeyCommand::kPicture, ActionId::kTurnLeft, 0, "P",
     "write the frame as <car>-NNN.png"},
    {SDLK_h, false, KeyCommand::kHelp, ActionId::kTurnLeft, 0, "H", "keys in the title (again: next page)"},
    {SDLK_ESCAPE, false, KeyCommand::kQuit, ActionId::kTurnLeft, 0, "Esc, Q", "quit"},
    {SDLK_q, false, KeyCommand::kQuit, ActionId::kTurnLeft, 0, nullptr, nullptr},
};

constexpr int kKeysPerPage = 7;

// The printed keys (those with a name), in order.
std::vector<const KeyBinding*> PrintedKeys() {
  std::vector<const KeyBinding*> keys;
  for (const KeyBinding& binding : kKeys) {
    if (binding.name != nullptr) {
      keys.push_back(&binding);
    }
  }
  return keys;
}

}  // namespace

KeyPress KeyFor(int keyCode, bool shift) {
  const KeyBinding* unshifted = nullptr;
  for (const KeyBinding& binding : kKeys) {
    if (binding.key != keyCode) {
      continue;
    }
    if (binding.shift == shift) {
      return KeyPress{binding.command, binding.action, binding.argument};
    }
    if (!binding.shift) {
      unshifted = &binding;
    }
  }
  // Shift on a key without a shifted meaning ("+" is Shift+= on most
  // keyboards) does what the key does.
  if (unshifted != nullptr) {
    return KeyPress{unshifted->command, unshifted->action, unshifted->argument};
  }
  return KeyPress{};
}

std::string KeysHelp() {
  std::string help;
  for (const KeyBinding* binding : PrintedKeys()) {
    char line[160];
    std::snprintf(line, sizeof(line), "  %-12s %s\n", binding->name, binding->help);
    help += line;
  }
  return help;
}

int KeyHelpPages() {
  return static_cast<int>((PrintedKeys().size() + kKeysPerPage - 1) / kKeysPerPage);
}

std::string KeyHelpPage(int page) {
  const std::vector<const KeyBinding*> keys = PrintedKeys();
  std::string text = "keys " + std::to_string(page + 1) + "/" + std::to_string(KeyHelpPages()) + ":";
  for (std::size_t i = static_cast<std::size_t>(page) * kKeysPerPage;
       i < keys.size() && i < static_cast<std::size_t>(page + 1) * kKeysPerPage; ++i) {
    text += std::string(i % kKeysPerPage == 0 ? " " : " | ") + keys[i]->name + " " + keys[i]->help;
  }
  return text;
}
