// The picture converter of the tools: PNG to ".bin" and back on arbitrary
// bytes, and the decoder that takes either form. A conversion that succeeds
// keeps every byte after the signature, and its reverse gives the input
// back.
#include <string>

#include <opencv2/core.hpp>

#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"
#include "tools/lib/bin_image.h"
#include "tools/lib/png_codec.h"

FUZZ_TARGET(tools_convert) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string bin;
  std::string png;
  std::string back;
  std::string error;
  if (tools::PngToBin(input, &bin, &error)) {
    if (bin.size() != input.size() || !tools::HasBinMagic(bin) ||
        bin.compare(8, std::string::npos, input, 8, std::string::npos) != 0) {
      fuzz::Fail("tools_convert", "to-bin changed more than the signature");
    }
    if (!tools::BinToPng(bin, &back, &error) || back != input) {
      fuzz::Fail("tools_convert", "to-png does not undo to-bin");
    }
  }
  if (tools::BinToPng(input, &png, &error)) {
    if (png.size() != input.size() || !tools::HasPngSignature(png)) {
      fuzz::Fail("tools_convert", "to-png changed the length or missed the signature");
    }
  }
  cv::Mat image;
  if (tools::DecodeImage(input, &image, &error) && image.empty()) {
    fuzz::Fail("tools_convert", "decoding reported success with no picture");
  }
  return 0;
}
