#pragma once
// The life of the renderer: initialisation on the GL thread, then one draw
// call per frame. Both JNI entry points are thin wrappers around these.
#include <cstddef>
#include <cstdint>

// Version 1.27, as logged at start-up and answered by command 84 (x 100).
constexpr double kAvmVersion = 1.27;
constexpr int kAvmVersionTimes100 = 127;

// The asset directory, with its closing separator, may take at most this
// many bytes: the rest of the 256-byte path buffers is kept for what the
// renderer appends to it (".tmp/<car>//color//door//front2//d<n>.kes" and
// the like: about 40 bytes plus the car name).
constexpr std::size_t kMaxAssetRootLength = 160;

// True once initialisation has finished; every entry point but the start-up
// commands answers kNotInitialised before then. Any thread; the acquire
// pairs with the release of initialisation, so what it set up is visible.
bool Initialised();

// Result of the native methods while the library is not initialised.
constexpr int kNotInitialised = -9;
// Result of a native method whose work stopped inside it (an exception
// caught at its boundary) or that was called where it cannot run (a frame
// from inside a frame): it did nothing it was asked.
constexpr int kEntryFailed = 0;

// Initialisation without the Java binding: the same steps as the JNI
// method, which binds the Java callbacks first and takes the directory from
// its Java string. Returns 1, or 0 when the asset directory is null, empty
// or too long, or memory runs out; then nothing is initialised.
int AvmInitialiseLibrary(const char* assetDir);

// One frame; cameraTexture is element 0 of Java's array, -1 for no camera
// picture. Returns 1, -9 before initialisation, or kEntryFailed when called
// from inside a call into Java made by a frame or a command of this thread.
int AvmDrawFrame(int cameraTexture);

// The steps of initialisation after the Java binding, with the scene lock
// held by the caller. Returns true when the library is ready.
bool InitialiseLocked(const char* assetDir);
void LogVersion();
