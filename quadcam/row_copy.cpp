#include "quadcam/row_copy.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// One row with non-temporal stores: aligned 16-byte stores to the
// destination, unaligned loads from the source; the ragged ends by memcpy.
void StreamRow(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t head = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
  if (head > n) {
    head = n;
  }
  std::memcpy(dst, src, head);
  dst += head;
  src += head;
  n -= head;
  while (n >= 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 48), d);
    src += 64;
    dst += 64;
    n -= 64;
  }
  while (n >= 16) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    src += 16;
    dst += 16;
    n -= 16;
  }
  std::memcpy(dst, src, n);
}
#endif

}  // namespace

void CopyRows(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride,
              size_t rowBytes, size_t rows) {
  if (rows == 0 || rowBytes == 0) {
    return;
  }
  const bool packed = dstStride == rowBytes && srcStride == rowBytes;
#if defined(__SSE2__)
  if (rowBytes * rows >= kStreamingCopyBytes) {
    if (packed) {
      StreamRow(dst, src, rowBytes * rows);
    } else {
      for (size_t r = 0; r < rows; ++r) {
        StreamRow(dst + r * dstStride, src + r * srcStride, rowBytes);
      }
    }
    // Streaming stores are weakly ordered: make them visible before whoever
    // reads the picture is told it is there.
    _mm_sfence();
    return;
  }
#endif
  if (packed) {
    std::memcpy(dst, src, rowBytes * rows);
    return;
  }
  for (size_t r = 0; r < rows; ++r) {
    std::memcpy(dst + r * dstStride, src + r * srcStride, rowBytes);
  }
}
