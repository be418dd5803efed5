#include "tools/lib/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tools/lib/car_package.h"
#include "tools/lib/file_util.h"
#include "tools/lib/overlay.h"
#include "tools/lib/params_bin.h"
#include "tools/lib/png_codec.h"

namespace tools {

namespace {

constexpr int kSheetWidth = 2048;
const cv::Scalar kPaper(58, 58, 58);
const cv::Scalar kInk(225, 225, 225);

class CarReader {
 public:
  explicit CarReader(std::string root) : root_(std::move(root)) {}

  bool Load(const std::string& relative, cv::Mat* picture, std::string* error) const {
    std::string bytes;
    const std::string path = root_ + "/" + relative;
    if (ReadWholeFile(path, static_cast<std::size_t>(kPackageMaxDataLength), &bytes, error) != ReadResult::kOk) {
      return false;
    }
    if (!DecodeImage(bytes, picture, error)) {
      *error = path + ": " + *error;
      return false;
    }
    if (picture->type() != CV_8UC4) {
      *error = path + ": not an 8-bit picture with four channels";
      return false;
    }
    return true;
  }

 private:
  std::string root_;
};

// A table value as a pixel position: damaged values (not finite, far out of
// any picture) become a position off every canvas instead of undefined
// conversions.
int Position(float value) {
  return std::isfinite(value) && std::fabs(value) < 1e6f ? static_cast<int>(value) : -1000000;
}

// Draws a picture with alpha over an opaque canvas at (x, y), clipped.
void Blend(const cv::Mat& picture, int x, int y, cv::Mat* canvas) {
  for (int r = 0; r < picture.rows; ++r) {
    const long long row = static_cast<long long>(y) + r;
    if (row < 0 || row >= canvas->rows) {
      continue;
    }
    const cv::Vec4b* from = picture.ptr<cv::Vec4b>(r);
    cv::Vec3b* to = canvas->ptr<cv::Vec3b>(static_cast<int>(row));
    for (int c = 0; c < picture.cols; ++c) {
      const long long column = static_cast<long long>(x) + c;
      if (column < 0 || column >= canvas->cols) {
        continue;
      }
      const int a = from[c][3];
      for (int k = 0; k < 3; ++k) {
        to[column][k] = static_cast<std::uint8_t>((from[c][k] * a + to[column][k] * (255 - a) + 127) / 255);
      }
    }
  }
}

cv::Mat Scaled(const cv::Mat& picture, double scale) {
  cv::Mat out;
  cv::resize(picture, out, cv::Size(), scale, scale, cv::INTER_AREA);
  return out;
}

// Items laid out left to right, wrapping at the sheet's width, each with a
// caption above it.
class Sheet {
 public:
  void Heading(const std::string& text) {
    NewLine();
    cv::Mat band(40, kSheetWidth, CV_8UC3, kPaper);
    cv::putText(band, text, {12, 28}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 2, cv::LINE_AA);
    rows_.push_back(band);
  }

  void Add(const std::string& caption, const cv::Mat& picture) {
    const int width = picture.cols + 16;
    const int height = picture.rows + 30;
    if (x_ + width > kSheetWidth) {
      NewLine();
    }
    if (line_.empty()) {
      line_ = cv::Mat(height, kSheetWidth, CV_8UC3, kPaper);
    } else if (height > line_.rows) {
      cv::Mat taller(height, kSheetWidth, CV_8UC3, kPaper);
      line_.copyTo(taller(cv::Rect(0, 0, kSheetWidth, line_.rows)));
      line_ = taller;
    }
    cv::putText(line_, caption, {x_ + 8, 20}, cv::FONT_HERSHEY_SIMPLEX, 0.45, kInk, 1, cv::LINE_AA);
    cv::Mat cell(picture.rows, picture.cols, CV_8UC3, cv::Scalar(88, 88, 88));
    if (picture.channels() == 4) {
      Blend(picture, 0, 0, &cell);
    } else {
      picture.copyTo(cell);
    }
    cell.copyTo(line_(cv::Rect(x_ + 8, 26, cell.cols, cell.rows)));
    x_ += width;
  }

  void AddBlock(const cv::Mat& block) {
    NewLine();
    rows_.push_back(block);
  }

  cv::Mat Finish() {
    NewLine();
    cv::Mat sheet;
    cv::vconcat(rows_, sheet);
    return sheet;
  }

