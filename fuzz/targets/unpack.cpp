// UnpackFiles over arbitrary package bytes. The destination sits two
// folders deep in the scratch folder, so an entry that climbs out of it
// (a ".." component, a separator the checks miss) lands in a folder this
// harness looks at afterwards.
#include <sys/stat.h>

#include <string>

#include "avm/bridge/car_package.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"

FUZZ_TARGET(unpack) {
  const std::string& root = fuzz::ScratchDirectory();
  const std::string work = root + "unpack/";
  const std::string package = work + "package.car";
  const std::string destination = work + "area/dest/";
  fuzz::RemoveTree(work);
  if (!fuzz::MakeDirectories(destination) || !fuzz::WriteWholeFile(package, data, size)) {
    fuzz::Fail("unpack", "cannot prepare the scratch folder");
  }
  const int result = UnpackFiles(package.c_str(), destination.c_str());
  if (result != kUnpackDone && result != kUnpackCannotOpen && result != kUnpackDamaged) {
    fuzz::Fail("unpack", "result outside 1, -2, -4");
  }
  if (result == kUnpackCannotOpen) {
    fuzz::Fail("unpack", "a plain package file was not opened");
  }
  for (const std::string& path : fuzz::ListTree(work)) {
    if (path != "package.car" && path != "area" && path != "area/dest" &&
        path.compare(0, 10, "area/dest/") != 0) {
      fuzz::Fail("unpack", ("wrote outside the destination: " + path).c_str());
    }
    // (An entry may itself take such a name; the fuzzer does not make one.)
    if (path.find(kUnpackPartPrefix) != std::string::npos) {
      fuzz::Fail("unpack", ("a temporary file was left behind: " + path).c_str());
    }
  }
  struct stat info;
  if (stat(package.c_str(), &info) != 0 || static_cast<std::size_t>(info.st_size) != size) {
    fuzz::Fail("unpack", "the package itself changed");
  }
  return 0;
}
