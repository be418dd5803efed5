// The overlays do what they are for: pasted onto their base picture at their
// params.bin positions the way the renderer pastes them, they give the
// picture of the car in that state as the model renders it directly.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process_runner.h"
#include "tests/tools/sample_files.h"
#include "tools/lib/car_model.h"
#include "tools/lib/sample_car.h"
#include "tools/lib/sample_marks.h"

namespace sm = sample_marks;
using tools::car_model::Pose;

namespace {

// Opaque-pixel paste: overlay pixels with a non-zero alpha byte replace the
// target's.
void PastePixels(const cv::Mat& overlay, int x, int y, cv::Mat* target) {
  for (int r = 0; r < overlay.rows; ++r) {
    for (int c = 0; c < overlay.cols; ++c) {
      const cv::Vec4b& p = overlay.at<cv::Vec4b>(r, c);
      if (p[3] != 0 && y + r < target->rows && x + c < target->cols) {
        target->at<cv::Vec4b>(y + r, x + c) = p;
      }
    }
  }
}

// Opaque-span paste: in each row everything from the first to the last
// opaque pixel, transparent ones included.
void PasteSpans(const cv::Mat& overlay, int x, int y, cv::Mat* target) {
  for (int r = 0; r < overlay.rows; ++r) {
    int first = -1;
    int last = -1;
    for (int c = 0; c < overlay.cols; ++c) {
      if (overlay.at<cv::Vec4b>(r, c)[3] != 0) {
        first = first < 0 ? c : first;
        last = c;
      }
    }
    for (int c = first; first >= 0 && c <= last; ++c) {
      if (y + r < target->rows && x + c < target->cols) {
        target->at<cv::Vec4b>(y + r, x + c) = overlay.at<cv::Vec4b>(r, c);
      }
    }
  }
}

// Pixels that differ other than in the two low colour bits (the marks).
int Differences(const cv::Mat& a, const cv::Mat& b) {
  EXPECT_EQ(a.size(), b.size());
  int count = 0;
  for (int r = 0; r < a.rows; ++r) {
    for (int c = 0; c < a.cols; ++c) {
      const cv::Vec4b& p = a.at<cv::Vec4b>(r, c);
      const cv::Vec4b& q = b.at<cv::Vec4b>(r, c);
      if ((p[0] ^ q[0]) > 3 || (p[1] ^ q[1]) > 3 || (p[2] ^ q[2]) > 3 || p[3] != q[3]) {
        ++count;
      }
    }
  }
  return count;
}

struct Case {
  std::string overlay;
  int table;
  int entry;
  int angle;
  Pose pose;
  bool span;
  int layer;
  int allowed;  // pixels the paste may leave different (a steered wheel's old edge)
};

Pose Frame(int wheel, int frame, double steer = 0.0) {
  Pose pose;
  pose.wheelFrame[wheel] = frame;
  if (wheel < 2) {
    pose.steerDegrees[wheel] = steer;
  }
  return pose;
}

Pose Doors(bool d0, bool d1, bool d2, bool d3) {
  Pose pose;
  pose.doorOpen[0] = d0;
  pose.doorOpen[1] = d1;
  pose.doorOpen[2] = d2;
  pose.doorOpen[3] = d3;
  return pose;
}

Pose Lit(bool left, bool right, bool headLeft = false, bool headRight = false) {
  Pose pose;
  pose.indicatorLeft = left;
  pose.indicatorRight = right;
  pose.headlampLeft = headLeft;
  pose.headlampRight = headRight;
  return pose;
}

std::vector<Case> Cases() {
  using namespace tools::car_model;
  std::vector<Case> cases;
  for (int f : {0, 3, 5}) {
    const std::string n = std::to_string(f);
    cases.push_back({"tires/left/f" + n + ".kes", kTiresOffset, 0, 130, Frame(kFrontLeft, f), false,
                     sm::WheelLayer(true, 0, f), 0});
    cases.push_back({"tires/left/b" + n + ".kes", kTiresOffset, 1, 130, Frame(kRearLeft, f), false,
                     sm::WheelLayer(false, 0, f), 0});
    cases.push_back({"tires/right/f" + n + ".kes", kTiresOffset, 2, 158, Frame(kFrontRight, f), false,
                     sm::WheelLayer(true, 0, f), 0});
    cases.push_back({"tires/right_30/f" + n + ".kes", kTiresOffset, 2, 158, Frame(kFrontRight, f, -30.0), false,
                     sm::WheelLayer(true, 30, f), 4});
    cases.push_back({"tires/left_10/f" + n + ".kes", kTiresOffset, 0, 130, Frame(kFrontLeft, f, 10.0), false,
                     sm::WheelLayer(true, 10, f), 4});
    cases.push_back({"tires/1/b" + n + ".kes", kTiresOffset2, 5, 0, Frame(kRearRight, f), false,
                     sm::WheelLayer(false, 0, f), 0});
    cases.push_back({"tires/25/f" + n + ".kes", kTiresOffset2, 6, 24, Frame(kFrontRight, f), false,
                     sm::WheelLayer(true, 0, f), 0});
    cases.push_back({"tires/73/b" + n + ".kes", kTiresOffset2, 9, 72, Frame(kRearLeft, f), false,
                     sm::WheelLayer(false, 0, f), 0});
    cases.push_back({"tires/97/f" + n + ".kes", kTiresOffset2, 10, 96, Frame(kFrontLeft, f), false,
                     sm::WheelLayer(true, 0, f), 0});
  }
  cases.push_back({"color/light/left/4.kes", kLampsOffset2, 4, 130, Lit(true, false), false,
                   sm::kLayerLamp + sm::kLampLeft4, 0});
  cases.push_back({"color/light/right/5.kes", kLampsOffset2, 13, 158, Lit(false, true), false,
                   sm::kLayerLamp + sm::kLampRight5, 0});
  cases.push_back({"color/light/front/0.kes", kLampsOffset2, 16, 54, Lit(false, true), false,
                   sm::kLayerLamp + sm::kLampFront0, 0});
  cases.push_back({"color/light/back/4.kes", kLampsOffset2, 24, 144, Lit(true, false), false,
                   sm::kLayerLamp + sm::kLampBack4, 0});
  cases.push_back({"color/light/front2/0.kes", kLampsOffset2, 32, 72, Lit(false, false, false, true), false,
                   sm::kLayerLamp + sm::kLampFront2_0, 0});
  cases.push_back({"color/light/front2/3.kes", kLampsOffset2, 35, 72, Lit(true, false), false,
                   sm::kLayerLamp + sm::kLampFront2_3, 0});
  // Door image k and the doors it shows open: 0 door 0, 1 door 2, 4 both;
  // 2 door 1, 3 door 3, 5 both.
  const Pose doorPoses[6] = {Doors(true, false, false, false), Doors(false, false, true, false),
                             Doors(false, true, false, false), Doors(false, false, false, true),
                             Doors(true, false, true, false),  Doors(false, true, false, true)};
  const struct {
    const char* group;
    int table;
    int first;
    int angle;
  } doorViews[] = {{"left", kDoorsOffset, 0, 130},
                   {"right", kDoorsOffset, 6, 158},
                   {"front", kDoorsOffset2, 18, 54},
                   {"back", kDoorsOffset2, 24, 144},
                   {"front2", kDoorsOffset2, 30, 72}};
  for (const auto& view : doorViews) {
    for (int k = 0; k < 6; ++k) {
      cases.push_back({std::string("color/door/") + view.group + "/d" + std::to_string(k) + ".kes", view.table,
                       view.first + k, view.angle, doorPoses[k], true, sm::kLayerDoor + k, 0});
    }
  }
  return cases;
}

}  // namespace

