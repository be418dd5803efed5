#pragma once
// The viewer's window: an SDL window with an OpenGL ES 2.0 context (EGL on
// X11), made current on the calling thread, which then runs the renderer's
// Init and every Draw in it. The window starts hidden: it is shown only once
// the renderer has taken the car, so a refused car never opens one.
#include <string>

// Creates the hidden window of width x height and its context, current on
// this thread. False with the reason (no display, no ES 2.0 context).
bool OpenHiddenWindow(int width, int height, std::string* error);

// Shows the window.
void ShowWindow();

// Presents the frame drawn.
void PresentFrame();

void SetWindowTitle(const std::string& title);

// Writes the frame drawn (not yet presented) as a PNG picture. False with
// the reason.
bool WriteFramePng(const std::string& path, std::string* error);

// Gives the context and the window back.
void CloseWindow();
