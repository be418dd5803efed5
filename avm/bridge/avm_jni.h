#pragma once
// Every native method of the Java class com.kestra.avm.AVM. The Java VM finds
// them by name; the declarations let the files that define them, and the
// tests that call them without a VM, agree on one signature.
#include <jni.h>

extern "C" {

JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_Init(JNIEnv* env, jobject self, jstring assetDir);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_Draw(JNIEnv* env, jobject self, jintArray textures);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCmd(JNIEnv* env, jobject self, jint cmd,
                                                      jint arg);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetCar(JNIEnv* env, jobject self, jstring name,
                                                      jint mode);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_GenPlate(JNIEnv* env, jobject self, jint region,
                                                        jstring text, jint style);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetTirePressure(JNIEnv* env, jobject self,
                                                               jintArray values);
JNIEXPORT jint JNICALL Java_com_kestra_avm_AVM_SetObj(JNIEnv* env, jobject self,
                                                      jobjectArray objects);

}  // extern "C"
