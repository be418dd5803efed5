// The vertices of one guide line, computed without GL: arcs, straight
// bands, the fold onto the car's end in the track modes, and lines that
// give no finite vertices.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "avm/track/track_tessellation.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vertex {
  float x, y, z;
};

Vertex At(const std::vector<float>& v, int index) {
  return Vertex{v[3 * index], v[3 * index + 1], v[3 * index + 2]};
}

TrackSceneModes Plain() {
  TrackSceneModes modes{};
  modes.trackMirror = 1;
  modes.carLength = 523;
  return modes;
}

TEST(TrackTessellation, ArcOfLengthRadiusTimesPiIsAHalfCircleInFiftyEqualSteps) {
  const TrackLineShape line{10.0f, -20.0f, 0.0f, 1.0f, 200.0f, static_cast<float>(200.0 * kPi),
                            2.5f};
  std::vector<float> v(kTrackFloats);
  ASSERT_TRUE(TessellateArc(line, Plain(), v.data()));
  double previous = 0.0;
  for (int k = 0; k < kTrackPairs; ++k) {
    const Vertex inner = At(v, 2 * k);
    const Vertex outer = At(v, 2 * k + 1);
    EXPECT_NEAR(std::hypot(inner.x - 10.0, inner.y + 20.0), 197.5, 1e-3);
    EXPECT_NEAR(std::hypot(outer.x - 10.0, outer.y + 20.0), 202.5, 1e-3);
    EXPECT_EQ(inner.z, 0.0f);
    double angle = std::atan2(outer.y + 20.0, outer.x - 10.0);
    if (angle < -1e-3) {
      angle += 2 * kPi;
    }
    EXPECT_NEAR(angle, k * kPi / 50.0, 1e-4) << "pair " << k;
    if (k > 0) {
      EXPECT_NEAR(angle - previous, kPi / 50.0, 1e-4);
    }
    previous = angle;
  }
  // Counter-clockwise: from (radius, 0) over the top to (-radius, 0).
  EXPECT_GT(At(v, 51).y, 100.0f);
  EXPECT_NEAR(At(v, 101).x, 10.0f - 202.5f, 1e-2);
}

TEST(TrackTessellation, DirectionMinusOneRunsClockwise) {
  const TrackLineShape line{0.0f, 0.0f, 180.0f, -1.0f, 100.0f, static_cast<float>(100.0 * kPi),
                            2.0f};
  std::vector<float> v(kTrackFloats);
  ASSERT_TRUE(TessellateArc(line, Plain(), v.data()));
  // From 180 degrees clockwise over the top to 0 degrees.
  EXPECT_NEAR(At(v, 1).x, -102.0f, 1e-3);
  EXPECT_GT(At(v, 51).y, 90.0f);
  EXPECT_NEAR(At(v, 101).x, 102.0f, 1e-2);
  for (int k = 1; k < kTrackPairs; ++k) {
    const Vertex a = At(v, 2 * k - 1);
    const Vertex b = At(v, 2 * k + 1);
    // The cross product of consecutive radii is negative: clockwise.
    EXPECT_LT(a.x * b.y - a.y * b.x, 0.0f) << "pair " << k;
  }
}

TEST(TrackTessellation, StraightBandHasPairsTenApartAndReversesWithTheGear) {
  const TrackLineShape band{-103.6f, 171.0f, 0.0f, 1.0f, 0.0f, 500.0f, 2.5f};
  std::vector<float> v(kTrackFloats);
  TrackSceneModes modes = Plain();
  ASSERT_TRUE(TessellateBand(band, modes, v.data()));
  for (int k = 0; k < kTrackPairs; ++k) {
    EXPECT_NEAR(At(v, 2 * k).y, 171.0f + 10.0f * k, 1e-3);
    EXPECT_NEAR(At(v, 2 * k).x, -101.1f, 1e-4);
    EXPECT_NEAR(At(v, 2 * k + 1).x, -106.1f, 1e-4);
    EXPECT_EQ(At(v, 2 * k).y, At(v, 2 * k + 1).y);
  }
  modes.reverseGear = 1;
  ASSERT_TRUE(TessellateBand(band, modes, v.data()));
  EXPECT_EQ(At(v, 0).y, 171.0f);
  EXPECT_NEAR(At(v, 100).y, 171.0f - 500.0f, 1e-2);
  // Screen mode 1 in track mode A runs backwards as well.
  modes.reverseGear = 0;
  modes.screenMode = 1;
  modes.trackModeA = 1;
  modes.carLength = 0;
  ASSERT_TRUE(TessellateBand(band, modes, v.data()));
  EXPECT_LT(At(v, 100).y, At(v, 0).y);
}

