// The sample's rasteriser: where it puts points, how it covers pixels, and
// which surface wins.
#include <cmath>

#include <gtest/gtest.h>

#include "tools/lib/raster.h"

using tools::Colour;
using tools::Mesh;
using tools::RenderedRegion;
using tools::Triangle;
using tools::Vec3;
using tools::ViewCamera;

namespace {

// A flat rectangle at height z seen by a top-down camera whose pixel
// (column, row) is the point (column, -row).
void AddRectangle(Mesh* mesh, double x0, double x1, double y0, double y1, double z, Colour colour, int part) {
  Triangle a;
  a.v[0] = {x0, y0, z};
  a.v[1] = {x1, y0, z};
  a.v[2] = {x1, y1, z};
  a.colour = colour;
  a.part = static_cast<std::uint8_t>(part);
  a.emissive = true;
  Triangle b = a;
  b.v[1] = {x1, y1, z};
  b.v[2] = {x0, y1, z};
  mesh->push_back(a);
  mesh->push_back(b);
}

RenderedRegion Render(const Mesh& mesh, int width, int height) {
  const ViewCamera camera = ViewCamera::TopDown(1.0, 0.0, 0.0, width, height);
  RenderedRegion out;
  std::string error;
  EXPECT_TRUE(tools::RenderMesh(mesh, camera, cv::Rect(0, 0, width, height), 3, &out, &error)) << error;
  return out;
}

}  // namespace

TEST(Raster, PerspectiveMapsTheFrameLikeTheRendererDoes) {
  // Column 0 at -1 and column width - 1 at +1, row 0 at +1: the look-at
  // point lands in the middle, and a point at the edge of the field of view
  // on the last column.
  const int width = 101;
  const int height = 61;
  const double aspect = 100.0 / 60.0;
  const ViewCamera camera =
      ViewCamera::Perspective({0.0, -500.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 1.0}, 60.0, aspect, width, height);
  double column = 0.0;
  double row = 0.0;
  double closeness = 0.0;
  ASSERT_TRUE(camera.Project({0.0, 0.0, 0.0}, &column, &row, &closeness));
  EXPECT_NEAR(column, 50.0, 1e-9);
  EXPECT_NEAR(row, 30.0, 1e-9);
  EXPECT_NEAR(closeness, 1.0 / 500.0, 1e-12);
  const double halfHeight = 500.0 * std::tan(30.0 * M_PI / 180.0);
  // Looking along +y with z up, +x is to the right.
  ASSERT_TRUE(camera.Project({halfHeight * aspect, 0.0, halfHeight}, &column, &row, &closeness));
  EXPECT_NEAR(column, 100.0, 1e-9);
  EXPECT_NEAR(row, 0.0, 1e-9);
  EXPECT_FALSE(camera.Project({0.0, -500.5, 0.0}, &column, &row, &closeness)) << "behind the eye";
}

TEST(Raster, CoverageGivesAlphaAndEdgesAreAntialiased) {
  Mesh mesh;
  // Pixel edges at 9.5 and 19.5: columns 10..19 and rows 5..14 fully covered.
  AddRectangle(&mesh, 9.5, 19.5, -14.5, -4.5, 0.0, {10, 20, 30}, 3);
  // A second one whose left edge runs through the centres of column 30:
  // two of its three sample columns are inside.
  AddRectangle(&mesh, 30.0, 35.5, -14.5, -4.5, 0.0, {10, 20, 30}, 4);
  const RenderedRegion out = Render(mesh, 40, 20);
  for (int row = 0; row < 20; ++row) {
    for (int column = 0; column < 40; ++column) {
      const cv::Vec4b pixel = out.bgra.at<cv::Vec4b>(row, column);
      const bool inRows = row >= 5 && row <= 14;
      if (inRows && column >= 10 && column <= 19) {
        EXPECT_EQ(pixel, cv::Vec4b(10, 20, 30, 255)) << row << "," << column;
        EXPECT_EQ(out.parts.at<std::int32_t>(row, column), 1 << 3);
      } else if (inRows && column == 30) {
        EXPECT_EQ(pixel[3], 170) << "two thirds covered";
        EXPECT_EQ(pixel[0], 10) << "colour is not darkened by partial cover";
      } else if (inRows && column > 30 && column <= 35) {
        EXPECT_EQ(pixel[3], 255);
      } else {
        EXPECT_EQ(pixel[3], 0) << row << "," << column;
        EXPECT_EQ(out.parts.at<std::int32_t>(row, column), 0);
      }
    }
  }
}

TEST(Raster, TheNearerSurfaceWinsInEitherOrder) {
  for (bool nearFirst : {true, false}) {
    Mesh mesh;
    if (nearFirst) {
      AddRectangle(&mesh, 0.0, 10.0, -10.0, 0.0, 5.0, {200, 0, 0}, 1);
      AddRectangle(&mesh, 0.0, 10.0, -10.0, 0.0, 1.0, {0, 200, 0}, 2);
    } else {
      AddRectangle(&mesh, 0.0, 10.0, -10.0, 0.0, 1.0, {0, 200, 0}, 2);
      AddRectangle(&mesh, 0.0, 10.0, -10.0, 0.0, 5.0, {200, 0, 0}, 1);
    }
    const RenderedRegion out = Render(mesh, 12, 12);
    EXPECT_EQ(out.bgra.at<cv::Vec4b>(5, 5), cv::Vec4b(200, 0, 0, 255));
    EXPECT_EQ(out.parts.at<std::int32_t>(5, 5), 1 << 1) << "the hidden surface is not in the part mask";
  }
}

TEST(Raster, OneSidedFacesShowOnlyTheirFront) {
  Triangle up;
  up.v[0] = {0.0, -10.0, 0.0};
  up.v[1] = {10.0, -10.0, 0.0};
  up.v[2] = {0.0, 0.0, 0.0};
  up.colour = {50, 60, 70};
  up.emissive = true;
  up.oneSided = true;
  // (v1 - v0) x (v2 - v0) = (10, 0, 0) x (0, 10, 0) points to +z, toward the
  // top-down viewer.
  Triangle down = up;
  std::swap(down.v[1], down.v[2]);
  EXPECT_EQ(Render({up}, 12, 12).bgra.at<cv::Vec4b>(8, 2)[3], 255);
  EXPECT_EQ(Render({down}, 12, 12).bgra.at<cv::Vec4b>(8, 2)[3], 0);
  down.oneSided = false;
  EXPECT_EQ(Render({down}, 12, 12).bgra.at<cv::Vec4b>(8, 2)[3], 255) << "two-sided faces show both sides";
}

TEST(Raster, GroundLightStopsAtTheHorizon) {
  // Eye 100 above the ground looking level: the lower half of the frame
  // sees the ground, the upper half the sky.
  const ViewCamera camera =
      ViewCamera::Perspective({0.0, 0.0, 100.0}, {0.0, 10.0, 100.0}, {0.0, 0.0, 1.0}, 60.0, 1.0, 21, 21);
  const cv::Mat light = tools::RenderGroundLight(camera, 2, [](double, double) {
    tools::GroundLight here;
    here.b = 1.0;
    here.g = 0.5;
    here.r = 0.0;
    here.alpha = 1.0;
    return here;
  });
  for (int row = 0; row < 21; ++row) {
    const cv::Vec4b pixel = light.at<cv::Vec4b>(row, 10);
    if (row < 10) {
      EXPECT_EQ(pixel[3], 0) << "row " << row;
    } else if (row > 10) {
      EXPECT_EQ(pixel, cv::Vec4b(255, 128, 0, 255)) << "row " << row;
    }
  }
}
