#pragma once
// The triangle mesh of the objects drawn around the car, read from
// common/car.bin.
#include <cstdint>

class Objmodel {
 public:
  Objmodel();
  ~Objmodel();
  Objmodel(const Objmodel&) = delete;
  Objmodel& operator=(const Objmodel&) = delete;

  // Reads the mesh file at path into this object, replacing what it held.
  // A file that is missing, short, or whose counts or indices do not fit
  // leaves the mesh empty (both counts 0, both arrays null). Each array
  // read in full is logged with its count.
  void readFile(const char* path);

  int32_t vertexCount;
  int32_t faceCount;
  float* vertices;
  uint32_t* faces;

 private:
  void Clear();
};
