// The native half of com.kestra.avm.HostGl: uploads the pixels Java decoded
// into a texture of the calling thread's current GL context.
#include <EGL/egl.h>
#include <GLES2/gl2.h>
#include <jni.h>

#include <cstdint>

// Called only by the Java VM, which finds it by its name.
extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_HostGl_texImage2D(JNIEnv* env, jclass,
                                                                         jint texture, jint width,
                                                                         jint height,
                                                                         jbyteArray rgba);

extern "C" JNIEXPORT jint JNICALL Java_com_kestra_avm_HostGl_texImage2D(JNIEnv* env, jclass,
                                                                         jint texture, jint width,
                                                                         jint height,
                                                                         jbyteArray rgba) {
  if (rgba == nullptr || width <= 0 || height <= 0 || texture == 0) {
    return 0;
  }
  if (eglGetCurrentContext() == EGL_NO_CONTEXT) {
    return 0;
  }
  const int64_t expected = static_cast<int64_t>(width) * height * 4;
  if (env->GetArrayLength(rgba) != expected) {
    return 0;
  }
  jbyte* pixels = env->GetByteArrayElements(rgba, nullptr);
  if (pixels == nullptr) {
    env->ExceptionClear();
    return 0;
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  env->ReleaseByteArrayElements(rgba, pixels, JNI_ABORT);
  return 1;
}
