#pragma once
// Copies of picture rows between buffers with their own strides. Large
// copies bypass the cache where the processor has streaming stores (x86):
// the composed frame and the window buffers are far larger than the caches
// and are not read back by the copying thread, so writing them through the
// cache would first read every destination line for nothing. On arm64 every
// copy is the C library's memcpy (vector loads and stores): those cores
// notice a run of whole-line stores and stop fetching the lines they
// overwrite by themselves, so plain stores already stream there and a
// hand-written non-temporal path would add code without a measured gain.
#include <cstddef>
#include <cstdint>

// Copies `rows` rows of `rowBytes` bytes. Never touches bytes of a row past
// rowBytes, in the source or the destination.
void CopyRows(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride,
              size_t rowBytes, size_t rows);

// The same rows into two destinations, each with its own stride, reading
// the source from memory once instead of twice: with streaming stores each
// load feeds both destinations where their rows agree in alignment (as
// buffers of one size from one allocator normally do); otherwise every row
// goes to the first and then the second in spans that stay in the
// first-level cache between the two. Each destination receives exactly what
// CopyRows would write into it, and nothing past rowBytes of any row.
void CopyRowsTwice(uint8_t* first, size_t firstStride, uint8_t* second, size_t secondStride,
                   const uint8_t* src, size_t srcStride, size_t rowBytes, size_t rows);

// Where the processor has streaming stores (x86), copies at or above this
// many bytes in total go past the cache; elsewhere every copy is memcpy.
constexpr size_t kStreamingCopyBytes = 256 * 1024;