 private:
  void NewLine() {
    if (!line_.empty()) {
      rows_.push_back(line_);
      line_ = cv::Mat();
    }
    x_ = 0;
  }
  std::vector<cv::Mat> rows_;
  cv::Mat line_;
  int x_ = 0;
};

struct Paste {
  std::string path;
  const PositionEntry* at;
  bool span;  // doors
};

bool Compose(const CarReader& car, const std::string& base, const std::vector<Paste>& pastes, cv::Mat* out,
             std::string* error) {
  if (!car.Load(base, out, error)) {
    return false;
  }
  for (const Paste& paste : pastes) {
    cv::Mat overlay;
    if (!car.Load(paste.path, &overlay, error)) {
      return false;
    }
    if (paste.span) {
      PasteOpaqueSpans(overlay, paste.at->x, paste.at->y, out);
    } else {
      PasteOpaquePixels(overlay, paste.at->x, paste.at->y, out);
    }
  }
  return true;
}

}  // namespace

bool WriteContactSheet(const std::string& carDirectory, const std::string& outputPng, std::string* error) {
  const CarReader car(carDirectory);
  std::string bytes;
  CarParams params;
  if (ReadWholeFile(carDirectory + "/params.bin", 65536, &bytes, error) != ReadResult::kOk) {
    return false;
  }
  if (!ParseParams(bytes, &params)) {
    *error = carDirectory + "/params.bin is " + std::to_string(bytes.size()) + " bytes, not " +
             std::to_string(kParamsBinSize);
    return false;
  }
  const int frameWidth = Position(params.picSize[2]);
  const int frameHeight = Position(params.picSize[3]);
  if (frameWidth < 16 || frameHeight < 16 || frameWidth > 8192 || frameHeight > 8192) {
    *error = "params.bin gives an unusable frame size";
    return false;
  }
  Sheet sheet;

  // Every angle at its own place in the frame, an eighth of full size.
  sheet.Heading("color/a/0..191.kes at their carCordCur rectangles in the rendered frame (1:8)");
  const int columns = 16;
  const int cellWidth = kSheetWidth / columns;
  const double scale = static_cast<double>(cellWidth) / frameWidth;
  const int cellHeight = static_cast<int>(frameHeight * scale) + 1;
  cv::Mat angles(cellHeight * 12, kSheetWidth, CV_8UC3, kPaper);
  for (int angle = 0; angle < 192; ++angle) {
    cv::Mat picture;
    if (!car.Load("color/a/" + std::to_string(angle) + ".kes", &picture, error)) {
      return false;
    }
    const int cellX = (angle % columns) * cellWidth;
    const int cellY = (angle / columns) * cellHeight;
    cv::Mat cell = angles(cv::Rect(cellX, cellY, cellWidth, cellHeight));
    cell.setTo(angle % 2 == (angle / columns) % 2 ? cv::Scalar(70, 70, 70) : cv::Scalar(80, 80, 80));
    Blend(Scaled(picture, scale), Position(static_cast<float>(params.cord[angle][0] * scale)),
          Position(static_cast<float>(params.cord[angle][1] * scale)), &cell);
    cv::putText(cell, std::to_string(angle), {3, 12}, cv::FONT_HERSHEY_SIMPLEX, 0.35, kInk, 1, cv::LINE_AA);
  }
  sheet.AddBlock(angles);

  sheet.Heading("top view: the six top pictures, and door overlays d0..d5 on top0000 (1:2)");
  for (const char* name : {"0000", "1000", "0100", "0010", "0001", "1111"}) {
    cv::Mat picture;
    if (!car.Load(std::string("color/top/top") + name + ".kes", &picture, error)) {
      return false;
    }
    sheet.Add(std::string("top") + name, Scaled(picture, 0.5));
  }
  for (int k = 0; k < 6; ++k) {
    cv::Mat picture;
    if (!Compose(car, "color/top/top0000.kes",
                 {{"color/door/top/d" + std::to_string(k) + ".kes", &params.doorsOffset[12 + k], true}}, &picture,
                 error)) {
      return false;
    }
    sheet.Add("top0000 + d" + std::to_string(k), Scaled(picture, 0.5));
  }

  sheet.Heading("state pictures composed from overlays at their params.bin positions (1:1)");
  struct State {
    const char* caption;
    const char* base;
    std::vector<Paste> pastes;
  };
  const PositionEntry* lamps = params.lampsOffset2;
  const std::vector<State> states = {
      {"130 wheels f3 b3, left lamp", "color/a/130.kes",
       {{"tires/left/f3.kes", &params.tiresOffset[0], false},
        {"tires/left/b3.kes", &params.tiresOffset[1], false},
        {"color/light/left/4.kes", &lamps[4], false}}},
      {"130 steer left_30 f0", "color/a/130.kes", {{"tires/left_30/f0.kes", &params.tiresOffset[0], false}}},
      {"130 doors 0 and 2 (d4)", "color/a/130.kes", {{"color/door/left/d4.kes", &params.doorsOffset[4], true}}},
      {"158 right_20 f2 b2, right lamp", "color/a/158.kes",
       {{"tires/right_20/f2.kes", &params.tiresOffset[2], false},
        {"tires/right/b2.kes", &params.tiresOffset[3], false},
        {"color/light/right/5.kes", &lamps[13], false}}},
      {"158 doors 1 and 3 (d5)", "color/a/158.kes", {{"color/door/right/d5.kes", &params.doorsOffset[11], true}}},
      {"54 both lamps, all doors (d4 d5)", "color/a/54.kes",
       {{"color/door/front/d4.kes", &params.doorsOffset2[22], true},
        {"color/door/front/d5.kes", &params.doorsOffset2[23], true},
        {"color/light/front/0.kes", &lamps[16], false},
        {"color/light/front/1.kes", &lamps[17], false}}},
      {"144 both lamps, all doors (d4 d5)", "color/a/144.kes",
       {{"color/door/back/d4.kes", &params.doorsOffset2[28], true},
        {"color/door/back/d5.kes", &params.doorsOffset2[29], true},
        {"color/light/back/5.kes", &lamps[25], false},
        {"color/light/back/4.kes", &lamps[24], false}}},
      {"72 beams, lamps, wheels f3 b3", "color/a/72.kes",
       {{"tires/73/f3.kes", &params.tiresOffset2[8], false},
        {"tires/73/b3.kes", &params.tiresOffset2[9], false},
        {"color/light/front2/0.kes", &lamps[32], false},
        {"color/light/front2/1.kes", &lamps[33], false},
        {"color/light/front2/2.kes", &lamps[34], false},
        {"color/light/front2/3.kes", &lamps[35], false}}},
      {"72 beams, doors 0 and 2 (d4)", "color/a/72.kes",
       {{"color/light/front2/0.kes", &lamps[32], false},
        {"color/light/front2/1.kes", &lamps[33], false},
        {"color/door/front2/d4.kes", &params.doorsOffset2[34], true}}},
      {"0 wheels f3 b3", "color/a/0.kes",
       {{"tires/1/f3.kes", &params.tiresOffset2[4], false}, {"tires/1/b3.kes", &params.tiresOffset2[5], false}}},
      {"24 wheels f3 b3", "color/a/24.kes",
       {{"tires/25/f3.kes", &params.tiresOffset2[6], false}, {"tires/25/b3.kes", &params.tiresOffset2[7], false}}},
      {"96 wheels f3 b3", "color/a/96.kes",
       {{"tires/97/f3.kes", &params.tiresOffset2[10], false}, {"tires/97/b3.kes", &params.tiresOffset2[11], false}}},
  };
  for (const State& state : states) {
    cv::Mat picture;
    if (!Compose(car, state.base, state.pastes, &picture, error)) {
      return false;
    }
    sheet.Add(state.caption, picture);
  }

  // The frame-sized pictures under the car, in the renderer's drawing order.
  sheet.Heading("frame pictures under the car: light1 at 72; warning2 and light2 at 144 (1:2)");
  struct Scene {
    const char* caption;
    int angle;
    std::vector<std::string> under;
  };
  for (const Scene& scene : {Scene{"72: light1, car", 72, {"color/light1.kes"}},
                             Scene{"144: warning2, light2, car", 144, {"color/warning2.kes", "color/light2.kes"}}}) {
    cv::Mat frame(frameHeight, frameWidth, CV_8UC3, cv::Scalar(40, 40, 40));
    for (const std::string& path : scene.under) {
      cv::Mat picture;
      if (!car.Load(path, &picture, error)) {
        return false;
      }
      cv::Mat fitted;
      cv::resize(picture, fitted, frame.size(), 0, 0, cv::INTER_AREA);
      Blend(fitted, 0, 0, &frame);
    }
    cv::Mat picture;
    if (!car.Load("color/a/" + std::to_string(scene.angle) + ".kes", &picture, error)) {
      return false;
    }
    Blend(picture, Position(params.cord[scene.angle][0]), Position(params.cord[scene.angle][1]), &frame);
    sheet.Add(scene.caption, Scaled(frame, 0.5));
  }
  return WritePng(outputPng, sheet.Finish(), error);
}

}  // namespace tools
