#pragma once
// Helpers shared by the quadcam tests: pictures built independently of the
// library, the platform stand-ins brought back to a known state, and reading
// what reached a window.
#include <android/native_window.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_platform/host_platform.h"

// One NV21 camera frame as a raw file stores it: W*H luma bytes, then
// (H+1)/2 rows of 2*((W+1)/2) bytes of V/U pairs.
struct Nv21Frame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;
  const uint8_t* y() const { return bytes.data(); }
  const uint8_t* vu() const { return bytes.data() + static_cast<size_t>(width) * height; }
  size_t vuRowBytes() const { return 2 * ((static_cast<size_t>(width) + 1) / 2); }
};

Nv21Frame RandomNv21(int32_t width, int32_t height, uint32_t seed);
Nv21Frame ConstantNv21(int32_t width, int32_t height, uint8_t y, uint8_t v, uint8_t u);
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

// The composed NV21 mosaic of four frames, built byte by byte from the
// quadrant table (rows 0..2H-1 luma, 2H..3H-1 chroma, 2W bytes a row).
std::vector<uint8_t> ExpectedNv21Mosaic(const Nv21Frame* frames[4], int32_t w, int32_t h);
// The composed RGBA mosaic of four packed W x H RGBA pictures.
std::vector<uint8_t> ExpectedRgbaMosaic(const std::vector<uint8_t>* frames[4], int32_t w, int32_t h);

// The picture in the last buffer the window posted, without the stride
// padding: luma rows then chroma rows for NV21, or RGBA rows. Empty when
// nothing was posted.
std::vector<uint8_t> LastPostedPicture(ANativeWindow* window, HostPostedFrame* info = nullptr);
// The whole last posted buffer, padding included.
std::vector<uint8_t> LastPostedBuffer(ANativeWindow* window, HostPostedFrame* info = nullptr);

// Writes frames back to back as a raw NV21 file.
bool WriteNv21File(const std::string& path, const std::vector<Nv21Frame>& frames);

// Camera ids the quadcam slots use with the default list.
extern const char* const kSlotIds[4];
