#pragma once
// The renderer driven through its Java class inside a real Java VM, on the
// test thread, which also owns the headless GL context.
#include <jni.h>

#include <string>
#include <vector>

// Starts the VM (with avm_testable as the renderer library) and the GL
// context once per process. Returns the test thread's environment.
JNIEnv* StartJavaRenderer();

// The static methods of com.kestra.avm.AVM. Each fails the current test on
// a pending Java exception.
int JavaInitialise(const char* assetDir);  // AVM.initialise; null for a null string
int JavaDraw(const std::vector<int>* textures);  // null for a null array
int JavaSetCmd(int cmd, int arg);
int JavaSetCar(const char* name, int mode);  // null for a null string
int JavaSetTirePressure(const std::vector<int>* values);  // null for a null array
int JavaGenPlate(int region, const char* text, int style);  // null for a null string
std::vector<int> TakeNotifications();
std::vector<std::string> TakeLoadRequests();
int LoadCallCount();
void SetDeviceStorageRoot(const std::string& root);  // empty: the real one
void SetJavaSwitch(const char* name, bool value);     // throwFromLoadTexture, ...

// Starts the renderer through Java as the app does with a car: a fresh asset
// root below dir, the car package at packagePath copied into its common/
// folder, initialisation, then the car unpacked and selected (mode 2) by
// the package's name without ".car". Returns the asset root; empty after a
// failed step (the test has failed then).
std::string JavaStartWithCar(const std::string& dir, const std::string& packagePath);
