#pragma once
// Every live window by id, with the reference counts. Internal to
// libandroid.so.
#include <android/native_window.h>

#include <cstdint>

// Gives the window its id and one reference (the creator's).
void RegisterWindow(ANativeWindow* window);
// The surface window with that id with one more reference, or null.
ANativeWindow* AcquireSurfaceWindow(int64_t id);
// Stores the id in the window record (native_window.cpp).
void SetWindowId(ANativeWindow* window, int64_t id);
// Frees the window's memory; called once its last reference is gone.
void DestroyWindow(ANativeWindow* window);
