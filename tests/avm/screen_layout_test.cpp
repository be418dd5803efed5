// Screen layouts: which row a screen size picks, and the viewports each
// layout gives.
#include <gtest/gtest.h>

#include "avm/bridge/scene_state.h"
#include "avm/view/screen_layout.h"
#include "tests/support/log_capture.h"

namespace {

void ExpectRect(const float* rect, float x, float y, float w, float h) {
  EXPECT_EQ(rect[0], x);
  EXPECT_EQ(rect[1], y);
  EXPECT_EQ(rect[2], w);
  EXPECT_EQ(rect[3], h);
}

class ScreenLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    scene_ = AllocateSceneState();
    ASSERT_NE(scene_, nullptr);
  }
  void Screen(int index, int width, int height, int inset = 0) {
    scene_->screenIndex = index;
    scene_->screenWidth = width;
    scene_->screenHeight = height;
    scene_->sideViewInset = inset;
  }
  ViewParam* scene_ = nullptr;
};

TEST(ScreenIndex, NearestShapeFirstRowWins) {
  EXPECT_EQ(AvmGetScreenIndex(1024, 600), 0);
  EXPECT_EQ(AvmGetScreenIndex(1280, 720), 1);   // 16:9, the first such row
  EXPECT_EQ(AvmGetScreenIndex(1920, 1080), 1);  // row 6 is 16:9 as well
  EXPECT_EQ(AvmGetScreenIndex(768, 1024), 20);
  EXPECT_EQ(AvmGetScreenIndex(1280, 480), 2);
  EXPECT_EQ(AvmGetScreenIndex(1080, 1650), 27);
}

TEST(ScreenIndex, SquareScreensSearchThePortraitRows) {
  LogCapture log;
  // 768 x 720 (row 24) is the portrait row nearest to square.
  EXPECT_EQ(AvmGetScreenIndex(1000, 1000), 24);
  EXPECT_TRUE(log.Contains("KESTRA", "---------AvmGetScreenIndex,24"));
}

TEST(ScreenIndex, SizeWithoutAreaFallsBackToTheFirstRow) {
  LogCapture log;
  EXPECT_EQ(AvmGetScreenIndex(0, 0), 0);
  EXPECT_EQ(AvmGetScreenIndex(800, -5), 0);
  EXPECT_EQ(log.Count("KESTRA", "---------AvmGetScreenIndex,0"), 2);
}

TEST_F(ScreenLayout, LandscapeTopViewIs352PixelsPer1024) {
  for (const auto& [width, top] : {std::pair{1024, 352}, {1280, 440}, {1920, 660}}) {
    Screen(0, width, 600);
    AvmSetScreen();
    EXPECT_EQ(scene_->topViewport[2], static_cast<float>(top)) << width;
    AvmInitialScreenLayout();
    EXPECT_EQ(scene_->topViewport[2], static_cast<float>(top)) << width;
  }
}

TEST_F(ScreenLayout, LandscapeWithSideInset) {
  Screen(1, 1280, 720, 40);
  AvmSetScreen();
  ExpectRect(scene_->topViewport, 2, 3, 440, 717);
  ExpectRect(scene_->sideViewport, 444, 43, 836, 677);
  ExpectRect(scene_->mainViewport, 0, 0, 1280, 720);
  EXPECT_FLOAT_EQ(scene_->sideAspect, 836.0f / 677.0f);
  EXPECT_FLOAT_EQ(scene_->mainAspect, 1280.0f / 720.0f);
  EXPECT_EQ(scene_->lrOffset[0], 51);
  EXPECT_EQ(scene_->lrOffset[1], 29);
}

TEST_F(ScreenLayout, LandscapeKeepsTheFullViewport) {
  scene_->fullViewport[0] = 5;
  scene_->fullViewport[1] = 6;
  scene_->fullViewport[2] = 7;
  scene_->fullViewport[3] = 8;
  Screen(0, 1024, 600);
  AvmSetScreen();
  ExpectRect(scene_->fullViewport, 5, 6, 7, 8);
}

