// The layer, icon and screen pictures of common/.
#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tools/lib/drawing.h"
#include "tools/lib/sample_common.h"

namespace tools {

namespace {

namespace sm = sample_marks;

const cv::Scalar kClear(0, 0, 0, 0);

cv::Mat Blank(int width, int height) { return cv::Mat(height, width, CV_8UC4, kClear); }

// The ground shadow under the car, stretched by the renderer over the car's
// footprint: dark in the middle, fading at the edges.
cv::Mat CarBottom(int style) {
  cv::Mat picture = Blank(128, 256);
  for (int row = 0; row < picture.rows; ++row) {
    for (int column = 0; column < picture.cols; ++column) {
      // Distance inside from the nearest edge, in pixels.
      const double inside = std::min({column + 0.5, picture.cols - column - 0.5, row + 0.5, picture.rows - row - 0.5});
      const double soft = style == 1 ? 22.0 : 8.0;
      const double strength = std::min(1.0, inside / soft);
      const double peak = style == 1 ? 0.62 : (style == 2 ? 0.8 : 0.5);
      const int grey = style == 3 ? 90 : 12;
      picture.at<cv::Vec4b>(row, column) =
          cv::Vec4b(static_cast<std::uint8_t>(grey), static_cast<std::uint8_t>(grey), static_cast<std::uint8_t>(grey),
                    static_cast<std::uint8_t>(std::lround(255.0 * peak * strength * strength)));
    }
  }
  return picture;
}

// A round badge with a symbol, the shape of every tyre icon.
cv::Mat Badge(const cv::Scalar& ring) {
  cv::Mat picture = Blank(64, 64);
  cv::circle(picture, {32, 33}, 28, cv::Scalar(30, 30, 30, 235), cv::FILLED, cv::LINE_AA);
  cv::circle(picture, {32, 33}, 28, ring, 4, cv::LINE_AA);
  return picture;
}

void Arrow(cv::Mat* picture, bool up, const cv::Scalar& colour) {
  const int tip = up ? 14 : 52;
  const int base = up ? 30 : 36;
  std::vector<cv::Point> head = {{32, tip}, {20, base}, {44, base}};
  cv::fillConvexPoly(*picture, head, colour, cv::LINE_AA);
  cv::rectangle(*picture, cv::Rect(28, up ? base : 18, 8, 18), colour, cv::FILLED, cv::LINE_AA);
}

cv::Mat Icon(int picture) {
  const cv::Scalar white(240, 240, 240, 255);
  const cv::Scalar red(40, 40, 230, 255);
  const cv::Scalar amber(0, 170, 250, 255);
  const cv::Scalar green(60, 200, 60, 255);
  const cv::Scalar blue(230, 150, 40, 255);
  switch (picture) {
    case sm::kPicTireWarning: {
      cv::Mat icon = Blank(64, 64);
      std::vector<cv::Point> triangle = {{32, 5}, {4, 58}, {60, 58}};
      cv::fillConvexPoly(icon, triangle, amber, cv::LINE_AA);
      DrawFittedText(&icon, cv::Rect(22, 20, 20, 36), "!", cv::Scalar(20, 20, 20, 255), 0.9, 0.2);
      return icon;
    }
    case sm::kPicPowerLow: {
      cv::Mat icon = Badge(red);
      cv::rectangle(icon, cv::Rect(16, 22, 30, 22), white, 3, cv::LINE_AA);
      cv::rectangle(icon, cv::Rect(46, 28, 4, 10), white, cv::FILLED, cv::LINE_AA);
      cv::rectangle(icon, cv::Rect(20, 26, 7, 14), red, cv::FILLED, cv::LINE_AA);
      return icon;
    }
    case sm::kPicLeak: {
      cv::Mat icon = Badge(blue);
      cv::circle(icon, {32, 38}, 11, blue, cv::FILLED, cv::LINE_AA);
      std::vector<cv::Point> top = {{32, 12}, {22, 34}, {42, 34}};
      cv::fillConvexPoly(icon, top, blue, cv::LINE_AA);
      return icon;
    }
    case sm::kPicPressureLow: {
      cv::Mat icon = Badge(amber);
      Arrow(&icon, false, amber);
      return icon;
    }
    case sm::kPicPressureHigh: {
      cv::Mat icon = Badge(red);
      Arrow(&icon, true, red);
      return icon;
    }
    case sm::kPicTemperatureHigh: {
      cv::Mat icon = Badge(red);
      cv::rectangle(icon, cv::Rect(28, 12, 8, 28), white, cv::FILLED, cv::LINE_AA);
      cv::circle(icon, {32, 45}, 9, red, cv::FILLED, cv::LINE_AA);
      cv::rectangle(icon, cv::Rect(30, 24, 4, 18), red, cv::FILLED, cv::LINE_AA);
      return icon;
    }
    case sm::kPicTireOk:
    default: {
      cv::Mat icon = Badge(green);
      std::vector<cv::Point> tick = {{18, 34}, {28, 44}, {47, 22}};
      cv::polylines(icon, tick, false, green, 6, cv::LINE_AA);
      return icon;
    }
  }
}

// Guide lines for the full-screen line layer: two side lines narrowing into
// the distance with distance bars, red near, yellow, then green far.
cv::Mat GuideLines() {
  cv::Mat picture = Blank(512, 300);
  const cv::Scalar colours[3] = {cv::Scalar(40, 40, 230, 220), cv::Scalar(0, 210, 250, 220),
                                 cv::Scalar(60, 200, 60, 220)};
  const int rows[4] = {290, 230, 185, 150};
  for (int band = 0; band < 3; ++band) {
    auto x = [](int row, double side) { return static_cast<int>(256 + side * (60 + (row - 120) * 1.05)); };
    for (double side : {-1.0, 1.0}) {
      cv::line(picture, {x(rows[band], side), rows[band]}, {x(rows[band + 1], side), rows[band + 1]}, colours[band],
               5, cv::LINE_AA);
    }
    cv::line(picture, {x(rows[band + 1], -1.0), rows[band + 1]}, {x(rows[band + 1], -1.0) + 40, rows[band + 1]},
             colours[band], 4, cv::LINE_AA);
    cv::line(picture, {x(rows[band + 1], 1.0), rows[band + 1]}, {x(rows[band + 1], 1.0) - 40, rows[band + 1]},
             colours[band], 4, cv::LINE_AA);
  }
  return picture;
}

cv::Mat SafeLine() {
  cv::Mat picture = Blank(256, 64);
  cv::rectangle(picture, cv::Rect(0, 20, 256, 24), cv::Scalar(60, 200, 60, 110), cv::FILLED);
  for (int x = 8; x < 256; x += 32) {
    cv::rectangle(picture, cv::Rect(x, 29, 18, 6), cv::Scalar(90, 240, 90, 240), cv::FILLED, cv::LINE_AA);
  }
  return picture;
}

cv::Mat Logo() {
  cv::Mat picture(300, 512, CV_8UC4);
  for (int row = 0; row < picture.rows; ++row) {
    const std::uint8_t shade = static_cast<std::uint8_t>(18 + row * 30 / picture.rows);
    picture.row(row).setTo(cv::Scalar(shade + 14, shade + 6, shade, 255));
  }
  cv::circle(picture, {256, 150}, 110, cv::Scalar(200, 160, 60, 255), 6, cv::LINE_AA);
  DrawFittedText(&picture, cv::Rect(166, 100, 180, 90), "AVM", cv::Scalar(240, 240, 240, 255), 0.9, 0.14);
  DrawFittedText(&picture, cv::Rect(156, 215, 200, 30), "sample assets", cv::Scalar(180, 180, 180, 255), 0.9, 0.1);
  return picture;
}

// Full-screen backgrounds: sky over a horizon in several moods.
cv::Mat Background(int index) {
  struct Mood {
    cv::Vec3d skyTop;
    cv::Vec3d skyLow;
    cv::Vec3d ground;
  };
  const Mood moods[5] = {{{40, 14, 8}, {90, 40, 30}, {30, 30, 28}},
                         {{230, 160, 90}, {250, 225, 200}, {90, 140, 110}},
                         {{110, 60, 60}, {90, 140, 250}, {50, 60, 70}},
                         {{120, 120, 120}, {200, 200, 200}, {80, 80, 80}},
                         {{60, 40, 20}, {120, 90, 40}, {40, 30, 20}}};
  const Mood& mood = moods[index];
  cv::Mat picture(300, 512, CV_8UC4);
  const int horizon = 150;
  for (int row = 0; row < picture.rows; ++row) {
    for (int column = 0; column < picture.cols; ++column) {
      cv::Vec3d c;
      if (row < horizon) {
        const double t = static_cast<double>(row) / horizon;
        c = mood.skyTop * (1.0 - t) + mood.skyLow * t;
      } else {
        c = mood.ground * (1.0 - 0.3 * (row - horizon) / (picture.rows - horizon));
      }
      if (index == 4 && ((row / 24 + column / 24) % 2 == 0)) {
        c *= 0.8;  // a grid to judge the view's motion against
      }
      const double grain = (Noise(column, row, 40 + index) - 128) / 64.0;
      picture.at<cv::Vec4b>(row, column) =
          cv::Vec4b(cv::saturate_cast<std::uint8_t>(c[0] + grain), cv::saturate_cast<std::uint8_t>(c[1] + grain),
                    cv::saturate_cast<std::uint8_t>(c[2] + grain), 255);
    }
  }
  if (index == 1 || index == 2) {
    // Hills along the horizon.
    for (int column = 0; column < picture.cols; ++column) {
      const int top = horizon - static_cast<int>(18 + 14 * std::sin(column * 0.021 + index) + 8 * std::sin(column * 0.07));
      cv::line(picture, {column, top}, {column, horizon}, cv::Scalar(mood.ground[0] * 0.8, mood.ground[1] * 0.8,
                                                                     mood.ground[2] * 0.8, 255));
    }
  }
  return picture;
}

// Road surface tiles. The renderer shows the upper three quarters of the
// picture over 2200 cm of road and the full width over 1110 cm.
cv::Mat Roadway(int index) {
  cv::Mat picture(512, 256, CV_8UC4);
  for (int row = 0; row < picture.rows; ++row) {
    for (int column = 0; column < picture.cols; ++column) {
      int grey = index == 1 ? 105 : 72;
      grey += (Noise(column, row, 10 + index) - 128) / 10;
      if (index == 2) {
        // Paving: light joints every 16 pixels, rows offset by half a stone.
        const int shifted = column + ((row / 16) % 2) * 8;
        if (row % 16 == 0 || shifted % 16 == 0) {
          grey += 40;
        }
      }
      const std::uint8_t g = cv::saturate_cast<std::uint8_t>(grey);
      picture.at<cv::Vec4b>(row, column) = cv::Vec4b(g, g, static_cast<std::uint8_t>(std::max(0, grey - 4)), 255);
    }
  }
  if (index == 1) {
    // Road edges in white at the sides of the tile.
    cv::rectangle(picture, cv::Rect(6, 0, 5, 512), cv::Scalar(220, 220, 220, 255), cv::FILLED);
    cv::rectangle(picture, cv::Rect(245, 0, 5, 512), cv::Scalar(220, 220, 220, 255), cv::FILLED);
  }
  return picture;
}

// Lane markings over transparent road, at +-175 cm from the car's centre
// line (columns 128 -+ 40 at 1110 cm per 256 columns).
cv::Mat Lane(int index) {
  cv::Mat picture = Blank(256, 512);
  const cv::Scalar white(235, 235, 235, 255);
  const cv::Scalar yellow(0, 200, 245, 255);
  auto solid = [&](int column, const cv::Scalar& colour) {
    cv::rectangle(picture, cv::Rect(column - 2, 0, 5, 512), colour, cv::FILLED);
  };
  // A dash pattern that repeats within the shown three quarters (384 rows).
  auto dashed = [&](int column, const cv::Scalar& colour, int dash, int period) {
    for (int row = 0; row < 512; row += period) {
      cv::rectangle(picture, cv::Rect(column - 2, row, 5, dash), colour, cv::FILLED);
    }
  };
  const int left = 88;
  const int right = 168;
  switch (index) {
    case 0:
      dashed(left, white, 64, 128);
      dashed(right, white, 64, 128);
      break;
    case 1:
      solid(left, white);
      solid(right, white);
      break;
    case 2:
      solid(left, yellow);
      dashed(right, white, 64, 128);
      break;
    case 3:
      solid(left - 4, yellow);
      solid(left + 4, yellow);
      solid(right, white);
      break;
    case 4:
      dashed(left, white, 32, 96);
      dashed(right, white, 32, 96);
      break;
    case 5:
      solid(12, white);
      solid(244, white);
      break;
    case 6:
      for (int column = 20; column < 240; column += 28) {
        cv::rectangle(picture, cv::Rect(column, 160, 16, 60), white, cv::FILLED);
      }
      solid(left, white);
      solid(right, white);
      break;
    default: {
      dashed(left, white, 64, 128);
      dashed(right, white, 64, 128);
      std::vector<cv::Point> arrow = {{128, 80}, {110, 120}, {122, 120}, {122, 200}, {134, 200}, {134, 120},
                                      {146, 120}};
      cv::fillPoly(picture, std::vector<std::vector<cv::Point>>{arrow}, white, cv::LINE_AA);
      break;
    }
  }
  return picture;
}

}  // namespace

bool WriteCommonPictures(const std::string& commonDirectory, CommonReport* report, std::string* error) {
  const std::string dir = commonDirectory + "/";
  auto write = [&](const std::string& name, const cv::Mat& picture, int id, int number) {
    return WriteMarkedPicture(dir + name, picture, CommonMark(sm::kKindCommonPicture, id, number), report, error);
  };
  for (int n = 1; n <= 3; ++n) {
    if (!write("car_bottom" + std::to_string(n) + ".png", CarBottom(n), sm::kPicCarBottom, n)) {
      return false;
    }
  }
  struct Named {
    const char* name;
    int id;
  };
  const Named icons[] = {{"tire_warning.png", sm::kPicTireWarning}, {"power_low.png", sm::kPicPowerLow},
                         {"leak.png", sm::kPicLeak},                 {"pressure_low.png", sm::kPicPressureLow},
                         {"pressure_high.png", sm::kPicPressureHigh}, {"temperature_high.png", sm::kPicTemperatureHigh},
                         {"tire_ok.png", sm::kPicTireOk}};
  for (const Named& icon : icons) {
    if (!write(icon.name, Icon(icon.id), icon.id, sm::kNone)) {
      return false;
    }
  }
  if (!write("line.png", GuideLines(), sm::kPicLine, sm::kNone) ||
      !write("safe_line.png", SafeLine(), sm::kPicSafeLine, sm::kNone) ||
      !write("logo.png", Logo(), sm::kPicLogo, sm::kNone)) {
    return false;
  }
  for (int n = 0; n <= 4; ++n) {
    if (!write("background" + std::to_string(n) + ".png", Background(n), sm::kPicBackground, n)) {
      return false;
    }
  }
  for (int n = 0; n <= 2; ++n) {
    if (!write("roadway" + std::to_string(n) + ".png", Roadway(n), sm::kPicRoadway, n)) {
      return false;
    }
  }
  for (int n = 0; n <= 7; ++n) {
    if (!write("lane" + std::to_string(n) + ".png", Lane(n), sm::kPicLane, n)) {
      return false;
    }
  }
  return true;
}

}  // namespace tools
