#pragma once
// A real Java VM inside a host test or demo process, with the host versions
// of the app's Java classes on its class path and the build's libraries on
// its library path, so that Java loads and drives our native libraries the
// way the app does on a device.
#include <jni.h>

#include <string>
#include <vector>

// Starts the VM on first use (one per process, as the JNI allows) and returns
// the calling thread's environment, attaching the thread when needed.
// extraOptions (such as "-Dcom.kestra.avm.lib=avm_testable") only take effect
// on the call that starts the VM. Returns null when the VM cannot start.
JNIEnv* HostJvmEnv(const std::vector<std::string>& extraOptions = {});

// The VM, or null before HostJvmEnv started it.
JavaVM* HostJvm();

// Describes and clears a pending Java exception; returns true if there was one.
bool HostJvmTakeException(JNIEnv* env, std::string* description = nullptr);
