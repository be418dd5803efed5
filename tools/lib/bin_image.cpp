#include "tools/lib/bin_image.h"

namespace tools {

namespace {

// The first chunk of every PNG: length 13, type IHDR.
bool HasHeaderChunk(const std::string& bytes) {
  static const std::string kHeader("\0\0\0\x0dIHDR", 8);
  return bytes.size() >= 8 + 8 + 13 + 4 && bytes.compare(8, 8, kHeader) == 0;
}

bool Swap(const std::string& in, const std::string& expected, const char* expectedName, const std::string& replacement,
          std::string* out, std::string* error) {
  if (in.size() > kBinWorkingLimit) {
    *error = "the file is " + std::to_string(in.size()) + " bytes; pictures are converted up to " +
             std::to_string(kBinWorkingLimit) + " bytes";
    return false;
  }
  if (in.size() < 8 || in.compare(0, 8, expected) != 0) {
    *error = std::string("the file does not start with ") + expectedName;
    return false;
  }
  if (!HasHeaderChunk(in)) {
    *error = "the file has no PNG header chunk after its first 8 bytes";
    return false;
  }
  *out = in;
  out->replace(0, 8, replacement);
  return true;
}

}  // namespace

bool PngToBin(const std::string& png, std::string* bin, std::string* error) {
  return Swap(png, kPngSignature, "the PNG signature", kBinMagic, bin, error);
}

bool BinToPng(const std::string& bin, std::string* png, std::string* error) {
  return Swap(bin, kBinMagic, "the converted-picture magic \"kes \" 30 0B 09 0C", kPngSignature, png, error);
}

}  // namespace tools
