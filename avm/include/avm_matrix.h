#pragma once
// The renderer's matrix and vector helpers, for an app that draws with the
// renderer's matrices (the guide lines, the radar). Matrices are 16 floats
// in the column-major order that glUniformMatrix4fv takes untransposed;
// vectors are 3 floats; angles are in degrees.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

extern const float MyIdentityMatrix[16];

const float* GetIdentityMatrix4x4(void);
// Milliseconds of the wall clock, wrapping modulo 2^32; 0 when the clock
// cannot be read.
uint32_t GetTickCount(void);
// result = b * a in column-vector terms. result is written element by
// element in index order without a temporary, so it must never be a, and
// may be b only when no group of four elements result[4r..4r+3] reads a
// group of b already overwritten with other values: that holds when
// a[4r + k] == 0 for every k < r (a diagonal scale matrix), or when a[0..11]
// are those of the identity (a translation: the first three groups come
// out unchanged). For any other a (a rotation, a general product) 12 of the
// 16 elements come out wrong: pass a separate result.
void MultMatrix4x4(float* result, const float* a, const float* b);
// Note the order: the source comes first.
void CopyMatrix4x4(const float* source, float* destination);
// Overwrites m with a perspective projection; fovy in degrees.
void PerspectiveMatrix4x4(float* m, float fovy, float aspect, float nearZ, float farZ);
float* LoadIdentityMatrix4x4(float* m);
// m = m * T, m = m * S, m = m * R in column-vector terms.
void TranslateMatrix4x4(float* m, float tx, float ty, float tz);
void ScaleMatrix4x4(float* m, float sx, float sy, float sz);
// axis 0 = X, 1 = Y, 2 = Z; any other axis leaves m unchanged.
void RotateMatrix4x4(float* m, float angle, int axis);
void CrossProduct(float* out, const float* a, const float* b);
// Divides by the length; a zero vector gives not-a-number components.
void Normalize(float* v);
// Right-handed viewing matrix from eye towards center.
void LookAt(float* m, float eyeX, float eyeY, float eyeZ, float centerX, float centerY,
            float centerZ, float upX, float upY, float upZ);

#ifdef __cplusplus
}  // extern "C"
#endif
