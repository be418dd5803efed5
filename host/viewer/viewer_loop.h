#pragma once
// The viewer's frames: one AVM.Draw per frame into the window, the window's
// events (keys) or a script's steps between frames, and the title that
// says what is shown.
#include <string>
#include <vector>

#include "host/viewer/viewer_script.h"

// Draws until the window is closed (Esc, Q). Returns the exit status.
int RunInteractive(const std::string& carName);

// Runs the script's steps, then returns the exit status: 0 when every step
// was done, 2 when a picture could not be written or a frame failed.
int RunScript(const std::string& carName, const std::vector<ScriptStep>& steps);
