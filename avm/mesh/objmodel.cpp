#include "avm/mesh/objmodel.h"

Objmodel::Objmodel() : vertexCount(0), faceCount(0), vertices(nullptr), faces(nullptr) {}

Objmodel::~Objmodel() {
  delete[] vertices;
  delete[] faces;
}

// The mesh is not read yet: the object stays empty.
void Objmodel::readFile(const char*) {}
