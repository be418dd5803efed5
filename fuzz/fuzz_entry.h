#pragma once
// One harness source serves two builds:
//   - the fuzz tree (clang, libFuzzer): FUZZ_TARGET defines
//     LLVMFuzzerTestOneInput, one program per target;
//   - the normal test trees (AVM_FUZZ_REPLAY): FUZZ_TARGET defines a plain
//     function and registers it under its name, so one replay program runs
//     every harness over the inputs kept in fuzz/regressions/<name>/.
#include <cstddef>
#include <cstdint>

namespace fuzz {

using TargetFunction = int (*)(const uint8_t* data, std::size_t size);

// Registration for the replay program; returns a value only so that it can
// initialise a static.
int RegisterTarget(const char* name, TargetFunction function);

}  // namespace fuzz

#ifdef AVM_FUZZ_REPLAY
#define FUZZ_TARGET(name)                                                              \
  static int FuzzTarget_##name(const uint8_t* data, std::size_t size);                 \
  static const int kRegistered_##name = fuzz::RegisterTarget(#name, FuzzTarget_##name); \
  static int FuzzTarget_##name(const uint8_t* data, std::size_t size)
#else
#define FUZZ_TARGET(name) \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
#endif
