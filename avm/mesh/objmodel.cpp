#include "avm/mesh/objmodel.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "avm/common/avm_log.h"
#include "avm/common/regular_file.h"

namespace {

constexpr int64_t kCountBytes = 4;
constexpr int64_t kVertexBytes = 12;    // x, y, z as 32-bit floats
constexpr int64_t kTriangleBytes = 12;  // three 32-bit indices

// The file's length, or -1 when it cannot be told. Counts are checked
// against it before anything is allocated, so a damaged count can never
// ask for more memory than the file could fill.
int64_t FileLength(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) {
    return -1;
  }
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    return -1;
  }
  return static_cast<int64_t>(end);
}

bool ReadCount(FILE* file, int32_t* count) {
  unsigned char bytes[kCountBytes];
  if (std::fread(bytes, 1, sizeof(bytes), file) != sizeof(bytes)) {
    return false;
  }
  // Little-endian as the device writes it, whatever the host's order.
  const uint32_t value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                         (static_cast<uint32_t>(bytes[2]) << 16) |
                         (static_cast<uint32_t>(bytes[3]) << 24);
  std::memcpy(count, &value, sizeof(*count));
  return true;
}

// A count is acceptable when it is not negative and its records fit into
// the bytes of the file that remain after offset.
bool CountFits(int32_t count, int64_t recordBytes, int64_t offset, int64_t fileLength) {
  return count >= 0 && static_cast<int64_t>(count) * recordBytes <= fileLength - offset;
}

// Reads count records of three 32-bit values of the device's order into
// *array (null for none); false when memory runs out or the file holds fewer.
template <typename T>
bool ReadArray(FILE* file, int32_t count, T** array) {
  *array = nullptr;
  const std::size_t values = static_cast<std::size_t>(count) * 3;
  if (values == 0) {
    return true;
  }
  T* read = new (std::nothrow) T[values];
  if (read == nullptr) {
    return false;
  }
  if (std::fread(read, sizeof(T), values, file) != values) {
    delete[] read;
    return false;
  }
  *array = read;
  return true;
}

}  // namespace

Objmodel::Objmodel() : vertexCount(0), faceCount(0), vertices(nullptr), faces(nullptr) {}

Objmodel::~Objmodel() {
  delete[] vertices;
  delete[] faces;
}

void Objmodel::Clear() {
  delete[] vertices;
  delete[] faces;
  vertices = nullptr;
  faces = nullptr;
  vertexCount = 0;
  faceCount = 0;
}

void Objmodel::readFile(const char* path) {
  Clear();
  if (path == nullptr) {
    return;
  }
  FILE* file = OpenRegularFile(path);
  if (file == nullptr) {
    return;
  }
  const int64_t fileLength = FileLength(file);
  int32_t vertexTotal = 0;
  if (fileLength < 0 || !ReadCount(file, &vertexTotal) ||
      !CountFits(vertexTotal, kVertexBytes, kCountBytes, fileLength)) {
    std::fclose(file);
    return;
  }
  float* vertexArray = nullptr;
  if (!ReadArray(file, vertexTotal, &vertexArray)) {
    std::fclose(file);
    return;
  }
  AVM_LOGI("-------------objRead,vertexArray,%d", static_cast<int>(vertexTotal));

  const int64_t facesOffset = kCountBytes + kVertexBytes * vertexTotal + kCountBytes;
  int32_t faceTotal = 0;
  uint32_t* faceArray = nullptr;
  const bool facesRead = ReadCount(file, &faceTotal) &&
                         CountFits(faceTotal, kTriangleBytes, facesOffset, fileLength) &&
                         ReadArray(file, faceTotal, &faceArray);
  std::fclose(file);
  if (!facesRead) {
    delete[] vertexArray;
    return;
  }
  // The drawer hands the indices straight to GL: one that names no vertex
  // would make it read past the vertex array, so such a mesh is refused.
  const std::size_t corners = static_cast<std::size_t>(faceTotal) * 3;
  for (std::size_t corner = 0; corner < corners; ++corner) {
    if (faceArray[corner] >= static_cast<uint32_t>(vertexTotal)) {
      AVM_LOGI("---------objRead:index %u of corner %u past %d vertices, mesh refused",
               static_cast<unsigned>(faceArray[corner]), static_cast<unsigned>(corner),
               static_cast<int>(vertexTotal));
      delete[] vertexArray;
      delete[] faceArray;
      return;
    }
  }
  AVM_LOGI("-------------objRead,faceArray,%d", static_cast<int>(faceTotal));
  vertices = vertexArray;
  faces = faceArray;
  vertexCount = vertexTotal;
  faceCount = faceTotal;
}
