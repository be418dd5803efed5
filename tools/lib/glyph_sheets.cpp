// Plate and tyre-panel glyph sheets and the first plate picture.
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tools/lib/bin_image.h"
#include "tools/lib/drawing.h"
#include "tools/lib/file_util.h"
#include "tools/lib/png_codec.h"
#include "tools/lib/sample_common.h"

namespace tools {

namespace {

namespace sm = sample_marks;

// Plate glyph cells and layout of the plate canvas.
constexpr int kRegionWidth = 76;
constexpr int kRegionHeight = 146;
constexpr int kCharWidth = 70;
constexpr int kCharHeight = 130;
const char kPlateCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Plate colours by style, as B, G, R: blue, yellow, green.
const cv::Scalar kPlateColour[3] = {cv::Scalar(134, 0, 6), cv::Scalar(0, 204, 255), cv::Scalar(108, 216, 80)};
const cv::Scalar kPlateInk[3] = {cv::Scalar(250, 250, 250), cv::Scalar(20, 20, 20), cv::Scalar(20, 20, 20)};

// Tyre panel: glyph cells 70 x 130, two rows (normal, alarm).
constexpr int kCell = 70;
constexpr int kRow = 130;
const cv::Scalar kPanelColour[3] = {cv::Scalar(72, 46, 30, 255), cv::Scalar(48, 48, 48, 255),
                                    cv::Scalar(40, 72, 30, 255)};
const cv::Scalar kPanelInk(245, 245, 245, 255);
const cv::Scalar kAlarmInk(50, 50, 240, 255);

// Writes a sheet as PNG (when pngPath is not empty) and as its converted
// ".bin" copy, both with the same mark.
bool WriteSheet(const std::string& pngPath, const std::string& binPath, cv::Mat sheet, const sm::Mark& mark,
                CommonReport* report, std::string* error) {
  if (!sm::WriteMark(sheet.ptr<std::uint8_t>(0), sheet.cols, sheet.rows, sheet.channels(), mark)) {
    *error = binPath + ": the sheet cannot carry its mark";
    return false;
  }
  std::string png;
  std::string bin;
  if (!EncodePng(sheet, &png, error) || !PngToBin(png, &bin, error)) {
    *error = binPath + ": " + *error;
    return false;
  }
  if (!MakeDirectories(binPath.substr(0, binPath.rfind('/')), error)) {
    return false;
  }
  if (!pngPath.empty()) {
    if (!WriteFileReplacing(pngPath, png, error)) {
      return false;
    }
    ++report->files;
    report->bytes += png.size();
  }
  if (!WriteFileReplacing(binPath, bin, error)) {
    return false;
  }
  ++report->files;
  report->bytes += bin.size();
  return true;
}

cv::Mat RegionSheet(int style) {
  static const char* const kRegions[kPlateRegionGlyphs] = {"N", "E", "S", "W", "C", "K", "L", "M", "P", "R"};
  cv::Mat sheet(kRegionHeight, kRegionWidth * kPlateRegionGlyphs, CV_8UC3, kPlateColour[style]);
  for (int k = 0; k < kPlateRegionGlyphs; ++k) {
    const cv::Rect cell(k * kRegionWidth, 0, kRegionWidth, kRegionHeight);
    cv::rectangle(sheet, cv::Rect(cell.x + 8, 10, kRegionWidth - 16, kRegionHeight - 20), kPlateInk[style], 3,
                  cv::LINE_AA);
    DrawFittedText(&sheet, cv::Rect(cell.x + 10, 14, kRegionWidth - 20, 80), kRegions[k], kPlateInk[style], 0.85,
                   0.14);
    DrawFittedText(&sheet, cv::Rect(cell.x + 14, 92, kRegionWidth - 28, 40), std::to_string(k), kPlateInk[style],
                   0.8, 0.12);
  }
  return sheet;
}

cv::Mat CharacterSheet(int style) {
  const int count = static_cast<int>(sizeof(kPlateCharacters) - 1);
  cv::Mat sheet(kCharHeight, kCharWidth * count, CV_8UC3, kPlateColour[style]);
  for (int c = 0; c < count; ++c) {
    // Drawn wider, then narrowed into the cell: the tall, condensed letters
    // of a number plate.
    cv::Mat wide(kCharHeight, 100, CV_8UC3, kPlateColour[style]);
    DrawFittedText(&wide, cv::Rect(0, 0, 100, kCharHeight), std::string(1, kPlateCharacters[c]), kPlateInk[style],
                   0.82, 0.13);
    cv::Mat narrow;
    cv::resize(wide, narrow, cv::Size(kCharWidth, kCharHeight), 0, 0, cv::INTER_AREA);
    narrow.copyTo(sheet(cv::Rect(c * kCharWidth, 0, kCharWidth, kCharHeight)));
  }
  return sheet;
}

// The plate picture the renderer itself would compose from the sheets of
// style 0 for region 0 and the sample text (short layout).
cv::Mat PlatePicture(const cv::Mat& regions, const cv::Mat& characters) {
  cv::Mat canvas(184, 577, CV_8UC3, kPlateColour[0]);
  regions(cv::Rect(0, 0, kRegionWidth, kRegionHeight)).copyTo(canvas(cv::Rect(16, 19, kRegionWidth, kRegionHeight)));
  const std::string text = kSamplePlateText;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int code = static_cast<int>(std::string(kPlateCharacters).find(text[i]));
    const int x = i == 0 ? 92 : 203 + 73 * static_cast<int>(i - 1);
    characters(cv::Rect(code * kCharWidth, 0, kCharWidth, kCharHeight))
        .copyTo(canvas(cv::Rect(x, 28, kCharWidth, kCharHeight)));
  }
  cv::Mat picture;
  cv::resize(canvas, picture, cv::Size(80, 25), 0, 0, cv::INTER_AREA);
  return picture;
}

cv::Mat PanelBackground(int style) {
  cv::Mat picture(360, 576, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  const cv::Scalar border(170, 170, 170, 255);
  // A rounded panel: body, then the corners' circles.
  const int radius = 24;
  cv::rectangle(picture, cv::Rect(radius, 0, 576 - 2 * radius, 360), kPanelColour[style], cv::FILLED);
  cv::rectangle(picture, cv::Rect(0, radius, 576, 360 - 2 * radius), kPanelColour[style], cv::FILLED);
  for (const cv::Point& corner : {cv::Point(radius, radius), cv::Point(575 - radius, radius),
                                  cv::Point(radius, 359 - radius), cv::Point(575 - radius, 359 - radius)}) {
    cv::circle(picture, corner, radius, kPanelColour[style], cv::FILLED, cv::LINE_AA);
  }
  cv::rectangle(picture, cv::Rect(3, 3, 570, 354), border, 3, cv::LINE_AA);
  // Between the pressure line (rows 28..157) and the temperature line (212..341).
  cv::line(picture, {30, 184}, {546, 184}, border, 2, cv::LINE_AA);
  return picture;
}

void Thermometer(cv::Mat* sheet, const cv::Rect& cell, const cv::Scalar& ink) {
  const cv::Point centre(cell.x + 35, cell.y + 92);
  cv::rectangle(*sheet, cv::Rect(cell.x + 29, cell.y + 20, 12, 66), ink, 3, cv::LINE_AA);
  cv::circle(*sheet, centre, 15, ink, cv::FILLED, cv::LINE_AA);
  cv::rectangle(*sheet, cv::Rect(cell.x + 32, cell.y + 44, 6, 40), ink, cv::FILLED);
  // A small arrow up beside it: the same cell serves the pressure-high icon
  // of the alarm row.
  std::vector<cv::Point> arrow = {{cell.x + 56, cell.y + 20}, {cell.x + 48, cell.y + 34}, {cell.x + 64, cell.y + 34}};
  cv::fillConvexPoly(*sheet, arrow, ink, cv::LINE_AA);
}

cv::Mat PanelGlyphs(int style) {
  cv::Mat sheet(2 * kRow, 1750, CV_8UC4, kPanelColour[style]);
  for (int r = 0; r < 2; ++r) {
    const cv::Scalar ink = r == 0 ? kPanelInk : kAlarmInk;
    const int y = r * kRow;
    auto cell = [y](int n, int cells = 1) { return cv::Rect(n * kCell, y, kCell * cells, kRow); };
    for (int digit = 0; digit < 10; ++digit) {
      DrawFittedText(&sheet, cell(digit), std::to_string(digit), ink, 0.82, 0.13);
    }
    DrawFittedText(&sheet, cell(10, 3), "kPa", ink, 0.75, 0.11);
    // Status icons 1 to 3: pressure low, pressure high, leak.
    const cv::Rect low = cell(13);
    std::vector<cv::Point> down = {{low.x + 35, y + 104}, {low.x + 12, y + 64}, {low.x + 58, y + 64}};
    cv::fillConvexPoly(sheet, down, ink, cv::LINE_AA);
    cv::rectangle(sheet, cv::Rect(low.x + 28, y + 26, 14, 40), ink, cv::FILLED);
    if (r == 0) {
      const cv::Rect high = cell(14);
      std::vector<cv::Point> up = {{high.x + 35, y + 26}, {high.x + 12, y + 66}, {high.x + 58, y + 66}};
      cv::fillConvexPoly(sheet, up, ink, cv::LINE_AA);
      cv::rectangle(sheet, cv::Rect(high.x + 28, y + 64, 14, 40), ink, cv::FILLED);
    } else {
      // Row 1, cell 14 is the temperature alarm icon.
      Thermometer(&sheet, cell(14), ink);
    }
    const cv::Rect leak = cell(15);
    cv::circle(sheet, {leak.x + 35, y + 82}, 20, ink, cv::FILLED, cv::LINE_AA);
    std::vector<cv::Point> drop = {{leak.x + 35, y + 24}, {leak.x + 17, y + 74}, {leak.x + 53, y + 74}};
    cv::fillConvexPoly(sheet, drop, ink, cv::LINE_AA);
    cv::rectangle(sheet, cv::Rect(cell(16).x + 14, y + 58, 42, 12), ink, cv::FILLED);
    for (int unit = 0; unit < 2; ++unit) {
      const cv::Rect label = cell(17 + unit);
      cv::circle(sheet, {label.x + 14, y + 36}, 7, ink, 3, cv::LINE_AA);
      DrawFittedText(&sheet, cv::Rect(label.x + 18, y + 20, 52, 100), unit == 0 ? "C" : "F", ink, 0.8, 0.12);
    }
    // Unit 2 label "psi": its dot is the decimal point cell (1471, y + 49),
    // 19 x 19, which lies inside this label.
    DrawFittedText(&sheet, cv::Rect(1336, y + 30, 124, 90), "ps", ink, 0.9, 0.13);
    cv::rectangle(sheet, cv::Rect(1476, y + 72, 9, 38), ink, cv::FILLED);
    cv::circle(sheet, {1480, y + 58}, 7, ink, cv::FILLED, cv::LINE_AA);
    DrawFittedText(&sheet, cell(22, 3), "bar", ink, 0.75, 0.11);
  }
  return sheet;
}

}  // namespace

bool WriteGlyphSheets(const std::string& commonDirectory, CommonReport* report, std::string* error) {
  const std::string plate = commonDirectory + "/plate/";
  const std::string pressure = commonDirectory + "/pressure/";
  cv::Mat firstRegions;
  cv::Mat firstCharacters;
  for (int style = 0; style < 3; ++style) {
    const std::string s = std::to_string(style);
    const cv::Mat regions = RegionSheet(style);
    const cv::Mat characters = CharacterSheet(style);
    if (style == 0) {
      firstRegions = regions.clone();
      firstCharacters = characters.clone();
    }
    if (!WriteSheet("", plate + "simple" + s + ".bin", regions, CommonMark(sm::kKindPlateSheet, 0, style), report,
                    error) ||
        !WriteSheet("", plate + "number" + s + ".bin", characters, CommonMark(sm::kKindPlateSheet, 1, style), report,
                    error) ||
        !WriteSheet(pressure + "background" + s + ".png", pressure + "background" + s + ".bin", PanelBackground(style),
                    CommonMark(sm::kKindPressureSheet, 0, style), report, error) ||
        !WriteSheet(pressure + "number" + s + ".png", pressure + "number" + s + ".bin", PanelGlyphs(style),
                    CommonMark(sm::kKindPressureSheet, 1, style), report, error)) {
      return false;
    }
  }
  return WriteMarkedPicture(plate + "plate.png", PlatePicture(firstRegions, firstCharacters),
                            CommonMark(sm::kKindPlatePicture, sm::kNone, sm::kNone), report, error);
}

}  // namespace tools
