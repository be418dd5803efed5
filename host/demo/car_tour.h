#pragma once
// The renderer demo's tour of the car: what the app shows a driver, driven
// only through the app's Java class (AVM.SetCmd and AVM.Draw), with the
// frames written as PNG pictures and listed with captions for the demo page.
#include <jni.h>

#include <cstdio>
#include <string>

struct DemoApp {
  JNIEnv* env = nullptr;
  jclass avm = nullptr;
  jmethodID setCmd = nullptr;
  jmethodID draw = nullptr;
  jintArray camera = nullptr;  // {0}: a camera picture is there
  std::string output;          // folder of the pictures
  std::FILE* captions = nullptr;
};

// Calls AVM.SetCmd, prints the call and its result. Stops the demo on a
// Java exception.
int DemoCommand(DemoApp& app, int command, int argument, const char* what);

// One frame through AVM.Draw. Stops the demo on a failure.
void DemoFrame(DemoApp& app);

// Writes the current frame as name (inside the output folder) and lists it
// with its caption.
void DemoPicture(DemoApp& app, const std::string& name, const std::string& caption);

// The 3D view at each of the eight state angles with turning wheels,
// blinking indicators and beams; open doors; the other car; the scrolling
// ground; then the top view with every door combination.
void RunCarTour(DemoApp& app);
