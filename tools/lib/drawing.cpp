#include "tools/lib/drawing.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "tools/lib/file_util.h"
#include "tools/lib/png_codec.h"

namespace tools {

std::uint8_t Noise(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^
                    static_cast<std::uint32_t>(seed) * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return static_cast<std::uint8_t>(h & 0xFFu);
}

void DrawFittedText(cv::Mat* canvas, const cv::Rect& box, const std::string& text, const cv::Scalar& colour,
                    double fill, double weight) {
  const int font = cv::FONT_HERSHEY_SIMPLEX;
  int baseline = 0;
  const cv::Size unit = cv::getTextSize(text, font, 1.0, 1, &baseline);
  const double scale = std::min(box.width * fill / unit.width, box.height * fill / unit.height);
  const int thickness = std::max(1, static_cast<int>(std::lround(unit.height * scale * weight)));
  const cv::Size size = cv::getTextSize(text, font, scale, thickness, &baseline);
  const cv::Point origin(box.x + (box.width - size.width) / 2, box.y + (box.height + size.height) / 2);
  cv::putText(*canvas, text, origin, font, scale, colour, thickness, cv::LINE_AA);
}

bool WriteMarkedPicture(const std::string& path, cv::Mat picture, const sample_marks::Mark& mark,
                        CommonReport* report, std::string* error) {
  if (!sample_marks::WriteMark(picture.ptr<std::uint8_t>(0), picture.cols, picture.rows, picture.channels(), mark)) {
    *error = path + ": the picture cannot carry its mark";
    return false;
  }
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && !MakeDirectories(path.substr(0, slash), error)) {
    return false;
  }
  std::string png;
  if (!EncodePng(picture, &png, error) || !WriteFileReplacing(path, png, error)) {
    *error = path + ": " + *error;
    return false;
  }
  ++report->files;
  report->bytes += png.size();
  return true;
}

sample_marks::Mark CommonMark(int kind, int group, int number) {
  sample_marks::Mark mark;
  mark.kind = kind;
  mark.group = group;
  mark.number = number;
  return mark;
}

}  // namespace tools
