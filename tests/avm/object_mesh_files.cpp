#include "tests/avm/object_mesh_files.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void AppendInt(std::string* bytes, uint32_t value) {
  for (int b = 0; b < 4; ++b) {
    bytes->push_back(static_cast<char>((value >> (8 * b)) & 0xFFu));
  }
}

void AppendFloat(std::string* bytes, float value) {
  char raw[4];
  std::memcpy(raw, &value, 4);
  bytes->append(raw, 4);
}

// column-major m times v.
void Transform(const float* m, const float* v, float* out) {
  for (int r = 0; r < 4; ++r) {
    out[r] = 0.0f;
    for (int c = 0; c < 4; ++c) {
      out[r] += m[c * 4 + r] * v[c];
    }
  }
}

}  // namespace

std::string SquareMeshBytes(float halfX, float halfZ) {
  std::string bytes;
  AppendInt(&bytes, 4);
  const float corners[4][2] = {{-halfX, -halfZ}, {halfX, -halfZ}, {-halfX, halfZ}, {halfX, halfZ}};
  for (const auto& corner : corners) {
    AppendFloat(&bytes, corner[0]);
    AppendFloat(&bytes, 0.0f);
    AppendFloat(&bytes, corner[1]);
  }
  AppendInt(&bytes, 2);
  for (uint32_t index : {0u, 1u, 2u, 1u, 3u, 2u}) {
    AppendInt(&bytes, index);
  }
  return bytes;
}

ScreenPoint ProjectToScreen(const float* view, const float* proj, const float* viewport,
                            int screenHeight, float sx, float sy, float sz) {
  const float point[4] = {sx, sy, sz, 1.0f};
  float eye[4];
  float clip[4];
  Transform(view, point, eye);
  Transform(proj, eye, clip);
  const float ndcX = clip[0] / clip[3];
  const float ndcY = clip[1] / clip[3];
  const float windowX = viewport[0] + (ndcX + 1.0f) * 0.5f * viewport[2];
  const float windowY = viewport[1] + (ndcY + 1.0f) * 0.5f * viewport[3];
  return ScreenPoint{static_cast<int>(std::floor(windowX)),
                     screenHeight - 1 - static_cast<int>(std::floor(windowY))};
}
