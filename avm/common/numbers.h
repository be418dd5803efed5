#pragma once
// Small numeric rules every folder of the renderer shares: pi, the
// finiteness check that keeps a damaged table or a degenerate camera out of
// the GL state, and the byte order of the file formats.
#include <cmath>
#include <cstddef>
#include <cstdint>

constexpr double kPi = 3.14159265358979323846;

// True when every one of the count values is finite.
inline bool AllFinite(const float* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) {
      return false;
    }
  }
  return true;
}

// The packages and pictures store their numbers least significant byte
// first, whatever the machine's own order.
inline int32_t LittleEndian32(const uint8_t* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
      (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}
