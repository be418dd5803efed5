#pragma once
// Identity marks of the sample asset kit.
//
// Every picture the sample generator writes says what it is, so that a test
// which only has pixels (a texture read back from GL, a composed state image)
// can tell which file they came from. Two marks, both hidden in the two low
// bits of the first three bytes of a pixel (B, G, R as decoded; a texture
// uploaded unchanged keeps them in its R, G, B components):
//
//  1. The header mark: the first 16 pixels of the first row (row 0, columns
//     0..15). Pixel i carries one 6-bit value ("sextet"): bits 0-1 in byte 0,
//     bits 2-3 in byte 1, bits 4-5 in byte 2. Sextets:
//        0, 1    magic 0x2B, 0x1D
//        2       kind (Kind below)
//        3, 4    angle   (12 bits, low sextet first; 4095 = none)
//        5, 6    group   (12 bits)
//        7, 8    number  (12 bits)
//        9, 10   frame   (12 bits)
//        11, 12  steer   (12 bits)
//        13      format version (1)
//        14, 15  check: c = 0x5A5; c = (c * 31 + sextet[i]) & 0xFFF for i = 0..13
//     Car sprites keep row 0 fully transparent (alpha 0), so the header is
//     invisible when drawn with blending; in opaque pictures it changes each
//     colour byte by at most 3.
//  2. The layer code of every opaque pixel (alpha > 0) of a car sprite, in
//     the same two low bits of bytes 0..2: which kind of car file the pixel
//     comes from (Layer below). A composed state image therefore shows, pixel
//     by pixel, which overlay was pasted where.
//
// Header-only and free of other dependencies so that renderer tests can use
// it on raw pixel buffers.
#include <cstddef>
#include <cstdint>

