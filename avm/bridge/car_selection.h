#pragma once
// Car selection, the work of AVM.SetCar: mode 1 unpacks a car package into
// {assetRoot}.tmp/ (car_unpack.cpp, over the package reader of
// car_package.cpp), modes 0 and 2..10 select an unpacked car by its
// directory name (car_selection.cpp).
#include <cstdint>

// Results of SetCar besides 1 and -9.
constexpr int kSetCarPackageMissing = -1;
constexpr int kSetCarPackageUnreadable = -2;
constexpr int kSetCarPackageDamaged = -4;
constexpr int kSetCarNotPresent = -5;

// The car is taken as unpacked when its marker file is at least this long
// and carries the package's time (within 2 seconds).
constexpr int64_t kUpToDateMarkerBytes = 1000;
constexpr int64_t kUpToDateSeconds = 2;
// An unpacked car whose params.bin or marker is smaller than these is
// damaged; a selected car must have both larger than them.
constexpr int64_t kCarParamsBytes = 1024;
constexpr int64_t kCarMarkerBytes = 512;
// Whole-car images loaded at once by a selection before the first frame,
// per step of the mode above 2.
constexpr int kPreloadAnglesPerModeStep = 24;

// The whole method, scene lock included; name may be null. Returns 1,
// -1, -2, -4 (mode 1), -5 (selection) or -9 (not initialised, or a mode
// above 10).
int AvmSetCar(const char* name, int32_t mode);

// Mode 1 and the selecting modes, with the scene lock held.
int UnpackCarPackage(const char* name);
int SelectCar(const char* name, int32_t mode);
