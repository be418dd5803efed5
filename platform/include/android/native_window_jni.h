#pragma once
// Maps a Java surface to its native window (host stand-in). On the host the
// surface is any Java object with a long field "nativeWindowId" holding the
// id that HostWindow_surfaceId() gives for a window.
#include <jni.h>

#include <android/native_window.h>

#ifdef __cplusplus
extern "C" {
#endif

// Returns the surface's window with one reference held for the caller, or
// null when the object is not a surface or its window is gone.
ANativeWindow* ANativeWindow_fromSurface(JNIEnv* env, jobject surface);

#ifdef __cplusplus
}
#endif