TEST(SampleCompose, PastedOverlaysGiveTheDirectlyRenderedState) {
  const RawParams raw(ReadFile(SampleCarDir() + "/params.bin"));
  ASSERT_EQ(raw.size(), 7136u);
  for (const Case& test : Cases()) {
    SCOPED_TRACE(test.overlay);
    const cv::Mat base = ReadPicture(SampleCarDir() + "/color/a/" + std::to_string(test.angle) + ".kes");
    const cv::Mat overlay = ReadPicture(SampleCarDir() + "/" + test.overlay);
    ASSERT_EQ(base.type(), CV_8UC4);
    ASSERT_EQ(overlay.type(), CV_8UC4);
    const RawParams::Entry at = raw.Position(test.table, test.entry);
    cv::Mat composed = base.clone();
    if (test.span) {
      PasteSpans(overlay, at.x, at.y, &composed);
    } else {
      PastePixels(overlay, at.x, at.y, &composed);
    }
    const cv::Rect rect(static_cast<int>(raw.Float(kCord, 4 * test.angle)),
                        static_cast<int>(raw.Float(kCord, 4 * test.angle + 1)), base.cols, base.rows);
    cv::Mat direct;
    std::string error;
    ASSERT_TRUE(tools::RenderSpriteRect(test.pose, tools::SpriteSetup(), test.angle, rect, &direct, &error)) << error;
    const int changed = Differences(base, direct);
    const int left = Differences(composed, direct);
    if (test.span) {
      // A span cannot make the end of a row transparent where the shut door
      // stood at the car's outline; that is the only difference allowed.
      EXPECT_LE(left, changed / 50) << "changed " << changed;
    } else {
      EXPECT_LE(left, test.allowed) << "changed " << changed;
    }
    EXPECT_EQ(Differences(base, composed) > 0, changed > 0) << "the overlay changes what the state changes";
    // Where the overlay has opaque pixels the composed picture says so.
    int marked = 0;
    for (int r = 0; r < overlay.rows; ++r) {
      for (int c = 0; c < overlay.cols; ++c) {
        if (overlay.at<cv::Vec4b>(r, c)[3] != 0) {
          ASSERT_EQ(sm::PixelLayer(&composed.at<cv::Vec4b>(at.y + r, at.x + c)[0]), test.layer);
          ++marked;
        }
      }
    }
    if (test.span) {
      EXPECT_EQ(marked > 0, changed > 0) << "a door overlay is blank exactly when the door does not show";
    } else {
      EXPECT_GT(marked, 0) << "wheels and lamps show in their views";
    }
  }
}

