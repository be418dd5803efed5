// The object mesh common/car.bin: the sample car's own model, which the
// renderer draws, scaled by 0.8 and in one colour, for objects around the car.
#include "tools/lib/car_model.h"
#include "tools/lib/file_util.h"
#include "tools/lib/le_bytes.h"
#include "tools/lib/sample_common.h"

namespace tools {

std::string SerializeObjectMesh(const Mesh& mesh) {
  std::string out;
  const std::int32_t vertices = static_cast<std::int32_t>(mesh.size() * 3);
  AppendI32(&out, vertices);
  for (const Triangle& triangle : mesh) {
    for (const Vec3& v : triangle.v) {
      // The mesh's frame has y up; the renderer turns (x, y, z) into the
      // scene's (x, -z, y).
      AppendF32(&out, static_cast<float>(v.x));
      AppendF32(&out, static_cast<float>(v.z));
      AppendF32(&out, static_cast<float>(-v.y));
    }
  }
  AppendI32(&out, static_cast<std::int32_t>(mesh.size()));
  for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(vertices); ++i) {
    AppendU32(&out, i);
  }
  return out;
}

bool WriteObjectMesh(const std::string& path, CommonReport* report, std::string* error) {
  const std::string bytes = SerializeObjectMesh(car_model::BuildCar(car_model::Pose()));
  if (!WriteFileReplacing(path, bytes, error)) {
    return false;
  }
  ++report->files;
  report->bytes += bytes.size();
  return true;
}

}  // namespace tools
