#pragma once
// The converted picture file (".bin") in which the renderer keeps its glyph
// sheets: a PNG file whose 8-byte signature is replaced by the 8 bytes
// "kes " 0x30 0x0B 0x09 0x0C; everything after the signature is unchanged,
// so the file is exactly as long as its PNG.
#include <cstddef>
#include <string>

namespace tools {

inline const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);
inline const std::string kBinMagic("kes \x30\x0b\x09\x0c", 8);

// The renderer converts in one buffer of this many bytes; a larger file
// could not be made or refreshed on the device, so the tools refuse it.
constexpr std::size_t kBinWorkingLimit = 512000;

inline bool HasPngSignature(const std::string& bytes) { return bytes.compare(0, 8, kPngSignature) == 0 && bytes.size() >= 8; }
inline bool HasBinMagic(const std::string& bytes) { return bytes.compare(0, 8, kBinMagic) == 0 && bytes.size() >= 8; }

// PNG bytes to the converted form. Refuses (false, *error) a file that is
// larger than the working limit, does not start with the PNG signature, or
// has no IHDR chunk right after it.
bool PngToBin(const std::string& png, std::string* bin, std::string* error);

// The converted form back to PNG, with the same checks on the magic.
bool BinToPng(const std::string& bin, std::string* png, std::string* error);

}  // namespace tools
