#pragma once
// A headless OpenGL ES 2.0 context for host tests, benchmarks and demos:
// Mesa's surfaceless EGL platform with a pbuffer of the screen size, made
// current on the calling thread, and read-back of what was drawn.
#include <cstdint>
#include <string>
#include <vector>

// Creates the context and its width x height pbuffer (RGBA8 colour, 16-bit
// depth) and makes them current on this thread, replacing an earlier one of
// this helper. Returns false, with the reason on standard error, when EGL
// cannot provide them.
bool HostEglStart(int width, int height);

// Releases the context and the pbuffer.
void HostEglStop();

// Size of the current pbuffer (0 when none).
int HostEglWidth();
int HostEglHeight();

// The drawn frame as RGBA bytes, rows top first (as a picture is viewed).
std::vector<uint8_t> HostEglReadPixels();

// One pixel of the drawn frame, x from the left, y from the top.
struct HostPixel {
  uint8_t r, g, b, a;
};
HostPixel HostEglPixel(const std::vector<uint8_t>& frame, int x, int y);

// Writes the drawn frame as a PNG picture. Returns false on failure.
bool HostEglWritePng(const std::string& path);
