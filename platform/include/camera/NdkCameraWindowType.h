#pragma once
// What camera outputs are drawn into: a native window.
#include <android/native_window.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef ANativeWindow ACameraWindowType;

#ifdef __cplusplus
}
#endif
