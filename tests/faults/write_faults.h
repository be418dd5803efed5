#pragma once
// Control of the write-failure library (libwrite_faults.so), preloaded into
// the tests that prove a failing disk loses nothing. While armed, every
// write-side operation on a path below the prefix is counted: opening for
// writing (open, openat, creat, fopen), write, fwrite, fflush, fsync and
// rename (by its target or source). The N-th counted operation fails with the
// chosen errno and does nothing; the others run normally.
//
// The test side finds the library's functions at run time, so a test
// program that was started without the preload says so instead of passing.
#include <string>

namespace faults {

// True when the library is preloaded into this process.
bool Available();
// Counts from now on; nth 0 only counts, nth >= 1 fails that operation.
void Arm(const std::string& prefix, int nth, int error);
// Stops counting and failing; returns how many operations were counted.
int Disarm();
// Whether the armed failure has happened since Arm.
bool Fired();

}  // namespace faults
