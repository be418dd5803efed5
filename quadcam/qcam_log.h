#pragma once
// quadcam logs with its own tag: progress at debug priority, failures at
// error priority, so a device log can be filtered to the camera library.
#include <android/log.h>

#define QCAM_LOG_TAG "qcam"
#define QCAM_LOGD(...) __android_log_print(ANDROID_LOG_DEBUG, QCAM_LOG_TAG, __VA_ARGS__)
#define QCAM_LOGE(...) __android_log_print(ANDROID_LOG_ERROR, QCAM_LOG_TAG, __VA_ARGS__)
