// The object mesh read from its binary file: well-formed meshes, and
// damaged ones that must leave an empty mesh without reading or allocating
// beyond what the file holds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "avm/mesh/objmodel.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

// The largest array the code under test asked for while watched: the
// nothrow array form is what the reader allocates with.
namespace {
bool gWatchAllocations = false;
std::size_t gLargestAllocation = 0;
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (gWatchAllocations && size > gLargestAllocation) {
    gLargestAllocation = size;
  }
  return std::malloc(size == 0 ? 1 : size);
}
// Every array form goes to malloc and free, so that the sanitizers see
// matching pairs.
void* operator new[](std::size_t size) {
  void* pointer = std::malloc(size == 0 ? 1 : size);
  if (pointer == nullptr) {
    throw std::bad_alloc();
  }
  return pointer;
}
void operator delete[](void* pointer) noexcept { std::free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { std::free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { std::free(pointer); }

namespace {

const char kTag[] = "KESTRA";

struct MeshBytes {
  std::string bytes;
  MeshBytes& Int32(int32_t value) {
    for (int b = 0; b < 4; ++b) {
      bytes.push_back(static_cast<char>((static_cast<uint32_t>(value) >> (8 * b)) & 0xFFu));
    }
    return *this;
  }
  MeshBytes& Floats(const std::vector<float>& values) {
    for (float value : values) {
      char raw[4];
      std::memcpy(raw, &value, 4);
      bytes.append(raw, 4);
    }
    return *this;
  }
};

// One triangle: V = 3, the vertices, F = 1, the triangle 0, 1, 2.
MeshBytes OneTriangle() {
  MeshBytes mesh;
  mesh.Int32(3).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0.5f}).Int32(1).Int32(0).Int32(1).Int32(2);
  return mesh;
}

class MeshReader : public ::testing::Test {
 protected:
  void SetUp() override { gLargestAllocation = 0; }

  // Reads bytes as a mesh file and records what was allocated and logged.
  void Read(const std::string& bytes) {
    const std::string path = dir_ / "car.bin";
    ASSERT_TRUE(WriteFile(path, bytes));
    fileSize_ = bytes.size();
    gLargestAllocation = 0;
    gWatchAllocations = true;
    model_.readFile(path.c_str());
    gWatchAllocations = false;
  }

  void ExpectEmpty() {
    EXPECT_EQ(model_.vertexCount, 0);
    EXPECT_EQ(model_.faceCount, 0);
    EXPECT_EQ(model_.vertices, nullptr);
    EXPECT_EQ(model_.faces, nullptr);
    EXPECT_LE(gLargestAllocation, fileSize_);
  }

  TempDir dir_;
  Objmodel model_;
  LogCapture log_;
  std::size_t fileSize_ = 0;
};

TEST_F(MeshReader, OneTriangleGivesBothCountsTheArraysAndBothLines) {
  Read(OneTriangle().bytes);
  ASSERT_EQ(model_.vertexCount, 3);
  ASSERT_EQ(model_.faceCount, 1);
  ASSERT_NE(model_.vertices, nullptr);
  ASSERT_NE(model_.faces, nullptr);
  EXPECT_FLOAT_EQ(model_.vertices[3], 1.0f);
  EXPECT_FLOAT_EQ(model_.vertices[8], 0.5f);
  EXPECT_EQ(model_.faces[0], 0u);
  EXPECT_EQ(model_.faces[2], 2u);
  EXPECT_EQ(log_.Count(kTag, "-------------objRead,vertexArray,3"), 1);
  EXPECT_EQ(log_.Count(kTag, "-------------objRead,faceArray,1"), 1);
}

TEST_F(MeshReader, EmptyMeshLogsBothLinesWithZero) {
  MeshBytes mesh;
  Read(mesh.Int32(0).Int32(0).bytes);
  ExpectEmpty();
  EXPECT_EQ(log_.Count(kTag, "-------------objRead,vertexArray,0"), 1);
  EXPECT_EQ(log_.Count(kTag, "-------------objRead,faceArray,0"), 1);
}

TEST_F(MeshReader, MissingFileLeavesTheMeshEmptyWithoutALine) {
  model_.readFile((dir_ / "absent.bin").c_str());
  ExpectEmpty();
  model_.readFile(nullptr);
  ExpectEmpty();
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead"), 0);
}

// A pipe in place of the mesh is not waited on (the frame would hang under
// the scene lock until someone wrote into it): it reads as a missing file.
TEST_F(MeshReader, MeshThatIsAPipeIsNotWaitedOn) {
  const std::string path = dir_ / "car.bin";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  model_.readFile(path.c_str());
  ExpectEmpty();
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead"), 0);
}

TEST_F(MeshReader, FileCutInsideTheVerticesGivesNoMeshAndNoLine) {
  const std::string whole = OneTriangle().bytes;
  Read(whole.substr(0, 4 + 12 * 2 + 5));
  ExpectEmpty();
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead"), 0);
  // Cut inside the count itself.
  Read(whole.substr(0, 2));
  ExpectEmpty();
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead"), 0);
}

TEST_F(MeshReader, FileCutInsideTheTrianglesKeepsOnlyTheVertexLine) {
  const std::string whole = OneTriangle().bytes;
  Read(whole.substr(0, whole.size() - 3));
  ExpectEmpty();
  EXPECT_EQ(log_.Count(kTag, "-------------objRead,vertexArray,3"), 1);
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead,faceArray"), 0);
}

TEST_F(MeshReader, HostileCountsAllocateNothingBeyondTheFile) {
  MeshBytes negative;
  Read(negative.Int32(-1).Floats({1, 2, 3}).Int32(1).Int32(0).Int32(0).Int32(0).bytes);
  ExpectEmpty();
  // 12 x 0x40000000 wraps to 0 in 32 bits: it must not pass as an empty array.
  MeshBytes huge;
  Read(huge.Int32(0x40000000).Int32(0).bytes);
  ExpectEmpty();
  MeshBytes hugeFaces;
  Read(hugeFaces.Int32(1).Floats({1, 2, 3}).Int32(0x15555556).Int32(0).Int32(0).Int32(0).bytes);
  ExpectEmpty();
  MeshBytes negativeFaces;
  Read(negativeFaces.Int32(1).Floats({1, 2, 3}).Int32(-5).bytes);
  ExpectEmpty();
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead,faceArray"), 0);
}

TEST_F(MeshReader, IndexNamingNoVertexRefusesTheMesh) {
  MeshBytes mesh;
  mesh.Int32(3).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Int32(1).Int32(0).Int32(1).Int32(3);
  Read(mesh.bytes);
  ExpectEmpty();
  EXPECT_EQ(log_.CountPrefix(kTag, "-------------objRead,faceArray"), 0);
  EXPECT_EQ(log_.CountPrefix(kTag, "---------objRead:index 3"), 1);
  // The last vertex itself is a valid index.
  MeshBytes last;
  last.Int32(3).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Int32(1).Int32(2).Int32(2).Int32(2);
  Read(last.bytes);
  EXPECT_EQ(model_.faceCount, 1);
}

TEST_F(MeshReader, ADamagedFileAfterAGoodOneLeavesNothingOfTheFirst) {
  Read(OneTriangle().bytes);
  ASSERT_EQ(model_.faceCount, 1);
  MeshBytes broken;
  Read(broken.Int32(7).bytes);
  ExpectEmpty();
}

}  // namespace
