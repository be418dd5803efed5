// The glyph-sheet readers of the plate and tyre-panel pictures: the input
// supplies both sheets of one generator and its arguments. A refused call
// leaves the previous picture byte for byte; an accepted one writes a
// picture of the documented size.
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "avm/include/avm_image_tools.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_scene.h"
#include "fuzz/fuzz_support.h"

namespace {

const char* const kTexts[] = {"AB12345", "XY9876", "abc123z", "Q1W2E3R4", "A1", "AB 123!"};

void CheckPicture(const std::string& path, const std::string& before, bool written, int width,
                  int height, const char* target) {
  std::string after;
  fuzz::ReadWholeFile(path, &after);
  if (!written) {
    if (after != before) {
      fuzz::Fail(target, "a refused call changed the picture");
    }
    return;
  }
  const cv::Mat picture = cv::imread(path, cv::IMREAD_UNCHANGED);
  if (picture.cols != width || picture.rows != height) {
    fuzz::Fail(target, "the written picture has another size");
  }
}

}  // namespace

FUZZ_TARGET(glyph_sheets) {
  static const std::string plate = fuzz::SceneAssetRoot() + "common/plate/";
  static const std::string pressure = fuzz::SceneAssetRoot() + "common/pressure/";
  static const bool made = fuzz::MakeDirectories(plate) && fuzz::MakeDirectories(pressure);
  if (!made) {
    fuzz::Fail("glyph_sheets", "cannot make the asset folders");
  }
  fuzz::ByteReader in(data, size);
  const uint8_t which = in.U8();
  const std::vector<uint8_t> first = in.Bytes(in.U16());
  const std::vector<uint8_t> second = in.Rest();
  if (which % 2 == 0) {
    const int32_t region = static_cast<int8_t>(which >> 1);
    const char* text = kTexts[(which >> 4) % 6];
    fuzz::WriteWholeFile(plate + "simple0.bin", first.data(), first.size());
    fuzz::WriteWholeFile(plate + "number0.bin", second.data(), second.size());
    std::string before;
    fuzz::ReadWholeFile(plate + "plate.png", &before);
    const int32_t result = genPlate(region, text, 0);
    if (result != 0 && result != 1) {
      fuzz::Fail("glyph_sheets", "genPlate result outside 0, 1");
    }
    CheckPicture(plate + "plate.png", before, result == 1, std::string(text).size() == 7 ? 87 : 80,
                 25, "glyph_sheets/plate");
  } else {
    const uint8_t a = which >> 1;
    fuzz::WriteWholeFile(pressure + "background0.bin", first.data(), first.size());
    fuzz::WriteWholeFile(pressure + "number0.bin", second.data(), second.size());
    std::string before;
    fuzz::ReadWholeFile(pressure + "pressure.png", &before);
    const int32_t result = genTirePressure((a & 7) * 130, a & 8 ? 1 : 0, (a & 16) ? -98 : 37, 0,
                                           (a >> 5) & 3, a & 1, a & 2 ? 1 : 0, 0);
    if (result != 1 && result != -1) {
      fuzz::Fail("glyph_sheets", "genTirePressure result outside 1, -1");
    }
    CheckPicture(pressure + "pressure.png", before, result == 1, 80, 50, "glyph_sheets/pressure");
  }
  return 0;
}
