// One tyre panel: the pressure line and the temperature line pasted from
// the panel glyph sheet onto the panel background, shrunk to the small
// picture the tyre display loads as a texture.
#include <opencv2/imgproc.hpp>

#include "avm/common/avm_log.h"
#include "avm/common/entry_boundary.h"
#include "avm/common/log_latch.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/imagegen/glyph_plan.h"
#include "avm/imagegen/image_files.h"
#include "avm/include/avm_image_tools.h"

namespace {

constexpr int kCell = 70;        // glyph width
constexpr int kRowHeight = 130;  // glyph height; row 1 holds the alarm glyphs
constexpr int kLabelWidth = 210;
constexpr int kPressureY = 28;
constexpr int kTemperatureY = 212;
constexpr int kPanelWidth = 80;
constexpr int kPanelHeight = 50;

constexpr int kMinusCell = 16;
constexpr int kTemperatureLabelCell = 17;
constexpr int kStatusIconCellBase = 12;
constexpr int kAlarmIconCell = 14;  // in row 1 only
constexpr int kDecimalPointX = 1471;
constexpr int kDecimalPointRowOffset = 49;
constexpr int kDecimalPointSize = 19;
constexpr int kUnit0LabelX = 700;
constexpr int kUnit1LabelX = 1540;
constexpr int kUnit2LabelX = 1330;

// The tyre display asks for every tyre's panel, and an app may ask every
// frame: a failure that persists (sheets missing, a refused unit) is logged
// when it starts or changes and once when panels are made again.
LogLatch gPanelFailure;

void Digit(GlyphPlan* plan, int digit, int row, int x, int y) {
  AddGlyphPaste(plan, int64_t{kCell} * digit, row, kCell, kRowHeight, x, y);
}

void PlanPressureLine(GlyphPlan* plan, int32_t pressure, int row, int32_t unit) {
  if (unit == 1) {
    // Hundredths shown with one decimal: 250 reads 2.5.
    Digit(plan, pressure / 100, row, 30, kPressureY);
    AddGlyphPaste(plan, kDecimalPointX, row + kDecimalPointRowOffset, kDecimalPointSize,
                  kDecimalPointSize, 128, 111);
    Digit(plan, (pressure % 100) / 10, row, 176, kPressureY);
    AddGlyphPaste(plan, kUnit1LabelX, row, kLabelWidth, kRowHeight, 279, kPressureY);
    return;
  }
  if (unit != 0 && unit != 2) {
    return;  // no pressure line and no label
  }
  // Leading zeros are not drawn.
  if (pressure >= 100) {
    Digit(plan, pressure / 100, row, 30, kPressureY);
    Digit(plan, (pressure % 100) / 10, row, 103, kPressureY);
  } else if (pressure >= 10) {
    Digit(plan, (pressure % 100) / 10, row, 103, kPressureY);
  }
  Digit(plan, pressure % 10, row, 176, kPressureY);
  AddGlyphPaste(plan, unit == 0 ? kUnit0LabelX : kUnit2LabelX, row, kLabelWidth, kRowHeight, 279,
                kPressureY);
}

void PlanTemperatureLine(GlyphPlan* plan, int32_t temperature, int32_t alarm, int32_t unit) {
  if (temperature < -98 || temperature > 98) {
    return;
  }
  const int row = alarm > 0 ? kRowHeight : 0;
  int32_t value = temperature;
  if (value < 0) {
    Digit(plan, kMinusCell, row, 30, kTemperatureY);
    value = -value;
  }
  if (value >= 10) {
    Digit(plan, value / 10, row, 103, kTemperatureY);
  }
  Digit(plan, value % 10, row, 176, kTemperatureY);
  Digit(plan, kTemperatureLabelCell + (unit >= 1 ? 1 : 0), row, 279, kTemperatureY);
  if (alarm > 0) {
    Digit(plan, kAlarmIconCell, kRowHeight, 352, kTemperatureY);
  }
}

// The ".bin" form of one picture, refreshed from its ".png" when stale.
bool ConvertedPictureReady(const char* directory, const char* name, int32_t style) {
  char png[kPathBufferSize];
  char bin[kPathBufferSize];
  if (!FormatPath(png, sizeof(png), "%s/%s%d.png", directory, name, style) ||
      !FormatPath(bin, sizeof(bin), "%s/%s%d.bin", directory, name, style)) {
    return false;
  }
  if (!RefreshConvertedPicture(png, bin)) {
    LogOnChange(&gPanelFailure, "---------genTirePressure:%s missing", bin);
    return false;
  }
  return true;
}

int32_t ComposeTirePanel(int32_t pressure, int32_t pressureAlarm, int32_t temperature,
                         int32_t temperatureAlarm, int32_t statusIcon, int32_t pressureUnit,
                         int32_t temperatureUnit, int32_t style) {
  const ViewParam* scene = pViewParam;
  if (scene == nullptr) {
    LogOnChange(&gPanelFailure, "---------genTirePressure:renderer not initialised");
    return -1;
  }
  // Values outside these ranges would select glyph cells that are not
  // there (or digits beyond 9). The temperature unit picks a label only
  // for a temperature line that is drawn.
  const bool temperatureDrawn = temperature >= -98 && temperature <= 98;
  if (pressure < 0 || pressure > 999 || statusIcon < 0 || statusIcon > 3 ||
      (temperatureDrawn && temperatureUnit < 0)) {
    LogOnChange(&gPanelFailure,
                "---------genTirePressure:refused,pressure %d,status %d,temperature unit %d",
                pressure, statusIcon, temperatureUnit);
    return -1;
  }
  char directory[kPathBufferSize];
  char output[kPathBufferSize];
  char backgroundPath[kPathBufferSize];
  char glyphPath[kPathBufferSize];
  if (!FormatPath(directory, sizeof(directory), "%scommon/pressure/", scene->assetRoot) ||
      !FormatPath(output, sizeof(output), "%s/pressure.png", directory) ||
      !FormatPath(backgroundPath, sizeof(backgroundPath), "%s/background%d.bin", directory, style) ||
      !FormatPath(glyphPath, sizeof(glyphPath), "%s/number%d.bin", directory, style)) {
    return -1;
  }
  // The glyph sheet is not looked at when the background is missing.
  if (!ConvertedPictureReady(directory, "background", style) ||
      !ConvertedPictureReady(directory, "number", style)) {
    return -1;
  }
  cv::Mat background = DecodeStoredPicture(backgroundPath);
  const cv::Mat glyphs = DecodeStoredPicture(glyphPath);
  if (background.empty() || background.type() != CV_8UC4 || glyphs.empty() ||
      glyphs.type() != CV_8UC4) {
    LogOnChange(&gPanelFailure,
                "---------genTirePressure:pictures of style %d not 8-bit four-channel", style);
    return -1;
  }

  GlyphPlan plan{};
  const int pressureRow = pressureAlarm > 0 ? kRowHeight : 0;
  PlanPressureLine(&plan, pressure, pressureRow, pressureUnit);
  if (statusIcon != 0) {
    Digit(&plan, statusIcon + kStatusIconCellBase, pressureRow, 498, kPressureY);
  }
  PlanTemperatureLine(&plan, temperature, temperatureAlarm, temperatureUnit);
  if (!GlyphPlanFits(plan, glyphs, background)) {
    LogOnChange(&gPanelFailure,
                "---------genTirePressure:pictures of style %d too small for the glyphs", style);
    return -1;
  }
  ApplyGlyphPlan(plan, glyphs, background);

  cv::Mat panel(kPanelHeight, kPanelWidth, CV_8UC4);
  cv::resize(background, panel, panel.size(), 0, 0, cv::INTER_AREA);
  if (!SavePngReplacing(output, panel, Durability::kRemadeAfterRestart)) {
    LogOnChange(&gPanelFailure, "---------genTirePressure:%s not written", output);
    return -1;
  }
  LogLatchEnd(&gPanelFailure, "---------genTirePressure:panels made again");
  return 1;
}

}  // namespace

extern "C" int32_t genTirePressure(int32_t pressure, int32_t pressureAlarm, int32_t temperature,
                                   int32_t temperatureAlarm, int32_t statusIcon,
                                   int32_t pressureUnit, int32_t temperatureUnit, int32_t style) {
  return GuardEntry("genTirePressure", -1, [=] {
    return ComposeTirePanel(pressure, pressureAlarm, temperature, temperatureAlarm, statusIcon,
                            pressureUnit, temperatureUnit, style);
  });
}
