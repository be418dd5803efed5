// The sample's params.bin against its pictures: every check the renderer's
// parameter reader makes, overlays inside their base pictures, each whole-car
// picture its carCordCur rectangle cut tight from the rendered frame, and the
// geometry seen through an independent copy of the renderer's camera.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "tests/support/process_runner.h"
#include "tests/tools/sample_files.h"
#include "tools/lib/sample_marks.h"

namespace sm = sample_marks;

namespace {

RawParams Params() { return RawParams(ReadFile(SampleCarDir() + "/params.bin")); }

cv::Mat Picture(const std::string& name) {
  const cv::Mat picture = ReadPicture(SampleCarDir() + "/" + name);
  EXPECT_EQ(picture.type(), CV_8UC4) << name;
  return picture;
}

// The lines the renderer's parameter reader logs for a failed check, worked
// out from the bytes the way it reads them: a table whose read fails (the
// file ends) or whose checked value is not above its bound.
std::vector<std::string> CalScaleFailureLines(const std::string& bytes) {
  std::vector<std::string> lines;
  const RawParams raw(bytes);
  auto readable = [&](int table) { return raw.size() >= RawParams::TableOffset(table) + RawParams::TableBytes(table); };
  auto floatAbove = [&](int table, int index) { return readable(table) && raw.Float(table, index) > 1.0f; };
  auto xAbove = [&](int table, int entry) { return readable(table) && raw.Position(table, entry).x > 1; };
  if (!floatAbove(kTop2, 0)) {
    lines.push_back("topGeometryValid 0");
  }
  if (!floatAbove(kPlateCord, 2)) {
    lines.push_back("plateGeometryValid 0");
  }
  if (!floatAbove(kTiresParams, 0)) {
    lines.push_back("------carTiresParamsCur read fail!");
  }
  if (!floatAbove(kLookat, 0)) {
    lines.push_back("------carLookatAllCur fail!");
  }
  if (!floatAbove(kPicSize, 0)) {
    lines.push_back("------carPicSizeCur fail!");
  }
  if (!xAbove(kLampsOffset, 4)) {
    lines.push_back("------carLampsOffset fail!");
  }
  if (!xAbove(kDoorsOffset, 0)) {
    lines.push_back("------carDoorsOffset fail!");
  }
  if (!xAbove(kLampsOffset2, 4)) {
    lines.push_back("------carLampsOffset2 fail!");
  }
  if (!xAbove(kDoorsOffset2, 18)) {
    lines.push_back("------carDoorsOffset2 fail!");
  }
  if (!xAbove(kTiresOffset2, 6)) {
    lines.push_back("------carTiresOffset2 fail!");
  }
  return lines;
}

struct Placed {
  std::string overlay;
  int table;
  int entry;
  std::string base;
  bool wheel;  // pasted pixel by pixel and showing a wheel hub
  bool left;
  bool front;
};

// Every overlay with the table entry that places it and its base picture.
std::vector<Placed> PlacedOverlays() {
  std::vector<Placed> placed;
  for (int f = 0; f < 6; ++f) {
    const std::string frame = std::to_string(f) + ".kes";
    for (const char* set : {"", "_10", "_20", "_30"}) {
      placed.push_back({std::string("tires/left") + set + "/f" + frame, kTiresOffset, 0, "color/a/130.kes", true,
                        true, true});
      placed.push_back({std::string("tires/right") + set + "/f" + frame, kTiresOffset, 2, "color/a/158.kes", true,
                        false, true});
    }
    placed.push_back({"tires/left/b" + frame, kTiresOffset, 1, "color/a/130.kes", true, true, false});
    placed.push_back({"tires/right/b" + frame, kTiresOffset, 3, "color/a/158.kes", true, false, false});
    const struct {
      int angle;
      int k;
      bool left;
    } partial[4] = {{0, 2, false}, {24, 3, false}, {72, 4, true}, {96, 5, true}};
    for (const auto& view : partial) {
      const std::string folder = "tires/" + std::to_string(view.angle + 1) + "/";
      const std::string base = "color/a/" + std::to_string(view.angle) + ".kes";
      placed.push_back({folder + "f" + frame, kTiresOffset2, 2 * view.k, base, true, view.left, true});
      placed.push_back({folder + "b" + frame, kTiresOffset2, 2 * view.k + 1, base, true, view.left, false});
    }
  }
  const struct {
    const char* lamp;
    int entry;
    const char* base;
  } lamps[] = {{"left/4", 4, "130"},  {"right/5", 13, "158"}, {"front/0", 16, "54"},  {"front/1", 17, "54"},
               {"back/4", 24, "144"}, {"back/5", 25, "144"},  {"front2/0", 32, "72"}, {"front2/1", 33, "72"},
               {"front2/2", 34, "72"}, {"front2/3", 35, "72"}};
  for (const auto& lamp : lamps) {
    placed.push_back({std::string("color/light/") + lamp.lamp + ".kes", kLampsOffset2, lamp.entry,
                      std::string("color/a/") + lamp.base + ".kes", false, false, false});
  }
  const struct {
    const char* group;
    int table;
    int first;
    const char* base;
  } doors[] = {{"left", kDoorsOffset, 0, "color/a/130.kes"},      {"right", kDoorsOffset, 6, "color/a/158.kes"},
               {"top", kDoorsOffset, 12, "color/top/top0000.kes"}, {"front", kDoorsOffset2, 18, "color/a/54.kes"},
               {"back", kDoorsOffset2, 24, "color/a/144.kes"},     {"front2", kDoorsOffset2, 30, "color/a/72.kes"}};
  for (const auto& door : doors) {
    for (int k = 0; k < 6; ++k) {
      placed.push_back({std::string("color/door/") + door.group + "/d" + std::to_string(k) + ".kes", door.table,
                        door.first + k, door.base, false, false, false});
    }
  }
  return placed;
}

cv::Rect OpaqueBounds(const cv::Mat& picture, int dx = 0, int dy = 0) {
  std::vector<cv::Mat> channels;
  cv::split(picture, channels);
  std::vector<cv::Point> points;
  cv::findNonZero(channels[3], points);
  if (points.empty()) {
    return cv::Rect();
  }
  cv::Rect box = cv::boundingRect(points);
  box.x += dx;
  box.y += dy;
  return box;
}

// An independent copy of the renderer's view of the sprites: the look-at and
// perspective matrices as its matrix helpers build them, and its mapping of
// the projected square to the pixels of the rendered frame.
class RendererCamera {
 public:
  RendererCamera(const RawParams& raw, int angle) {
    width_ = raw.Float(kPicSize, 2);
    height_ = raw.Float(kPicSize, 3);
    const double a = angle * 1.875 * M_PI / 180.0;
    const double distance = raw.Float(kLookat, 1);
    eye_ = {distance * std::cos(a), distance * std::sin(a), raw.Float(kLookat, 0)};
    const std::array<double, 3> centre = {0.0, 0.0, raw.Float(kLookat, 2)};
    f_ = Normalize({centre[0] - eye_[0], centre[1] - eye_[1], centre[2] - eye_[2]});
    s_ = Normalize(Cross(f_, {0.0, 0.0, 1.0}));
    u_ = Normalize(Cross(s_, f_));
    focal_ = 1.0 / std::tan(raw.Float(kLookat, 4) * M_PI / 360.0);
    aspect_ = raw.Float(kLookat, 5);
  }

