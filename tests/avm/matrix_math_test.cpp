// The matrix helpers against GLM as an independent reference, on many
// random inputs, plus the exact cases callers rely on.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <array>
#include <cmath>
#include <cstring>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <random>

#include "avm/gl/matrix_math.h"

namespace {

using Matrix = std::array<float, 16>;

Matrix RandomMatrix(std::mt19937& random) {
  std::uniform_real_distribution<float> value(-10.0f, 10.0f);
  Matrix m;
  for (float& element : m) {
    element = value(random);
  }
  return m;
}

glm::mat4 ToGlm(const Matrix& m) { return glm::make_mat4(m.data()); }

// Relative comparison: float results of sums of products.
void ExpectMatrixNear(const float* actual, const glm::mat4& expected, float tolerance,
                      const char* what) {
  const float* reference = glm::value_ptr(expected);
  for (int i = 0; i < 16; ++i) {
    const float scale = std::max(1.0f, std::fabs(reference[i]));
    EXPECT_NEAR(actual[i], reference[i], tolerance * scale) << what << " element " << i;
  }
}

class MatrixAgainstGlm : public ::testing::Test {
 protected:
  std::mt19937 random_{20240521u};
};

TEST_F(MatrixAgainstGlm, MultiplyGivesSecondTimesFirst) {
  for (int run = 0; run < 500; ++run) {
    const Matrix a = RandomMatrix(random_);
    const Matrix b = RandomMatrix(random_);
    Matrix result;
    MultMatrix4x4(result.data(), a.data(), b.data());
    ExpectMatrixNear(result.data(), ToGlm(b) * ToGlm(a), 1e-5f, "b * a");
  }
}

TEST_F(MatrixAgainstGlm, MultiplyIntoSecondOperandMatchesTranslateAndScale) {
  std::uniform_real_distribution<float> value(-500.0f, 500.0f);
  for (int run = 0; run < 500; ++run) {
    const Matrix m = RandomMatrix(random_);
    const glm::vec3 t(value(random_), value(random_), value(random_));
    Matrix translated = m;
    TranslateMatrix4x4(translated.data(), t.x, t.y, t.z);
    ExpectMatrixNear(translated.data(), glm::translate(ToGlm(m), t), 1e-5f, "translate");

    const glm::vec3 s(value(random_) / 100.0f, value(random_) / 100.0f, value(random_) / 100.0f);
    Matrix scaled = m;
    ScaleMatrix4x4(scaled.data(), s.x, s.y, s.z);
    ExpectMatrixNear(scaled.data(), glm::scale(ToGlm(m), s), 1e-6f, "scale");
  }
}

TEST_F(MatrixAgainstGlm, RotateTurnsAgainstTheRightHandRule) {
  // A positive angle turns clockwise seen from the tip of the axis, the
  // opposite of GLM's rotate; the angle constant is a hair below pi/180.
  std::uniform_real_distribution<float> angle(-720.0f, 720.0f);
  const glm::vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int run = 0; run < 300; ++run) {
    for (int axis = 0; axis < 3; ++axis) {
      const Matrix m = RandomMatrix(random_);
      const float degrees = angle(random_);
      Matrix rotated = m;
      RotateMatrix4x4(rotated.data(), degrees, axis);
      const glm::mat4 expected = glm::rotate(ToGlm(m), -(degrees * 0.01745328f), axes[axis]);
      ExpectMatrixNear(rotated.data(), expected, 2e-5f, "rotate");
    }
  }
}

TEST_F(MatrixAgainstGlm, PerspectiveMatchesOpenGlProjection) {
  std::uniform_real_distribution<float> fovy(10.0f, 120.0f);
  std::uniform_real_distribution<float> aspect(0.3f, 3.0f);
  for (int run = 0; run < 500; ++run) {
    const float f = fovy(random_);
    const float a = aspect(random_);
    const float nearZ = 0.1f;
    const float farZ = run % 2 == 0 ? 8000.0f : 40000.0f;
    Matrix m;
    m.fill(7.0f);
    PerspectiveMatrix4x4(m.data(), f, a, nearZ, farZ);
    ExpectMatrixNear(m.data(), glm::perspectiveRH_NO(glm::radians(f), a, nearZ, farZ), 1e-5f,
                     "perspective");
  }
}

TEST_F(MatrixAgainstGlm, LookAtMatchesRightHandedView) {
  std::uniform_real_distribution<float> coordinate(-1000.0f, 1000.0f);
  for (int run = 0; run < 500; ++run) {
    const glm::vec3 eye(coordinate(random_), coordinate(random_), coordinate(random_));
    const glm::vec3 center(coordinate(random_), coordinate(random_), coordinate(random_));
    const glm::vec3 up = run % 2 == 0 ? glm::vec3(0, 0, 1) : glm::vec3(0, 1, 0);
    Matrix m;
    LookAt(m.data(), eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z);
    // Translations reach a thousand units; compare them relative to that.
    const glm::mat4 expected = glm::lookAtRH(eye, center, up);
    for (int i = 0; i < 16; ++i) {
      const float scale = i >= 12 ? 2000.0f : 1.0f;
      EXPECT_NEAR(m[i], glm::value_ptr(expected)[i], 2e-5f * scale) << "element " << i;
    }
  }
}

