#pragma once
// Little-endian fixed-width values in byte strings, written and read byte by
// byte so that the files come out the same whatever the host's byte order or
// the size of its long and pointer types.
#include <cstdint>
#include <cstring>
#include <string>

namespace tools {

inline void AppendU32(std::string* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
  }
}

inline void AppendI32(std::string* out, std::int32_t value) { AppendU32(out, static_cast<std::uint32_t>(value)); }

inline void AppendF32(std::string* out, float value) {
  static_assert(sizeof(float) == 4, "IEEE single precision expected");
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  AppendU32(out, bits);
}

inline std::uint32_t ReadU32(const unsigned char* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

inline std::int32_t ReadI32(const unsigned char* at) { return static_cast<std::int32_t>(ReadU32(at)); }

inline float ReadF32(const unsigned char* at) {
  const std::uint32_t bits = ReadU32(at);
  float value = 0.0f;
  std::memcpy(&value, &bits, 4);
  return value;
}

inline const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace tools