  // Pixel column and row of a scene point in the full rendered frame.
  cv::Point2d Pixel(const std::array<double, 3>& p) const {
    const std::array<double, 3> d = {p[0] - eye_[0], p[1] - eye_[1], p[2] - eye_[2]};
    const double xe = Dot(s_, d);
    const double ye = Dot(u_, d);
    const double ze = -Dot(f_, d);
    const double w = -ze;
    const double ndcX = focal_ / aspect_ * xe / w;
    const double ndcY = focal_ * ye / w;
    return {(ndcX + 1.0) * (width_ - 1.0) / 2.0, (1.0 - ndcY) * (height_ - 1.0) / 2.0};
  }

 private:
  static double Dot(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  }
  static std::array<double, 3> Cross(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  }
  static std::array<double, 3> Normalize(const std::array<double, 3>& v) {
    const double n = std::sqrt(Dot(v, v));
    return {v[0] / n, v[1] / n, v[2] / n};
  }
  double width_ = 0.0;
  double height_ = 0.0;
  std::array<double, 3> eye_{};
  std::array<double, 3> f_{};
  std::array<double, 3> s_{};
  std::array<double, 3> u_{};
  double focal_ = 1.0;
  double aspect_ = 1.0;
};

bool IsStateAngle(int angle) {
  for (int state : {0, 24, 54, 72, 96, 130, 144, 158}) {
    if (angle == state) {
      return true;
    }
  }
  return false;
}

}  // namespace

