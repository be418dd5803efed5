#pragma once
// Calls from the renderer into its Java class: picture decoding into a GL
// texture, and notifications about view animations. Both may run on any
// native thread; they attach it to the Java VM for the call when needed.
#include <jni.h>

// Notification codes sent to Java.
constexpr int kNotifyAnimationStarted = 160;
constexpr int kNotifyAnimationEnded = 161;
constexpr int kNotifyRotationShowEnded = 150;
constexpr int kNotifyRotationShowEndedReversing = 152;

// Binds the class com/kestra/avm/AVM and its three static callbacks into the
// bridge record and keeps the VM. A missing class or method is logged and
// leaves its slot empty: the callbacks then report failure instead of calling.
void BindJavaCallbacks(JNIEnv* env);

// Asks Java to decode the picture at path into the GL texture name. Returns
// what Java returned (non-zero = loaded), or 0 when it could not be asked.
int LoadTextureFunc(const char* path, int texture, int mode);

// Sends a notification code to Java.
void NotifySigFunc(int code);
