#pragma once
// The window's keys: each one an action of the shared table, or one of the
// viewer's own (a picture of the frame, the key help, quitting).
#include <string>

#include "host/viewer/viewer_actions.h"

enum class KeyCommand { kNone, kAction, kPicture, kHelp, kQuit };

struct KeyPress {
  KeyCommand command = KeyCommand::kNone;
  ActionId action = ActionId::kTurnLeft;
  int argument = 0;
};

// What a key (an SDL key code) with or without shift does.
KeyPress KeyFor(int keyCode, bool shift);

// Every key with what it does, one per line (for --help and the H key).
std::string KeysHelp();

// The keys in short, split into pages that fit a window title.
int KeyHelpPages();
std::string KeyHelpPage(int page);
