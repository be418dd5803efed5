// Replays every input kept in fuzz/regressions/<target>/ through its
// harness: each file there once made a harness fail, so each must now pass.
// A harness that fails aborts this program, with the target's message.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {

namespace {

std::map<std::string, TargetFunction>& Targets() {
  static std::map<std::string, TargetFunction> targets;
  return targets;
}

}  // namespace

int RegisterTarget(const char* name, TargetFunction function) {
  Targets()[name] = function;
  return 1;
}

}  // namespace fuzz

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return files;
  }
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') {
      files.push_back(folder + "/" + entry->d_name);
    }
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzRegressions, EveryKeptInputPassesItsHarness) {
  ASSERT_FALSE(fuzz::Targets().empty());
  int replayed = 0;
  for (const auto& [name, function] : fuzz::Targets()) {
    for (const std::string& file : FilesIn(std::string(AVM_FUZZ_REGRESSIONS) + "/" + name)) {
      std::string bytes;
      ASSERT_TRUE(fuzz::ReadWholeFile(file, &bytes)) << file;
      std::fprintf(stderr, "replaying %s\n", file.c_str());
      EXPECT_EQ(function(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0) << file;
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no regression input found below " << AVM_FUZZ_REGRESSIONS;
  fuzz::RemoveTree(fuzz::ScratchDirectory());
}

}  // namespace
