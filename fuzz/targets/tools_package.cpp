// The package lister of the tools: reads every entry with its checks and,
// when the whole package passes, extracts it into the scratch folder. Like
// the renderer's unpacker, nothing may land outside the destination.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"
#include "tools/lib/car_package.h"
#include "tools/lib/package_extract.h"

FUZZ_TARGET(tools_package) {
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (size == 0 || file == nullptr) {
    if (file != nullptr) {
      std::fclose(file);
    }
    return 0;
  }
  tools::PackageReader reader(file);
  std::vector<tools::PackageEntry> entries;
  std::string error;
  tools::PackageReader::Step step;
  for (;;) {
    tools::PackageEntry entry;
    step = reader.Next(&entry, &error);
    if (step != tools::PackageReader::Step::kEntry) {
      break;
    }
    if (!tools::CheckStoredEntry(entry.name, entry.data.size()).empty()) {
      fuzz::Fail("tools_package", "the reader passed a name its own check refuses");
    }
    entries.push_back(std::move(entry));
  }
  std::fclose(file);
  if (step != tools::PackageReader::Step::kEnd) {
    return 0;
  }
  std::vector<std::string> names;
  for (const tools::PackageEntry& entry : entries) {
    names.push_back(entry.name);
  }
  if (!tools::CheckEntrySet(names, &error)) {
    return 0;
  }
  const std::string work = fuzz::ScratchDirectory() + "extract/";
  fuzz::RemoveTree(work);
  fuzz::MakeDirectories(work);
  {
    tools::ExtractDestination destination;
    if (!destination.Open(work + "dest", &error)) {
      fuzz::Fail("tools_package", "cannot open the destination");
    }
    for (const tools::PackageEntry& entry : entries) {
      if (!destination.Write(entry.name, entry.data, &error)) {
        fuzz::Fail("tools_package", ("a checked package did not extract: " + error).c_str());
      }
    }
  }
  for (const std::string& path : fuzz::ListTree(work)) {
    if (path != "dest" && path.compare(0, 5, "dest/") != 0) {
      fuzz::Fail("tools_package", "wrote outside the destination");
    }
  }
  return 0;
}