TEST(TrackTessellation, TrackModesFoldTheBandOntoTheCarsEnd) {
  const TrackLineShape band{50.0f, 0.0f, 0.0f, 1.0f, 0.0f, 500.0f, 2.0f};
  std::vector<float> v(kTrackFloats);
  TrackSceneModes modes = Plain();
  modes.trackModeB = 1;
  ASSERT_TRUE(TessellateBand(band, modes, v.data()));
  // Pairs 0..26 lie beside the car (|y| < 261): they move onto y = 261.
  EXPECT_EQ(At(v, 0).y, 261.0f);
  EXPECT_EQ(At(v, 2 * 26).y, 261.0f);
  EXPECT_NEAR(At(v, 2 * 27).y, 270.0f, 1e-3);
  EXPECT_EQ(At(v, 0).x, 52.0f);
  // Rear screen modes fold onto the other end; mode 1 (and 9) mirror.
  modes.screenMode = 9;
  ASSERT_TRUE(TessellateBand(band, modes, v.data()));
  EXPECT_EQ(At(v, 0).y, -261.0f);
  EXPECT_EQ(At(v, 0).x, -52.0f);
  EXPECT_EQ(At(v, 101).x, -48.0f);
  modes.trackMirror = 0;
  ASSERT_TRUE(TessellateBand(band, modes, v.data()));
  EXPECT_EQ(At(v, 0).x, 52.0f);
}

TEST(TrackTessellation, TrackModesFoldTheArcWhereItCrossesTheCarsEnd) {
  // Centre on the rear axle, right of the car: the arc starts beside it.
  const TrackLineShape line{400.0f, -158.8f, 180.0f, -1.0f, 500.0f, 800.0f, 4.0f};
  std::vector<float> v(kTrackFloats);
  TrackSceneModes modes = Plain();
  modes.trackModeA = 1;
  ASSERT_TRUE(TessellateArc(line, modes, v.data()));
  const float e = 261.5f + 158.8f;
  const float innerX = 400.0f - std::sqrt(496.0f * 496.0f - e * e);
  const float outerX = 400.0f - std::sqrt(504.0f * 504.0f - e * e);
  EXPECT_EQ(At(v, 0).y, 261.0f);
  EXPECT_NEAR(At(v, 0).x, innerX, 1e-2);
  EXPECT_NEAR(At(v, 1).x, outerX, 1e-2);
  // The far end of the arc is beyond the car's end and stays on the circle.
  const Vertex last = At(v, 101);
  EXPECT_GT(std::fabs(last.y), 261.0f);
  EXPECT_NEAR(std::hypot(last.x - 400.0f, last.y + 158.8f), 504.0f, 1e-2);
}

TEST(TrackTessellation, InfiniteOrZeroRadiusGivesNoLine) {
  std::vector<float> v(kTrackFloats);
  const float infinite = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(TessellateArc({-infinite, -158.8f, 90.0f, 1.0f, infinite, 500.0f, 2.5f}, Plain(),
                             v.data()));
  EXPECT_FALSE(TessellateArc({0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 500.0f, 2.5f}, Plain(), v.data()));
  EXPECT_FALSE(TessellateBand({std::nanf(""), 0.0f, 0.0f, 1.0f, 0.0f, 500.0f, 2.5f}, Plain(),
                              v.data()));
}

TEST(TrackTessellation, TextureRunsAcrossTheBandAndAlongIt) {
  std::vector<float> t(2 * kTrackVertices);
  TrackTexCoords(t.data());
  EXPECT_EQ(t[0], 0.0f);
  EXPECT_EQ(t[1], 0.0f);
  EXPECT_EQ(t[2], 1.0f);
  EXPECT_FLOAT_EQ(t[4 * 25 + 1], 0.5f);
  EXPECT_FLOAT_EQ(t[4 * 50 + 3], 1.0f);
}

}  // namespace