TEST(SampleCompose, TopDoorOverlaysRebuildTheTopPicturesOfTheTree) {
  const RawParams raw(ReadFile(SampleCarDir() + "/params.bin"));
  const std::string top = SampleCarDir() + "/color/top/";
  const std::string doors = SampleCarDir() + "/color/door/top/";
  // Door image k on top0000 against the tree's picture of the same doors.
  const struct {
    std::vector<int> images;
    const char* expected;
  } cases[] = {{{0}, "top1000"}, {{1}, "top0010"}, {{2}, "top0100"}, {{3}, "top0001"}, {{4, 5}, "top1111"}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    cv::Mat composed = ReadPicture(top + "top0000.kes");
    ASSERT_EQ(composed.type(), CV_8UC4);
    for (int k : test.images) {
      const RawParams::Entry at = raw.Position(kDoorsOffset, 12 + k);
      PasteSpans(ReadPicture(doors + "d" + std::to_string(k) + ".kes"), at.x, at.y, &composed);
    }
    const cv::Mat expected = ReadPicture(top + test.expected + ".kes");
    const int changed = Differences(ReadPicture(top + "top0000.kes"), expected);
    EXPECT_GT(changed, 500);
    EXPECT_LE(Differences(composed, expected), changed / 20);
  }
}

TEST(SampleCompose, TopPicturesJoinAtTheMiddleAsTheRendererJoinsThem) {
  // The renderer makes door combinations without a file of their own by
  // joining the left half (doors 0 and 2) of one picture with the right half
  // (doors 1 and 3) of another: each side's doors must stay in its half.
  const std::string top = SampleCarDir() + "/color/top/";
  const cv::Mat closed = ReadPicture(top + "top0000.kes");
  const int half = closed.cols / 2;
  const struct {
    const char* name;
    bool leftChanges;
  } pictures[] = {{"top1000", true}, {"top0010", true}, {"top0100", false}, {"top0001", false}};
  for (const auto& picture : pictures) {
    const cv::Mat open = ReadPicture(top + picture.name + ".kes");
    const cv::Rect leftHalf(0, 0, half, closed.rows);
    const cv::Rect rightHalf(half, 0, closed.cols - half, closed.rows);
    const int left = Differences(open(leftHalf), closed(leftHalf));
    const int right = Differences(open(rightHalf), closed(rightHalf));
    EXPECT_EQ(left > 0, picture.leftChanges) << picture.name;
    EXPECT_EQ(right > 0, !picture.leftChanges) << picture.name;
  }
}
