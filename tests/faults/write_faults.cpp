#include "tests/faults/write_faults.h"

#include <dlfcn.h>

namespace faults {

namespace {

template <typename Function>
Function Find(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

bool Available() { return Find<void (*)(const char*, int, int)>("avm_faults_arm") != nullptr; }

void Arm(const std::string& prefix, int nth, int error) {
  if (auto arm = Find<void (*)(const char*, int, int)>("avm_faults_arm")) {
    arm(prefix.c_str(), nth, error);
  }
}

int Disarm() {
  auto disarm = Find<int (*)()>("avm_faults_disarm");
  return disarm != nullptr ? disarm() : -1;
}

bool Fired() {
  auto fired = Find<int (*)()>("avm_faults_fired");
  return fired != nullptr && fired() == 1;
}

}  // namespace faults
