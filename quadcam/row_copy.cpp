#include "quadcam/row_copy.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// One row into kCount destinations whose addresses agree modulo 16, with
// non-temporal stores: every 64 bytes of the source are loaded once
// (unaligned) and streamed to each destination (aligned); the ragged ends
// by memcpy.
template <size_t kCount>
void StreamRow(uint8_t* const (&dsts)[kCount], const uint8_t* src, size_t n) {
  uint8_t* dst[kCount];
  for (size_t d = 0; d < kCount; ++d) {
    dst[d] = dsts[d];
  }
  size_t head = (16 - (reinterpret_cast<uintptr_t>(dst[0]) & 15)) & 15;
  if (head > n) {
    head = n;
  }
  for (size_t d = 0; d < kCount; ++d) {
    std::memcpy(dst[d], src, head);
  }
  size_t at = head;
  for (; n - at >= 64; at += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at + 32));
    const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at + 48));
    for (size_t d = 0; d < kCount; ++d) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst[d] + at), a);
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst[d] + at + 16), b);
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst[d] + at + 32), c);
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst[d] + at + 48), e);
    }
  }
  for (; n - at >= 16; at += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
    for (size_t d = 0; d < kCount; ++d) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst[d] + at), a);
    }
  }
  for (size_t d = 0; d < kCount; ++d) {
    std::memcpy(dst[d] + at, src + at, n - at);
  }
}
#endif

// A span of a row into one destination.
void CopySpan(uint8_t* dst, const uint8_t* src, size_t n, bool streaming) {
#if defined(__SSE2__)
  if (streaming) {
    uint8_t* const dsts[1] = {dst};
    StreamRow(dsts, src, n);
    return;
  }
#else
  (void)streaming;
#endif
  std::memcpy(dst, src, n);
}

// Whether a copy of this many bytes in all goes past the cache.
bool Streams(size_t totalBytes) {
#if defined(__SSE2__)
  return totalBytes >= kStreamingCopyBytes;
#else
  (void)totalBytes;
  return false;
#endif
}

// Streaming stores are weakly ordered: make them visible before whoever
// reads the picture is told it is there.
void EndCopy(bool streaming) {
#if defined(__SSE2__)
  if (streaming) {
    _mm_sfence();
  }
#else
  (void)streaming;
#endif
}

// Where one load cannot feed both destinations (no streaming stores, or
// destinations that disagree in alignment), a row goes to the first and
// then to the second in spans of this many bytes: small enough that the
// span is still in the first-level cache for the second copy, large enough
// that the C library's copy runs at full speed on each.
constexpr size_t kTwiceSpanBytes = 2048;

}  // namespace

void CopyRows(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride,
              size_t rowBytes, size_t rows) {
  if (rows == 0 || rowBytes == 0) {
    return;
  }
  const bool streaming = Streams(rowBytes * rows);
  if (dstStride == rowBytes && srcStride == rowBytes) {
    CopySpan(dst, src, rowBytes * rows, streaming);
  } else {
    for (size_t r = 0; r < rows; ++r) {
      CopySpan(dst + r * dstStride, src + r * srcStride, rowBytes, streaming);
    }
  }
  EndCopy(streaming);
}

void CopyRowsTwice(uint8_t* first, size_t firstStride, uint8_t* second, size_t secondStride,
                   const uint8_t* src, size_t srcStride, size_t rowBytes, size_t rows) {
  if (rows == 0 || rowBytes == 0) {
    return;
  }
  const bool streaming = Streams(rowBytes * rows);
  if (firstStride == rowBytes && secondStride == rowBytes && srcStride == rowBytes) {
    // No padding anywhere: the rows are one long row in all three.
    rowBytes *= rows;
    rows = 1;
  }
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* from = src + r * srcStride;
    uint8_t* const to[2] = {first + r * firstStride, second + r * secondStride};
#if defined(__SSE2__)
    if (streaming &&
        ((reinterpret_cast<uintptr_t>(to[0]) ^ reinterpret_cast<uintptr_t>(to[1])) & 15) == 0) {
      StreamRow(to, from, rowBytes);
      continue;
    }
#endif
    for (size_t done = 0; done < rowBytes; done += kTwiceSpanBytes) {
      const size_t n = rowBytes - done < kTwiceSpanBytes ? rowBytes - done : kTwiceSpanBytes;
      CopySpan(to[0] + done, from + done, n, streaming);
      CopySpan(to[1] + done, from + done, n, streaming);
    }
  }
  EndCopy(streaming);
}
