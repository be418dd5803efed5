#pragma once
// Copies every camera frame into its quadrant of the composed frame and
// wakes the output worker once per complete set of four.
#include <media/NdkImageReader.h>

#include <cstdint>

// One plane of a camera image as the reader describes it.
struct ImagePlane {
  const uint8_t* data = nullptr;
  int32_t length = 0;
  int32_t rowStride = 0;
  int32_t pixelStride = 0;
};

struct CameraImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t format = 0;
  int32_t planeCount = 0;
  ImagePlane planes[3];
};

// Reallocates the composed frame for cameras of width x height in `format`
// and clears it to zero, with the arrival flags. False (logged) when the
// frame cannot be allocated; it is then empty. The caller has checked the
// size against kMaxCameraSide.
bool ResetComposition(int32_t width, int32_t height, int32_t format);

// Composes one image of camera slot 0..3: copies it into the slot's
// quadrant when it matches the open size and its planes hold what the
// layout reads, then marks the slot as arrived. The listeners call this
// with every plane the reader describes, so padded rows and chroma kept
// apart from the luma are composed correctly.
void ComposeCameraImage(int32_t width, int32_t height, int32_t slot, const CameraImage& image);

// Composes one packed frame of slot 0..3 given by its first byte only:
// in the open set's format, width x height luma bytes followed directly by
// the V/U pairs (rows of 2 * ((width + 1) / 2) bytes), or width x height
// RGBA pixels. The caller vouches that data holds that whole frame; it is
// described as planes and composed by ComposeCameraImage.
void OnComb(int32_t width, int32_t height, int32_t slot, const uint8_t* data);

// Image listeners of the four slots, in slot order.
extern "C" {
void imageAvailableCallback0(void* context, AImageReader* reader);
void imageAvailableCallback1(void* context, AImageReader* reader);
void imageAvailableCallback2(void* context, AImageReader* reader);
void imageAvailableCallback3(void* context, AImageReader* reader);
}
extern AImageReader_ImageCallback const imageAvailableCallbackNum[4];

// Largest per-camera side openCamera accepts.
constexpr int32_t kMaxCameraSide = 4096;

// Frames refused since the last open, per slot (wrong size or short planes).
uint64_t RejectedFrames(int32_t slot);
// Complete sets handed to the output worker since the last open.
uint64_t CompletedSets();
