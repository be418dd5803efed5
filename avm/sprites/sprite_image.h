#pragma once
// What every car sprite loader shares: decoding an image file with its
// alpha channel, pasting overlays onto a working copy of a base image, and
// uploading the result into a GL texture.
//
// Pixels stay in the decoder's byte order, B, G, R, A, from decoding to the
// texture: the upload hands those bytes to GL as RGBA unchanged, and the car
// shader reads them accordingly. A pixel is opaque when its A byte is
// non-zero.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "avm/sprites/picture_decode.h"

// Files larger than this are not read: no sprite comes near it, and a
// damaged or hostile file must not take the memory of the device.
constexpr std::size_t kMaxSpriteFileBytes = 32u << 20;
// Decoded images larger than this (in pixels) are refused before decoding,
// by the size their header states, for the same reason.
constexpr int64_t kMaxSpritePixels = int64_t{4096} * 4096;

// Decodes the image file at path (PNG, JPEG, BMP or WebP, whatever its
// extension; see DecodePictureBytes) with its alpha channel kept, into 8-bit
// B, G, R, A pixels (continuous rows, top row first). Converted image files
// are decoded as the PNG streams they are.
// Images without alpha get an opaque one; 16-bit images are brought to 8
// bits. A missing, unreadable, oversized or undecodable file gives an empty
// image; nothing is logged here (the callers decide what a miss means),
// except a decoder or a conversion that throws (one line per picture).
cv::Mat DecodeSpriteImage(const char* path);

// The same from bytes in memory (the file's whole content).
cv::Mat DecodeSpriteBytes(std::vector<uint8_t>& bytes);

// Uploads image into texture as GL_RGBA / GL_UNSIGNED_BYTE, bytes exactly
// as decoded, first row first. An empty image, one with a side beyond
// GL_MAX_TEXTURE_SIZE, or one whose upload GL refuses gives a 0 x 0 texture
// (the last two logged once per size): never the texture's old content.
// Sets no texture parameters. Returns texture. GL thread only.
int UploadSpriteImage(int texture, const cv::Mat& image);

// Opaque-pixel overlay (wheels, lamps): every opaque overlay pixel replaces
// the working pixel at (x + column, y + row), all four bytes, no blending.
// Opaque-span overlay (doors): in each overlay row every pixel from the
// first to the last opaque one, transparent ones between included, replaces
// the working pixel; rows without an opaque pixel change nothing.
// Both write only inside the working image: the parts of the overlay that
// fall outside it (positions come from params.bin and may be anything) are
// dropped. An empty working image, or images that are not 8-bit four-channel,
// are left alone.
void PasteOpaquePixels(cv::Mat& working, const cv::Mat& overlay, int32_t x, int32_t y);
void PasteOpaqueSpans(cv::Mat& working, const cv::Mat& overlay, int32_t x, int32_t y);

enum class OverlayKind {
  kWheelOrLamp,  // opaque-pixel paste
  kDoor,         // opaque-span paste
};

// Decodes the overlay file at path and pastes it at (x, y) by its kind.
// A missing or undecodable overlay is logged ("---------load_textureLR,load
// failed!" for wheels and lamps, "---------load_textureLR door,load failed!"
// for doors) and skipped. Returns true when something was pasted.
bool PasteOverlayFile(cv::Mat& working, const char* path, int32_t x, int32_t y, OverlayKind kind);

// The process-wide scratch image through which the side, end and
// partial-view loaders pass each decoded base image. GL thread only (the
// loaders run inside a frame, under the scene lock).
extern cv::Mat DestMat;

// A private working copy of the base image at path (empty when the base is
// missing, or the copy cannot be made). The second form passes the decoded
// base through DestMat first.
cv::Mat DecodeWorkingImage(const char* path);
cv::Mat DecodeWorkingImageViaDestMat(const char* path);