TEST_F(ScreenLayout, PortraitStacksTopViewAboveTheOthers) {
  Screen(21, 800, 1280);
  AvmSetScreen();
  ExpectRect(scene_->topViewport, 0, 0, 800, 640);
  ExpectRect(scene_->sideViewport, 0, 642, 800, 638);
  ExpectRect(scene_->mainViewport, 0, 642, 800, 638);
  ExpectRect(scene_->fullViewport, 0, 0, 800, 1280);
  EXPECT_EQ(scene_->lrOffset[0], 50);
  EXPECT_EQ(scene_->lrOffset[1], 28);
}

TEST_F(ScreenLayout, InitialLayoutSplitsWithoutMargins) {
  Screen(0, 1024, 600);
  AvmInitialScreenLayout();
  ExpectRect(scene_->topViewport, 0, 0, 352, 600);
  ExpectRect(scene_->sideViewport, 352, 0, 672, 600);
  ExpectRect(scene_->mainViewport, 0, 0, 1024, 600);
  ExpectRect(scene_->fullViewport, 0, 0, 1024, 600);

  Screen(22, 1080, 1920);
  AvmInitialScreenLayout();
  ExpectRect(scene_->topViewport, 0, 0, 1080, 960);
  ExpectRect(scene_->mainViewport, 0, 962, 1080, 958);
}

TEST_F(ScreenLayout, IndexesOutsideTheTableReadTheNearestRow) {
  // A layout code of command 19 is kept as given; one beyond the 40 rows is
  // above 19 and so portrait, with the offsets of the last row, and never
  // reads outside the table. A negative one is landscape with row 0.
  for (int index : {40, 1000}) {
    Screen(index, 800, 1280);
    AvmSetScreen();
    EXPECT_EQ(scene_->lrOffset[0], 67) << index;
    EXPECT_EQ(scene_->lrOffset[1], 36) << index;
    ExpectRect(scene_->topViewport, 0, 0, 800, 640);
    ExpectRect(scene_->mainViewport, 0, 642, 800, 638);
    scene_->topViewport[2] = 0;
    AvmInitialScreenLayout();
    ExpectRect(scene_->topViewport, 0, 0, 800, 640);
  }
  Screen(-3, 1024, 600);
  AvmSetScreen();
  EXPECT_EQ(scene_->lrOffset[0], 50);
  EXPECT_EQ(scene_->lrOffset[1], 28);
  ExpectRect(scene_->topViewport, 2, 3, 352, 597);
  EXPECT_EQ(LayoutRow(39), lr_offset_angle[39]);
  EXPECT_EQ(LayoutRow(40), lr_offset_angle[39]);
  EXPECT_EQ(LayoutRow(-1), lr_offset_angle[0]);
  EXPECT_TRUE(IsPortraitLayout(40));
  EXPECT_TRUE(IsPortraitLayout(20));
  EXPECT_FALSE(IsPortraitLayout(19));
  EXPECT_FALSE(IsPortraitLayout(-1));
}

TEST(LayoutTable, RowsMatchTheirScreenSizes) {
  EXPECT_EQ(lr_offset_angle[10][0], 42);
  EXPECT_EQ(lr_offset_angle[10][3], 768);
  for (int row = 11; row <= 19; ++row) {
    EXPECT_EQ(lr_offset_angle[row][2], 1024) << row;
    EXPECT_EQ(lr_offset_angle[row][3], 600) << row;
  }
  for (int row = 28; row < 40; ++row) {
    EXPECT_EQ(lr_offset_angle[row][0], 67) << row;
    EXPECT_EQ(lr_offset_angle[row][2], 768) << row;
  }
  EXPECT_EQ(lr_offset_angle[24][0], 90);
  EXPECT_EQ(lr_offset_angle[27][2], 1080);
  EXPECT_EQ(lr_offset_angle[39][3], 1024);
}

}  // namespace
