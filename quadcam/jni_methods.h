#pragma once
// Every native method of the Java class tarn.cam2.MainActivity. The Java VM
// finds them by name; the declarations let the file that defines them and
// the tests that call them without a VM agree on one signature.
#include <jni.h>

extern "C" {

JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_openCamera(JNIEnv* env, jobject self,
                                                              jint width, jint height);
JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_closeCamera(JNIEnv* env, jobject self);
JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_setPreviewSurface(JNIEnv* env, jobject self,
                                                                     jobject surface, jint width,
                                                                     jint height);
JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_setRecordSurface(JNIEnv* env, jobject self,
                                                                    jobject surface, jint width,
                                                                    jint height);

}  // extern "C"
