// The number-plate picture: a canvas in the plate's colour, one region glyph
// and six or seven letters and digits from the plate glyph sheets, shrunk to
// the small picture the plate display loads.
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/imagegen/glyph_plan.h"
#include "avm/imagegen/image_files.h"
#include "avm/include/avm_image_tools.h"

namespace {

constexpr int kRegionGlyphWidth = 76;
constexpr int kRegionGlyphHeight = 146;
constexpr int kCharGlyphWidth = 70;
constexpr int kCharGlyphHeight = 130;
constexpr int kCanvasHeight = 184;
constexpr int kShortCanvasWidth = 577;
constexpr int kLongCanvasWidth = 650;
constexpr int kPictureHeight = 25;
constexpr int kShortPictureWidth = 80;
constexpr int kLongPictureWidth = 87;
constexpr std::size_t kShortLength = 6;
constexpr std::size_t kLongLength = 7;

// Cell of a letter or digit in the character sheet; -1 for anything else.
// Plain ranges rather than the locale's classes: only ASCII letters and
// digits have glyphs.
int CharacterCell(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'Z') {
    return 10 + (c - 'A');
  }
  if (c >= 'a' && c <= 'z') {
    return 10 + (c - 'a');
  }
  return -1;
}

// Background colour of the canvas, in the sheets' B, G, R order.
cv::Scalar PlateColour(int32_t style) {
  switch (style) {
    case 0:
      return cv::Scalar(134, 0, 6);  // blue
    case 1:
      return cv::Scalar(0, 204, 255);  // yellow
    default:
      return cv::Scalar(108, 216, 80);  // green
  }
}

// The text is used only when it has at least six characters and each one
// drawn has a glyph: a shorter text or another character would select
// cells that do not exist. Characters beyond those drawn are not looked at.
bool TextAcceptable(const char* text, std::size_t length, std::size_t drawn) {
  if (length < kShortLength) {
    return false;
  }
  for (std::size_t i = 0; i < drawn; ++i) {
    if (CharacterCell(text[i]) < 0) {
      return false;
    }
  }
  return true;
}

int32_t ComposePlate(int32_t region, const char* text, int32_t style) {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr) {
    AVM_LOGI("---------genPlate:renderer not initialised");
    return 0;
  }
  if (text == nullptr) {
    AVM_LOGI("---------genPlate:no text");
    return 0;
  }
  const std::size_t length = std::strlen(text);
  const bool longLayout = length == kLongLength;
  const std::size_t characters = longLayout ? kLongLength : kShortLength;
  if (!TextAcceptable(text, length, characters)) {
    AVM_LOGI("---------genPlate:text refused,%zu bytes", length);
    return 0;
  }

  char directory[kPathBufferSize];
  char regionPath[kPathBufferSize];
  char characterPath[kPathBufferSize];
  char outputPath[kPathBufferSize];
  if (!FormatPath(directory, sizeof(directory), "%scommon/plate/", scene->assetRoot) ||
      !FormatPath(regionPath, sizeof(regionPath), "%s/simple%d.bin", directory, style) ||
      !FormatPath(characterPath, sizeof(characterPath), "%s/number%d.bin", directory, style) ||
      !FormatPath(outputPath, sizeof(outputPath), "%s/plate.png", directory)) {
    return 0;
  }

  const cv::Mat regions = DecodeStoredPicture(regionPath);
  const cv::Mat glyphs = DecodeStoredPicture(characterPath);
  if (regions.type() != CV_8UC3 || regions.empty() || glyphs.type() != CV_8UC3 || glyphs.empty()) {
    AVM_LOGI("---------genPlate:sheets of style %d missing or not 8-bit three-channel", style);
    return 0;
  }

  cv::Mat canvas(kCanvasHeight, longLayout ? kLongCanvasWidth : kShortCanvasWidth, CV_8UC3,
                 PlateColour(style));
  GlyphPlan regionPlan{};
  AddGlyphPaste(&regionPlan, int64_t{kRegionGlyphWidth} * region, 0, kRegionGlyphWidth,
                kRegionGlyphHeight, 16, 19);
  GlyphPlan characterPlan{};
  for (std::size_t i = 0; i < characters; ++i) {
    // The first character stands apart from the others, after the region.
    const int64_t x = i == 0 ? 92 : 203 + 73 * static_cast<int64_t>(i - 1);
    AddGlyphPaste(&characterPlan, int64_t{kCharGlyphWidth} * CharacterCell(text[i]), 0,
                  kCharGlyphWidth, kCharGlyphHeight, x, 28);
  }
  if (!GlyphPlanFits(regionPlan, regions, canvas)) {
    AVM_LOGI("---------genPlate:region %d outside the region sheet", region);
    return 0;
  }
  if (!GlyphPlanFits(characterPlan, glyphs, canvas)) {
    AVM_LOGI("---------genPlate:character sheet of style %d too small", style);
    return 0;
  }
  ApplyGlyphPlan(regionPlan, regions, canvas);
  ApplyGlyphPlan(characterPlan, glyphs, canvas);

  cv::Mat picture(kPictureHeight, longLayout ? kLongPictureWidth : kShortPictureWidth, CV_8UC3);
  cv::resize(canvas, picture, picture.size(), 0, 0, cv::INTER_AREA);
  if (!SavePngReplacing(outputPath, picture, Durability::kSurvivesPowerLoss)) {
    AVM_LOGI("---------genPlate:%s not written", outputPath);
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" int32_t genPlate(int32_t region, const char* text, int32_t style) {
  return GuardEntry("genPlate", 0, [region, text, style] { return ComposePlate(region, text, style); });
}

extern "C" int32_t AvmGenPlate(int32_t region, const char* text, int32_t style) {
  return genPlate(region, text, style);
}
