#pragma once
// Watches every matrix the image library allocates in this process (the
// decoder's output, conversions, copies), while installed as its default
// allocator: the largest one asked for, and matrices of one size that are
// made to fail, as memory running out would make them.
#include <cstddef>
#include <cstdint>

class MatAllocationProbe {
 public:
  // How a refused allocation fails: the image library's own error (what it
  // throws when memory runs out), or the standard one.
  enum class Failure { kLibraryError, kBadAlloc };

  // Installs the probe; refuses (with the library's out-of-memory error)
  // every request above refuseAbove bytes, so that a test which lets
  // through a hostile size neither waits for nor gets the memory.
  explicit MatAllocationProbe(std::size_t refuseAbove);
  ~MatAllocationProbe();
  MatAllocationProbe(const MatAllocationProbe&) = delete;
  MatAllocationProbe& operator=(const MatAllocationProbe&) = delete;

  // Fails every allocation of exactly rows x cols elements of 8-bit depth
  // (any channel count), as a conversion to 8 bits of a picture of that
  // size would ask for. cols 0 stops it.
  void FailEightBit(int rows, int cols, Failure failure);

  // The largest allocation asked for since the last Reset, in bytes, and
  // how many were refused for their size or failed on purpose.
  std::size_t largest() const;
  int refused() const;
  int failed() const;
  void Reset();
};
