// The object mesh reader over arbitrary car.bin bytes: a filled mesh holds
// exactly the arrays its counts say. Corners that name no vertex are the
// drawer's to refuse (it checks them before handing the index array to
// GL), so they are only read here.
#include <string>

#include "avm/mesh/objmodel.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"

FUZZ_TARGET(mesh) {
  static const std::string path = fuzz::ScratchDirectory() + "car.bin";
  if (!fuzz::WriteWholeFile(path, data, size)) {
    fuzz::Fail("mesh", "cannot write car.bin");
  }
  Objmodel model;
  model.readFile(path.c_str());
  if (model.vertexCount < 0 || model.faceCount < 0) {
    fuzz::Fail("mesh", "negative count");
  }
  if ((model.vertexCount > 0 && model.vertices == nullptr) ||
      (model.faceCount > 0 && model.faces == nullptr)) {
    fuzz::Fail("mesh", "count without its array");
  }
  // Reading every value makes AddressSanitizer check the arrays' lengths.
  volatile float sum = 0.0f;
  for (int64_t i = 0; i < int64_t{3} * model.vertexCount; ++i) {
    sum = sum + model.vertices[i];
  }
  for (int64_t i = 0; i < int64_t{3} * model.faceCount; ++i) {
    sum = sum + static_cast<float>(model.faces[i]);
  }
  return 0;
}
