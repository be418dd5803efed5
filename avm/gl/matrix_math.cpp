#include "avm/gl/matrix_math.h"

#include <sys/time.h>

#include <cmath>
#include <cstring>

#include "avm/common/numbers.h"

extern "C" {

const float MyIdentityMatrix[16] = {
    1.0f, 0.0f, 0.0f, 0.0f,  //
    0.0f, 1.0f, 0.0f, 0.0f,  //
    0.0f, 0.0f, 1.0f, 0.0f,  //
    0.0f, 0.0f, 0.0f, 1.0f,
};

const float* GetIdentityMatrix4x4(void) { return MyIdentityMatrix; }

uint32_t GetTickCount(void) {
  struct timeval now;
  if (gettimeofday(&now, nullptr) != 0) {
    return 0;
  }
  // 32-bit arithmetic on purpose: the clock wraps, and callers only ever
  // take differences of two readings.
  const uint32_t seconds = static_cast<uint32_t>(now.tv_sec);
  const uint32_t micros = static_cast<uint32_t>(now.tv_usec);
  return seconds * 1000u + micros / 1000u;
}

void MultMatrix4x4(float* result, const float* a, const float* b) {
  // Written element by element in index order: Translate and Scale pass the
  // target as both result and b and rely on row 3 being computed last.
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      result[4 * r + c] = a[4 * r + 0] * b[c] + a[4 * r + 1] * b[4 + c] +
                          a[4 * r + 2] * b[8 + c] + a[4 * r + 3] * b[12 + c];
    }
  }
}

void CopyMatrix4x4(const float* source, float* destination) {
  std::memcpy(destination, source, 16 * sizeof(float));
}

void PerspectiveMatrix4x4(float* m, float fovy, float aspect, float nearZ, float farZ) {
  const float fovyTimesPi = fovy * static_cast<float>(kPi);
  const float f = static_cast<float>(1.0 / std::tan(static_cast<double>(fovyTimesPi) / 360.0));
  std::memset(m, 0, 16 * sizeof(float));
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (farZ + nearZ) / (nearZ - farZ);
  m[11] = -1.0f;
  m[14] = (nearZ * farZ + nearZ * farZ) / (nearZ - farZ);
}

float* LoadIdentityMatrix4x4(float* m) {
  std::memcpy(m, MyIdentityMatrix, 16 * sizeof(float));
  return m;
}

void TranslateMatrix4x4(float* m, float tx, float ty, float tz) {
  float t[16];
  LoadIdentityMatrix4x4(t);
  t[12] = tx;
  t[13] = ty;
  t[14] = tz;
  MultMatrix4x4(m, t, m);
}

void ScaleMatrix4x4(float* m, float sx, float sy, float sz) {
  float s[16];
  LoadIdentityMatrix4x4(s);
  s[0] = sx;
  s[5] = sy;
  s[10] = sz;
  MultMatrix4x4(m, s, m);
}

void RotateMatrix4x4(float* m, float angle, int axis) {
  const float radians = angle * 0.01745328f;
  const float c = std::cos(radians);
  const float s = std::sin(radians);
  float r[16];
  LoadIdentityMatrix4x4(r);
  switch (static_cast<unsigned>(axis)) {
    case 0:
      r[5] = c;
      r[6] = -s;
      r[9] = s;
      r[10] = c;
      break;
    case 1:
      r[0] = c;
      r[2] = s;
      r[8] = -s;
      r[10] = c;
      break;
    case 2:
      r[0] = c;
      r[1] = -s;
      r[4] = s;
      r[5] = c;
      break;
    default:
      return;
  }
  float product[16];
  MultMatrix4x4(product, r, m);
  CopyMatrix4x4(product, m);
}

void CrossProduct(float* out, const float* a, const float* b) {
  out[0] = a[1] * b[2] - b[1] * a[2];
  out[1] = a[2] * b[0] - b[2] * a[0];
  out[2] = a[0] * b[1] - b[0] * a[1];
}

void Normalize(float* v) {
  const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  v[0] /= length;
  v[1] /= length;
  v[2] /= length;
}

void LookAt(float* m, float eyeX, float eyeY, float eyeZ, float centerX, float centerY,
            float centerZ, float upX, float upY, float upZ) {
  std::memset(m, 0, 16 * sizeof(float));
  m[15] = 1.0f;
  float forward[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
  Normalize(forward);
  float up[3] = {upX, upY, upZ};
  Normalize(up);
  float side[3];
  CrossProduct(side, forward, up);
  Normalize(side);
  float trueUp[3];
  CrossProduct(trueUp, side, forward);
  Normalize(trueUp);
  m[0] = side[0];
  m[4] = side[1];
  m[8] = side[2];
  m[1] = trueUp[0];
  m[5] = trueUp[1];
  m[9] = trueUp[2];
  m[2] = -forward[0];
  m[6] = -forward[1];
  m[10] = -forward[2];
  TranslateMatrix4x4(m, -eyeX, -eyeY, -eyeZ);
}

}  // extern "C"
