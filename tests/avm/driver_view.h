#pragma once
// What a frame shows of the sample car, read back from the screen the way a
// driver would see it, and told apart by the marks the sample kit hides in
// every opaque pixel (which file or overlay it came from).
//
// A pixel is read only where the frame holds it exactly as one texel of one
// fully opaque sprite pixel: the car program blends with source alpha over a
// cleared (black, alpha 1) frame, so a fully opaque texel lands unchanged and
// with alpha 255, while a partly transparent one (edges, beams on the road)
// leaves alpha below 255 and mixed colour bits, which are skipped. The car's
// textures must sample nearest (see Nearest in sprite_pixels.h), so that a
// pixel is one texel and not a blend of four.
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "tests/avm/sprite_pixels.h"

// A rectangle of the drawn frame of the test screen as GL holds it, rows
// counted from the bottom (as viewports are), read into a buffer that is
// kept between frames.
class Screen {
 public:
  // Reads the rectangle (x, y, w, h in GL pixels; it need not be whole),
  // clipped to the screen; without one, the whole screen.
  void Read(const float* rect);
  void Read();
  // The rectangle read: columns left to right, rows bottom to top (both
  // ends exclusive at right and top).
  int left() const { return left_; }
  int right() const { return right_; }
  int bottom() const { return bottom_; }
  int top() const { return top_; }
  // RGBA bytes of the pixel x columns from the left, y rows from the
  // bottom of the screen; inside the rectangle read.
  const uint8_t* at(int x, int y) const {
    return &rgba_[(static_cast<size_t>(y - bottom_) * static_cast<size_t>(right_ - left_) +
                   static_cast<size_t>(x - left_)) *
                  4];
  }
  // True when every pixel read is black.
  bool Black() const;

  static constexpr int kWidth = 1024;
  static constexpr int kHeight = 600;

 private:
  int left_ = 0, right_ = 0, bottom_ = 0, top_ = 0;
  std::vector<uint8_t> rgba_ = std::vector<uint8_t>(static_cast<size_t>(kWidth) * kHeight * 4);
};

// The mark code of a frame pixel that shows one opaque sprite texel
// unchanged; 0 (no layer) for anything else.
int SolidLayerOf(const uint8_t* pixel);

// The solid pixels read per layer code inside the viewport (x, y, w, h in
// GL pixels, counted from the bottom). Code 0 is left out.
std::map<int, int> SeenLayers(const Screen& screen, const float* viewport);

// What the pixels read show of the car on a sprite quad (device
// coordinates, vertex order bottom-left, top-left, bottom-right, top-right)
// inside the viewport: their solid pixels per layer code, and how the
// whole-car pixels compare with the base picture expected on the quad.
// Pixels whose centre falls within a hair of a texel or quad edge are left
// out of the comparison: rounding decides them.
struct CarSighting {
  std::map<int, int> layers;
  int expected = 0;  // pixels where the base's own opaque car pixels fall
  int matched = 0;   // whole-car pixels showing exactly the base's texel
  int wrong = 0;     // whole-car pixels showing anything else, or outside the quad
};
CarSighting SightCar(const Screen& screen, const float* viewport, const float* quad,
                     const Picture& base);

// The rectangle (x, y, w, h in GL pixels) a quad in device coordinates
// covers inside the viewport, grown by a margin of pixels.
void QuadRect(const float* viewport, const float* quad, float margin, float* rect);

// Door flags (bit i = door i) that a set of door image numbers k shows open.
int DoorsOfImages(const std::set<int>& images);
// The door image numbers that show the open doors of the flags: one per pair
// with a door open (first pair flags 0 and 2, second pair 1 and 3).
std::set<int> DoorImagesOf(int doors);

// Layer codes sorted into what a driver recognises.
struct CarParts {
  std::set<int> frontWheels;  // layer codes of front wheels (any steer set)
  std::set<int> backWheels;
  std::set<int> lamps;       // LampIndex values
  std::set<int> doorImages;  // door image numbers k
};
CarParts PartsOf(const std::map<int, int>& layers);

// Steer set (0, 10, 20, 30) of a front wheel layer code, and the wheel
// frame (0..5) of a front or back wheel layer code.
int SteerSetOf(int frontWheelLayer);
int WheelFrameOf(int wheelLayer);