namespace sample_marks {

constexpr int kHeaderPixels = 16;
constexpr int kNone = 4095;  // field value meaning "not applicable"
constexpr int kFormatVersion = 1;

enum Kind : int {
  kKindWholeCar = 1,        // color/a/<angle>.kes: angle
  kKindTopImage = 2,        // color/top/top<d0d1d2d3>.kes: number = d0d1d2d3 read as a decimal (e.g. 1000)
  kKindWheel = 3,           // tires/...: angle (state angle), group (WheelGroup), number (0 front f, 1 back b), frame, steer (0, 10, 20, 30)
  kKindLamp = 4,            // color/light/<group>/<k>.kes: angle, group (LampGroup), number k
  kKindDoor = 5,            // color/door/<group>/d<k>.kes: angle (none for top), group (DoorGroup), number k
  kKindCarPicture = 6,      // color/light2.kes (number 0), warning2.kes (1), light1.kes (2), the load_textureIndex types
  kKindCommonPicture = 7,   // common/<name><N>.png: group (CommonPicture), number N (none for unnumbered names)
  kKindPlateSheet = 8,      // common/plate/simple<s>.bin (group 0), number<s>.bin (group 1): number = style s
  kKindPressureSheet = 9,   // common/pressure/background<s> (group 0), number<s> (group 1): number = style s
  kKindPlatePicture = 10,   // common/plate/plate.png
};

enum WheelGroup : int { kWheelPartial = 0, kWheelLeft = 1, kWheelRight = 2 };
enum LampGroup : int { kLampLeft = 0, kLampRight = 1, kLampFront = 2, kLampBack = 3, kLampFront2 = 4 };
enum DoorGroup : int { kDoorLeft = 0, kDoorRight = 1, kDoorTop = 2, kDoorFront = 3, kDoorBack = 4, kDoorFront2 = 5 };
enum CommonPicture : int {
  kPicCarBottom = 0, kPicLine = 1, kPicTireWarning = 2, kPicPowerLow = 3, kPicLeak = 4,
  kPicPressureLow = 5, kPicPressureHigh = 6, kPicTemperatureHigh = 7, kPicTireOk = 8,
  kPicSafeLine = 9, kPicLogo = 10, kPicBackground = 11, kPicRoadway = 12, kPicLane = 13,
};

struct Mark {
  int kind = 0;
  int angle = kNone;
  int group = kNone;
  int number = kNone;
  int frame = kNone;
  int steer = kNone;
};

inline bool operator==(const Mark& a, const Mark& b) {
  return a.kind == b.kind && a.angle == b.angle && a.group == b.group && a.number == b.number &&
         a.frame == b.frame && a.steer == b.steer;
}
inline bool operator!=(const Mark& a, const Mark& b) { return !(a == b); }

// Layer codes of opaque car-sprite pixels (6 bits).
enum Layer : int {
  kLayerNone = 0,
  kLayerWholeCar = 1,
  kLayerTopImage = 2,
  kLayerFrontWheel = 3,        // + frame (0..5), straight front wheel
  kLayerBackWheel = 9,         // + frame
  kLayerFrontWheelSteer10 = 15,  // + frame; steer 20 and 30 follow in steps of 6
  kLayerLamp = 33,             // + LampIndex
  kLayerDoor = 43,             // + door image number k (0..5)
  kLayerLight2 = 49,
  kLayerWarning2 = 50,
  kLayerLight1 = 51,
};

// Lamp images in the order of their layer codes.
enum LampIndex : int {
  kLampLeft4 = 0, kLampRight5 = 1, kLampFront0 = 2, kLampFront1 = 3, kLampBack4 = 4,
  kLampBack5 = 5, kLampFront2_0 = 6, kLampFront2_1 = 7, kLampFront2_2 = 8, kLampFront2_3 = 9,
};

// Layer code of a wheel image: front (f) or back (b), steer set 0/10/20/30
// (only front wheels steer), wheel frame 0..5.
inline int WheelLayer(bool front, int steer, int frame) {
  if (!front) {
    return kLayerBackWheel + frame;
  }
  if (steer == 0) {
    return kLayerFrontWheel + frame;
  }
  return kLayerFrontWheelSteer10 + (steer / 10 - 1) * 6 + frame;
}

inline int PixelLayer(const std::uint8_t* pixel) {
  return (pixel[0] & 3) | ((pixel[1] & 3) << 2) | ((pixel[2] & 3) << 4);
}

inline void SetPixelLayer(std::uint8_t* pixel, int code) {
  pixel[0] = static_cast<std::uint8_t>((pixel[0] & 0xFC) | (code & 3));
  pixel[1] = static_cast<std::uint8_t>((pixel[1] & 0xFC) | ((code >> 2) & 3));
  pixel[2] = static_cast<std::uint8_t>((pixel[2] & 0xFC) | ((code >> 4) & 3));
}

namespace detail {
inline int Check(const int* sextets) {
  int c = 0x5A5;
  for (int i = 0; i < 14; ++i) {
    c = (c * 31 + sextets[i]) & 0xFFF;
  }
  return c;
}
inline void Put12(int* sextets, int at, int value) {
  sextets[at] = value & 0x3F;
  sextets[at + 1] = (value >> 6) & 0x3F;
}
inline int Get12(const int* sextets, int at) { return sextets[at] | (sextets[at + 1] << 6); }
inline bool FieldOk(int value) { return value >= 0 && value <= kNone; }
}  // namespace detail

// Writes the header mark into row 0 (the first width x channels bytes of
// `pixels`) of an image of at least 16 columns and 3 or more bytes per
// pixel. Returns false (and writes nothing) when the image is too small or a
// field is out of range.
inline bool WriteMark(std::uint8_t* pixels, int width, int height, int channels, const Mark& mark) {
  if (pixels == nullptr || width < kHeaderPixels || height < 1 || channels < 3 || mark.kind < 0 ||
      mark.kind > 63) {
    return false;
  }
  const int fields[5] = {mark.angle, mark.group, mark.number, mark.frame, mark.steer};
  for (int value : fields) {
    if (!detail::FieldOk(value)) {
      return false;
    }
  }
  int s[kHeaderPixels];
  s[0] = 0x2B;
  s[1] = 0x1D;
  s[2] = mark.kind;
  for (int i = 0; i < 5; ++i) {
    detail::Put12(s, 3 + 2 * i, fields[i]);
  }
  s[13] = kFormatVersion;
  detail::Put12(s, 14, detail::Check(s));
  for (int i = 0; i < kHeaderPixels; ++i) {
    SetPixelLayer(pixels + static_cast<std::size_t>(i) * static_cast<std::size_t>(channels), s[i]);
  }
  return true;
}

// Reads the header mark from row 0. Returns false when the image is too
// small or carries no valid mark (wrong magic, version or check).
inline bool ReadMark(const std::uint8_t* pixels, int width, int height, int channels, Mark* mark) {
  if (pixels == nullptr || mark == nullptr || width < kHeaderPixels || height < 1 || channels < 3) {
    return false;
  }
  int s[kHeaderPixels];
  for (int i = 0; i < kHeaderPixels; ++i) {
    s[i] = PixelLayer(pixels + static_cast<std::size_t>(i) * static_cast<std::size_t>(channels));
  }
  if (s[0] != 0x2B || s[1] != 0x1D || s[13] != kFormatVersion || detail::Get12(s, 14) != detail::Check(s)) {
    return false;
  }
  mark->kind = s[2];
  mark->angle = detail::Get12(s, 3);
  mark->group = detail::Get12(s, 5);
  mark->number = detail::Get12(s, 7);
  mark->frame = detail::Get12(s, 9);
  mark->steer = detail::Get12(s, 11);
  return true;
}

}  // namespace sample_marks
