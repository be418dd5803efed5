#pragma once
// File handling shared by the image tools: reading a glyph sheet with the
// channels it was stored with, replacing a generated file only by a complete
// new one, and keeping a converted ".bin" copy in step with its ".png".
#include <cstddef>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "avm/sprites/picture_decode.h"

// The conversion works on the whole file in one buffer of this size on the
// device; larger sources are refused rather than cut.
constexpr std::size_t kConversionLimitBytes = 512000;

// Glyph sheets are small; anything far larger is damaged or hostile and must
// not take the memory of the device.
constexpr std::size_t kMaxGlyphFileBytes = 8u << 20;
constexpr int64_t kMaxGlyphPixels = int64_t{4096} * 4096;

// Decodes a picture file, converted (".bin") or plain, keeping its channels
// and depth as stored. Empty when the file is missing, too large, states a
// size beyond kMaxGlyphPixels or does not decode.
cv::Mat DecodeStoredPicture(const char* path);

// How a replaced file must survive the device losing power.
enum class Durability {
  // Flushed to the disk before the rename: files that are read again after
  // a restart (converted sheets, the plate picture).
  kSurvivesPowerLoss,
  // Only renamed into place whole: files that are made again before they are
  // next used (a tyre panel is composed afresh after every start), where a
  // flush would only hold up the frame.
  kRemadeAfterRestart,
};

// Writes bytes to "<path>.part" beside path and renames it over path only
// when every byte was written, so a failed write leaves the old file whole.
// False (and no .part left behind) on any failure.
bool ReplaceFileWith(const char* path, const uint8_t* bytes, std::size_t size,
                     Durability durability);

// Encodes picture as PNG with default settings and replaces path with it.
bool SavePngReplacing(const char* path, const cv::Mat& picture, Durability durability);

// Brings binPath up to date with pngPath: when pngPath exists and binPath
// does not, or their modification times differ by more than 2 seconds
// either way, converts it with pngToBin. Returns whether binPath exists
// afterwards.
bool RefreshConvertedPicture(const char* pngPath, const char* binPath);
