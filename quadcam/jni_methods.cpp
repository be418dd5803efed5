// The native methods of tarn.cam2.MainActivity: thin shims over the camera
// set and the output windows.
#include <android/native_window_jni.h>
#include <jni.h>

#include "quadcam/camera_session.h"
#include "quadcam/jni_methods.h"
#include "quadcam/output_worker.h"

namespace {

void SetSurface(JNIEnv* env, jobject surface, OutputKind kind, jint width, jint height) {
  // A surface that maps to no window clears the slot as a null one does.
  ANativeWindow* window = surface != nullptr ? ANativeWindow_fromSurface(env, surface) : nullptr;
  SetOutputWindow(kind, window, width, height);
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_openCamera(JNIEnv*, jobject, jint width,
                                                              jint height) {
  OpenCameraSet(width, height);
}

JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_closeCamera(JNIEnv*, jobject) {
  CloseCameraSet();
}

JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_setPreviewSurface(JNIEnv* env, jobject,
                                                                     jobject surface, jint width,
                                                                     jint height) {
  SetSurface(env, surface, OutputKind::kPreview, width, height);
}

JNIEXPORT void JNICALL Java_tarn_cam2_MainActivity_setRecordSurface(JNIEnv* env, jobject,
                                                                    jobject surface, jint width,
                                                                    jint height) {
  SetSurface(env, surface, OutputKind::kRecord, width, height);
}

}  // extern "C"
