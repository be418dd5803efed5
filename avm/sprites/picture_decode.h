#pragma once
// Reading and decoding the pictures the renderer takes from car packages and
// the asset tree: car sprites, glyph sheets and their converted ".bin" form.
// These files are made by someone else and may be damaged or hostile, so
// they are read whole with a size limit, their stated size is checked before
// the decoder allocates it, and only the picture formats the renderer is
// given ever reach a decoder.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

// The image files converted for the renderer: a PNG stream whose 8-byte
// signature is replaced by "kes " and the bytes 0x30 0x0B 0x09 0x0C.
constexpr std::size_t kSignatureBytes = 8;
extern const uint8_t kConvertedImageMagic[kSignatureBytes];
extern const uint8_t kPngSignature[kSignatureBytes];

// Reads the whole regular file at path (opened without blocking, so a pipe
// in its place cannot stall the caller) when it holds at most limit bytes.
// False, with bytes empty, for a missing, special, oversized or unreadable
// file, or one that shrank while it was read.
bool ReadRegularFile(const char* path, std::size_t limit, std::vector<uint8_t>* bytes);

// The picture formats that are handed to the decoder, told by their first
// bytes: PNG (and the converted form), JPEG, BMP and WebP. The decoder
// library recognises many more (medical, geographic, HDR formats), some of
// whose readers abort the process on a damaged stream; nothing the renderer
// is given uses them.
bool IsDecodablePicture(const std::vector<uint8_t>& bytes);

// Whether every chunk of the PNG stream in bytes (signature included), up to
// IEND, lies inside the bytes. The decoder fails on a stream that does not,
// but only after it has skipped a chunk stating up to 2 GB in tiny reads
// (seconds for a file of 200 bytes), so such a stream is refused before it
// gets there. Bytes after IEND are ignored, as the decoder ignores them.
bool PngChunksComplete(const std::vector<uint8_t>& bytes);

// The size a picture's headers state, before anything is decoded: PNG
// (IHDR), BMP (the info header), JPEG (the frame header before the first
// scan) and WebP (the largest of the extended format's canvas and the lossy
// and lossless frame headers). Not known for other formats and for headers
// that are cut or malformed.
struct StatedSize {
  bool known = false;
  int64_t width = 0;
  int64_t height = 0;
};
StatedSize StatedPictureSize(const std::vector<uint8_t>& bytes);

// Decodes a whole picture file held in bytes, keeping its channels and depth
// as stored. A converted file gets its PNG signature back in place first.
// Empty when the stream is not of a format above, its stated size cannot be
// read or lies beyond maxPixels, it is a PNG stream whose chunks are not
// complete, or it does not decode.
cv::Mat DecodePictureBytes(std::vector<uint8_t>& bytes, int64_t maxPixels);
