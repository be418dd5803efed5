#pragma once
// Every line of the renderer goes to the Android log under one tag, at info
// priority; shader failures go at error priority.
#include <android/log.h>

#define AVM_LOG_TAG "KESTRA"
#define AVM_LOGI(...) __android_log_print(ANDROID_LOG_INFO, AVM_LOG_TAG, __VA_ARGS__)
#define AVM_LOGE(...) __android_log_print(ANDROID_LOG_ERROR, AVM_LOG_TAG, __VA_ARGS__)
