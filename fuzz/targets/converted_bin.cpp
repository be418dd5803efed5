// Converted ".bin" pictures: the input becomes a PNG file, pngToBin makes
// its ".bin" copy, and both the sprite decoder and the glyph-sheet reader
// decode that copy from the file. The copy is either missing or exactly as
// long as its source with the magic in front; inputs that already start
// with the magic are decoded as they are.
#include <cstring>
#include <string>
#include <vector>

#include "avm/imagegen/image_files.h"
#include "avm/include/avm_image_tools.h"
#include "avm/sprites/sprite_image.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"

FUZZ_TARGET(converted_bin) {
  static const std::string work = fuzz::ScratchDirectory() + "converted/";
  static const bool made = fuzz::MakeDirectories(work);
  const std::string png = work + "sheet.png";
  const std::string bin = work + "sheet.bin";
  fuzz::RemoveTree(bin);
  if (!made || !fuzz::WriteWholeFile(png, data, size)) {
    fuzz::Fail("converted_bin", "cannot write the source");
  }
  pngToBin(png.c_str(), bin.c_str());
  std::string copy;
  if (fuzz::ReadWholeFile(bin, &copy)) {
    if (size > kConversionLimitBytes) {
      fuzz::Fail("converted_bin", "a source over the working limit was converted");
    }
    if (copy.size() != size) {
      fuzz::Fail("converted_bin", "copy length differs from the source");
    }
    const std::size_t head = size < kSignatureBytes ? size : kSignatureBytes;
    if (std::memcmp(copy.data(), kConvertedImageMagic, head) != 0 ||
        std::memcmp(copy.data() + head, data + head, size - head) != 0) {
      fuzz::Fail("converted_bin", "copy is not the source behind the magic");
    }
  } else if (size <= kConversionLimitBytes) {
    fuzz::Fail("converted_bin", "a source within the working limit was not converted");
  }
  const std::string& decoded = size >= kSignatureBytes &&
                                       std::memcmp(data, kConvertedImageMagic, kSignatureBytes) == 0
                                   ? png
                                   : bin;
  const cv::Mat sprite = DecodeSpriteImage(decoded.c_str());
  if (!sprite.empty() && sprite.type() != CV_8UC4) {
    fuzz::Fail("converted_bin", "sprite decoder gave another pixel type");
  }
  const cv::Mat sheet = DecodeStoredPicture(decoded.c_str());
  if (!sheet.empty() && static_cast<int64_t>(sheet.cols) * sheet.rows > kMaxGlyphPixels) {
    fuzz::Fail("converted_bin", "glyph sheet over the pixel limit");
  }
  return 0;
}