TEST(SampleParams, PassesEveryCheckOfTheParameterReader) {
  const std::string bytes = ReadFile(SampleCarDir() + "/params.bin");
  ASSERT_EQ(bytes.size(), 7136u);
  EXPECT_EQ(RawParams::TableOffset(12) + RawParams::TableBytes(12), 7136u);
  const std::vector<std::string> failures = CalScaleFailureLines(bytes);
  EXPECT_TRUE(failures.empty()) << failures.front();
  // The same checks find every failure in a file of zeros and in one that
  // ends early, so passing them means something.
  EXPECT_EQ(CalScaleFailureLines(std::string(7136, '\0')).size(), 10u);
  const std::vector<std::string> cut = CalScaleFailureLines(bytes.substr(0, RawParams::TableOffset(kLookat) + 8));
  EXPECT_EQ(cut.size(), 7u) << "every table from carLookatAllCur on fails when the file ends inside it";
}

TEST(SampleParams, CarSizeAndTopPictureAgree) {
  const RawParams raw = Params();
  // The reader takes 60 mm off the length and width and works in centimetres.
  const int length = (raw.Int(kCarSize, 0) - 60) / 10;
  const int width = (raw.Int(kCarSize, 1) - 60) / 10;
  EXPECT_EQ(length, 460);
  EXPECT_EQ(width, 180);
  // Its top-view scale corrects a top picture whose car has other
  // proportions than the car's size: here none is needed.
  const double d = static_cast<double>(width) / length;
  const double e = raw.Float(kTop2, 0) / raw.Float(kTop2, 1);
  EXPECT_NEAR(d / e, 1.0, 0.01);
  const cv::Mat top = Picture("color/top/top0000.kes");
  EXPECT_EQ(top.cols, static_cast<int>(raw.Float(kTop2, 3)));
  EXPECT_EQ(top.rows, static_cast<int>(raw.Float(kTop2, 4)));
  for (const char* name : {"1000", "0100", "0010", "0001", "1111"}) {
    EXPECT_EQ(Picture(std::string("color/top/top") + name + ".kes").size(), top.size()) << name;
  }
  // The car in the top picture: its front margin pixels below the top edge,
  // its length and width in pixels as the table says, centred.
  const cv::Rect car = OpaqueBounds(top);
  const float margin = raw.Float(kTop2, 2);
  EXPECT_NEAR(car.y, margin, 1.0);
  EXPECT_NEAR(car.y + car.height, margin + raw.Float(kTop2, 1), 1.0);
  const cv::Rect middle = OpaqueBounds(top(cv::Rect(0, static_cast<int>(margin + raw.Float(kTop2, 1) / 2), top.cols, 1)));
  EXPECT_NEAR(middle.width, raw.Float(kTop2, 0), 2.0);
  EXPECT_NEAR(middle.x + middle.width / 2.0, top.cols / 2.0, 1.0);
}

TEST(SampleParams, EveryOverlayLiesInsideItsBasePicture) {
  const RawParams raw = Params();
  for (const Placed& placed : PlacedOverlays()) {
    SCOPED_TRACE(placed.overlay);
    const cv::Mat overlay = Picture(placed.overlay);
    const cv::Mat base = Picture(placed.base);
    const RawParams::Entry at = raw.Position(placed.table, placed.entry);
    EXPECT_GE(at.x, 0);
    EXPECT_GE(at.y, 0);
    EXPECT_LE(at.x + overlay.cols, base.cols);
    EXPECT_LE(at.y + overlay.rows, base.rows);
    EXPECT_EQ(at.width, overlay.cols) << "the unread words hold the overlay's size";
    EXPECT_EQ(at.height, overlay.rows);
  }
  // The first lamp table is read by nothing but the check; it repeats the
  // second one's first entries.
  EXPECT_EQ(raw.Position(kLampsOffset, 4).x, raw.Position(kLampsOffset2, 4).x);
}

