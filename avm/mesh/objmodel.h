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

  // Reads the mesh file at path into this object.
  void readFile(const char* path);

  int32_t vertexCount;
  int32_t faceCount;
  float* vertices;
  uint32_t* faces;
};