TEST_F(MatrixAgainstGlm, CrossProductAndNormalize) {
  std::uniform_real_distribution<float> value(-100.0f, 100.0f);
  for (int run = 0; run < 500; ++run) {
    const glm::vec3 a(value(random_), value(random_), value(random_));
    const glm::vec3 b(value(random_), value(random_), value(random_));
    float out[3];
    CrossProduct(out, glm::value_ptr(a), glm::value_ptr(b));
    const glm::vec3 expected = glm::cross(a, b);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(out[i], expected[i], 1e-5f * std::max(1.0f, std::fabs(expected[i])));
    }
    float v[3] = {a.x, a.y, a.z};
    Normalize(v);
    const glm::vec3 unit = glm::normalize(a);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(v[i], unit[i], 1e-6f);
    }
  }
}

TEST(MatrixExactCases, PerspectiveOverwritesWhateverTheMatrixHeld) {
  float m[16];
  for (float& element : m) {
    element = 123.0f;
  }
  PerspectiveMatrix4x4(m, 90.0f, 1.0f, 0.1f, 8000.0f);
  EXPECT_NEAR(m[0], 1.0f, 1e-6f);
  EXPECT_NEAR(m[5], 1.0f, 1e-6f);
  EXPECT_EQ(m[11], -1.0f);
  EXPECT_EQ(m[15], 0.0f);
  for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) {
    EXPECT_EQ(m[i], 0.0f) << i;
  }
}

TEST(MatrixExactCases, RotateQuarterTurnAboutZAndUnknownAxes) {
  float m[16];
  LoadIdentityMatrix4x4(m);
  RotateMatrix4x4(m, 90.0f, 2);
  EXPECT_NEAR(m[1], -1.0f, 1e-6f);
  EXPECT_NEAR(m[4], 1.0f, 1e-6f);
  // The degree constant sits a hair below pi/180: a quarter turn leaves
  // about 1.1e-6 of cosine.
  EXPECT_NEAR(m[0], 0.0f, 2e-6f);

  float before[16];
  for (int i = 0; i < 16; ++i) {
    m[i] = static_cast<float>(i) * 0.5f;
    before[i] = m[i];
  }
  RotateMatrix4x4(m, 30.0f, 3);
  EXPECT_EQ(0, std::memcmp(m, before, sizeof(m)));
  RotateMatrix4x4(m, 30.0f, -1);
  EXPECT_EQ(0, std::memcmp(m, before, sizeof(m)));
}

TEST(MatrixExactCases, TranslateOfIdentityHoldsExactOffsets) {
  float m[16];
  LoadIdentityMatrix4x4(m);
  TranslateMatrix4x4(m, 12.5f, -3.25f, 1e6f);
  EXPECT_EQ(m[12], 12.5f);
  EXPECT_EQ(m[13], -3.25f);
  EXPECT_EQ(m[14], 1e6f);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(m[i], MyIdentityMatrix[i]) << i;
  }
  EXPECT_EQ(m[15], 1.0f);
}

TEST(MatrixExactCases, IdentityOnEitherSideOfAProduct) {
  std::mt19937 random(7u);
  const Matrix a = RandomMatrix(random);
  Matrix result;
  MultMatrix4x4(result.data(), GetIdentityMatrix4x4(), a.data());
  EXPECT_EQ(result, a);
  MultMatrix4x4(result.data(), a.data(), GetIdentityMatrix4x4());
  EXPECT_EQ(result, a);
}

TEST(MatrixExactCases, CopyTakesTheSourceFirst) {
  std::mt19937 random(9u);
  const Matrix source = RandomMatrix(random);
  Matrix destination{};
  CopyMatrix4x4(source.data(), destination.data());
  EXPECT_EQ(destination, source);
}

TEST(MatrixExactCases, LoadIdentityReturnsItsArgument) {
  float m[16] = {};
  EXPECT_EQ(LoadIdentityMatrix4x4(m), m);
  EXPECT_EQ(0, std::memcmp(m, MyIdentityMatrix, sizeof(m)));
  EXPECT_EQ(GetIdentityMatrix4x4(), MyIdentityMatrix);
}

TEST(MatrixExactCases, NormalizeOfZeroVectorIsNotANumber) {
  float v[3] = {0.0f, 0.0f, 0.0f};
  Normalize(v);
  EXPECT_TRUE(std::isnan(v[0]) && std::isnan(v[1]) && std::isnan(v[2]));
}

TEST(TickCount, MillisecondsOfTheWallClockModulo32Bits) {
  struct timeval before;
  gettimeofday(&before, nullptr);
  const uint32_t tick = GetTickCount();
  struct timeval after;
  gettimeofday(&after, nullptr);
  const uint32_t low = static_cast<uint32_t>(before.tv_sec) * 1000u +
                       static_cast<uint32_t>(before.tv_usec) / 1000u;
  const uint32_t high = static_cast<uint32_t>(after.tv_sec) * 1000u +
                        static_cast<uint32_t>(after.tv_usec) / 1000u;
  // Unsigned differences stay right across the 2^32 wrap.
  EXPECT_LE(tick - low, high - low);
}

}  // namespace
