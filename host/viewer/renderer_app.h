#pragma once
// The app's side of the renderer inside the viewer: a Java VM with the app's
// class com.kestra.avm.AVM, which loads the shipped renderer library, and
// the calls the app makes through it. The renderer's log lines are kept
// while a call runs, so that a refusal can be reported with them.
#include <cstdio>
#include <string>
#include <vector>

// Starts the Java VM and finds the app's class and its methods. False with
// the reason when any is missing or the library does not load.
bool StartRendererApp(std::string* error);

// The methods of the app's class. A Java exception is reported on standard
// error and gives kJavaFailed.
constexpr int kJavaFailed = -1000;
int AppInitialise(const std::string& assetRoot);
int AppSetCar(const std::string& name, int mode);
int AppSetCmd(int command, int argument);
// One frame with a camera picture present (texture name 0), so that the
// views are drawn.
int AppDraw();

// Where the renderer's log lines go besides the capture (standard error
// unless the viewer was given a log file).
void SetRendererLogFile(std::FILE* file);
// Starts keeping the renderer's log lines (replacing any kept before).
void StartLogCapture();
// The renderer's log lines since StartLogCapture, and stops keeping them.
std::vector<std::string> TakeCapturedLog();