TEST(SampleParams, EachWholeCarPictureIsItsRectangleCutTightFromTheFrame) {
  const RawParams raw = Params();
  const float frameWidth = raw.Float(kPicSize, 2);
  const float frameHeight = raw.Float(kPicSize, 3);
  // Pixels are square under the renderer's mapping of the frame.
  EXPECT_NEAR(raw.Float(kLookat, 5), (frameWidth - 1.0f) / (frameHeight - 1.0f), 1e-5);
  const std::vector<Placed> overlays = PlacedOverlays();
  float widest = 0.0f;
  float tallest = 0.0f;
  for (int angle = 0; angle < 192; ++angle) {
    SCOPED_TRACE("angle " + std::to_string(angle));
    const std::string name = "color/a/" + std::to_string(angle) + ".kes";
    const cv::Mat picture = Picture(name);
    const float left = raw.Float(kCord, 4 * angle);
    const float top = raw.Float(kCord, 4 * angle + 1);
    const float width = raw.Float(kCord, 4 * angle + 2);
    const float height = raw.Float(kCord, 4 * angle + 3);
    EXPECT_EQ(static_cast<float>(picture.cols), width);
    EXPECT_EQ(static_cast<float>(picture.rows), height);
    EXPECT_GE(left, 0.0f);
    EXPECT_GE(top, 0.0f);
    EXPECT_LE(left + width, frameWidth);
    EXPECT_LE(top + height, frameHeight);
    widest = std::max(widest, width);
    tallest = std::max(tallest, height);
    // Tight around the car's opaque pixels: around the car in the picture
    // and, at a state angle, in every state its overlays show.
    cv::Rect car = OpaqueBounds(picture);
    if (IsStateAngle(angle)) {
      for (const Placed& placed : overlays) {
        if (placed.base == name) {
          const RawParams::Entry at = raw.Position(placed.table, placed.entry);
          const cv::Rect more = OpaqueBounds(Picture(placed.overlay), at.x, at.y);
          car = more.empty() ? car : (car | more);
        }
      }
    }
    EXPECT_LE(car.x, 1);
    EXPECT_LE(car.y, 1);
    EXPECT_GE(car.x + car.width, picture.cols - 1);
    EXPECT_GE(car.y + car.height, picture.rows - 1);
  }
  EXPECT_EQ(raw.Float(kPicSize, 0), widest);
  EXPECT_EQ(raw.Float(kPicSize, 1), tallest);
}

TEST(SampleParams, PlateQuadsLandOnThePlateHoldersAtEveryAngleThatShowsThem) {
  const RawParams raw = Params();
  // The renderer draws plate quad 0 at angles 24..72 and quad 1 at 120..168.
  for (int angle : {24, 30, 40, 48, 54, 60, 72, 120, 130, 144, 150, 168}) {
    SCOPED_TRACE("angle " + std::to_string(angle));
    const int quad = angle <= 72 ? 0 : 1;
    const RendererCamera camera(raw, angle);
    const cv::Mat picture = Picture("color/a/" + std::to_string(angle) + ".kes");
    const cv::Point2d origin(raw.Float(kCord, 4 * angle), raw.Float(kCord, 4 * angle + 1));
    std::array<double, 3> centre = {0.0, 0.0, 0.0};
    std::vector<std::array<double, 3>> corners;
    for (int v = 0; v < 4; ++v) {
      std::array<double, 3> corner;
      for (int c = 0; c < 3; ++c) {
        corner[c] = raw.Float(kPlateCord, quad * 12 + v * 3 + c);
        centre[c] += corner[c] / 4.0;
      }
      corners.push_back(corner);
    }
    // The plate's centre and points two thirds of the way to its corners.
    std::vector<std::array<double, 3>> probes = {centre};
    for (const auto& corner : corners) {
      probes.push_back({centre[0] + (corner[0] - centre[0]) * 0.66, centre[1] + (corner[1] - centre[1]) * 0.66,
                        centre[2] + (corner[2] - centre[2]) * 0.66});
    }
    for (const auto& probe : probes) {
      const cv::Point2d at = camera.Pixel(probe) - origin;
      const cv::Point pixel(static_cast<int>(std::lround(at.x)), static_cast<int>(std::lround(at.y)));
      ASSERT_TRUE(cv::Rect(0, 0, picture.cols, picture.rows).contains(pixel));
      const cv::Vec4b value = picture.at<cv::Vec4b>(pixel);
      EXPECT_EQ(value[3], 255);
      EXPECT_GT(std::min({value[0], value[1], value[2]}), 100) << "the light plate holder, not the red body";
    }
  }
}

