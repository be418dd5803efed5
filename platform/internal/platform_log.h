#pragma once
// The stand-ins report misuse the way the platform does: a line in the log.
#include <android/log.h>

#define HOSTPLAT_LOGE(...) __android_log_print(ANDROID_LOG_ERROR, "hostplat", __VA_ARGS__)
#define HOSTPLAT_LOGW(...) __android_log_print(ANDROID_LOG_WARN, "hostplat", __VA_ARGS__)
