#pragma once
// The native methods of the Java class com.kestra.avm.AVM implemented so far.
#include <jni.h>

extern "C" {

JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_Init(JNIEnv* env, jobject self, jstring assetDir);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_Draw(JNIEnv* env, jobject self, jintArray textures);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCmd(JNIEnv* env, jobject self, jint cmd,
                                                      jint arg);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCar(JNIEnv* env, jobject self, jstring name,
                                                      jint mode);

}  // extern "C"