TEST(SampleParams, WheelHubsProjectIntoTheirOverlays) {
  const RawParams raw = Params();
  // The tyre table as the reader prepares it: 10 added to the lateral
  // distance, the rear axle's value negated.
  const double lateral = raw.Float(kTiresParams, 0) + 10.0;
  const double frontAxle = raw.Float(kTiresParams, 1);
  const double rearAxle = -raw.Float(kTiresParams, 2);
  const double halfTyre = raw.Float(kTiresParams, 3) / 2.0;
  const double radius = raw.Float(kTiresParams, 4);
  for (const Placed& placed : PlacedOverlays()) {
    if (!placed.wheel) {
      continue;
    }
    SCOPED_TRACE(placed.overlay);
    const int angle = std::stoi(placed.base.substr(8));
    const RendererCamera camera(raw, angle);
    const double side = placed.left ? -1.0 : 1.0;
    const std::array<double, 3> hub = {side * (lateral + halfTyre), placed.front ? frontAxle : rearAxle, radius};
    const RawParams::Entry at = raw.Position(placed.table, placed.entry);
    const cv::Point2d inOverlay = camera.Pixel(hub) -
                                  cv::Point2d(raw.Float(kCord, 4 * angle), raw.Float(kCord, 4 * angle + 1)) -
                                  cv::Point2d(at.x, at.y);
    const cv::Mat overlay = Picture(placed.overlay);
    const cv::Point pixel(static_cast<int>(std::lround(inOverlay.x)), static_cast<int>(std::lround(inOverlay.y)));
    ASSERT_TRUE(cv::Rect(0, 0, overlay.cols, overlay.rows).contains(pixel));
    // The hub or a spoke shows there: grey metal, neither the near-black tyre nor the
    // red body.
    const cv::Vec4b value = overlay.at<cv::Vec4b>(pixel);
    EXPECT_EQ(value[3], 255) << "the hub is part of the wheel image";
    EXPECT_GE(std::min({value[0], value[1], value[2]}), 45) << "brighter than any tyre rubber";
    EXPECT_LE(std::max({value[0], value[1], value[2]}) - std::min({value[0], value[1], value[2]}), 12);
    // Seen from an angle the tyre's tread shows beside the disc, so the
    // wheel's middle is only roughly at the hub.
    const cv::Rect wheel = OpaqueBounds(overlay);
    EXPECT_NEAR(wheel.x + wheel.width / 2.0, inOverlay.x, 0.35 * wheel.width);
    EXPECT_NEAR(wheel.y + wheel.height / 2.0, inOverlay.y, 0.35 * wheel.height);
  }
}

TEST(SampleParams, TheCarStandsOnTheGroundInTheSideViews) {
  // From the sides (angles 0 and 96) the lowest thing in the picture is the
  // bottom of the nearer tyres, which touch the ground plane z = 0.
  const RawParams raw = Params();
  const double lateral = raw.Float(kTiresParams, 0) + 10.0;
  const double halfTyre = raw.Float(kTiresParams, 3) / 2.0;
  const double radius = raw.Float(kTiresParams, 4);
  for (int angle : {0, 96}) {
    SCOPED_TRACE("angle " + std::to_string(angle));
    const RendererCamera camera(raw, angle);
    const double side = angle == 0 ? 1.0 : -1.0;
    double lowest = 0.0;
    for (double axle : {static_cast<double>(raw.Float(kTiresParams, 1)), -static_cast<double>(raw.Float(kTiresParams, 2))}) {
      for (double face : {lateral - halfTyre, lateral + halfTyre}) {
        for (int step = 0; step < 720; ++step) {
          const double a = step * M_PI / 360.0;
          const cv::Point2d p =
              camera.Pixel({side * face, axle + radius * std::cos(a), radius + radius * std::sin(a)});
          lowest = std::max(lowest, p.y);
        }
      }
    }
    const cv::Mat picture = Picture("color/a/" + std::to_string(angle) + ".kes");
    const cv::Rect car = OpaqueBounds(picture);
    const double lastRow = raw.Float(kCord, 4 * angle + 1) + car.y + car.height - 1;
    EXPECT_NEAR(lastRow, lowest, 1.0);
  }
}
