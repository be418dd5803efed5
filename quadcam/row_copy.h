#pragma once
// Copies of picture rows between buffers with their own strides. Large
// copies bypass the cache: the composed frame and the window buffers are far
// larger than the caches and are not read back by the copying thread, so
// writing them through the cache would first read every destination line
// for nothing.
#include <cstddef>
#include <cstdint>

// Copies `rows` rows of `rowBytes` bytes. Never touches bytes of a row past
// rowBytes, in the source or the destination.
void CopyRows(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride,
              size_t rowBytes, size_t rows);

// Copies at or above this many bytes in total go past the cache.
constexpr size_t kStreamingCopyBytes = 256 * 1024;
