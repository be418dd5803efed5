#pragma once
// Pictures that a damaged or hostile car package may hold, made from small
// real pictures: headers that state a size far beyond anything the renderer
// decodes, in every format it takes. The streams are otherwise ordinary, so
// a decoder that believed the header would allocate the stated size and
// decode (or try to) all of it.
#include <cstdint>
#include <string>

// A PNG of 4 x 4 pixels whose header chunk states width x height, its CRC
// made to match, as a decoder checks it.
std::string PngStatingSize(uint32_t width, uint32_t height);

// A JPEG of 16 x 16 pixels whose frame header (SOF0) states width x height
// (each at most 65535).
std::string JpegStatingSize(int width, int height);

// WebP pictures of 8 x 8 pixels whose headers state width x height:
// lossy ("VP8 ", each side at most 16383), lossless ("VP8L", at most 16384)
// and extended ("VP8X" canvas before a lossless image, at most 2^24).
std::string WebpLossyStatingSize(int width, int height);
std::string WebpLosslessStatingSize(int width, int height);
std::string WebpCanvasStatingSize(int width, int height);

// For tests that build PNG chunks of their own: a 32-bit value as four
// big-endian bytes, and the CRC-32 a chunk carries over its type and data.
std::string BigEndian32(uint32_t value);
uint32_t PngChunkCrc(const std::string& typeAndData);
