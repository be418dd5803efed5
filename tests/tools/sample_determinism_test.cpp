// The generator gives the same bytes on every run: a fresh run matches the
// tree the build made, file for file, and packing it gives the same package.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process_runner.h"
#include "tests/tools/sample_files.h"

TEST(SampleDeterminism, ASecondRunWritesTheSameBytes) {
  TempDir temp;
  const ProgramResult run =
      RunProgram({SAMPLE_GEN_PATH, "--assets", temp / "assets", "--car", temp / "car/demo"});
  ASSERT_EQ(run.exitStatus, 0) << run.standardError;

  const std::vector<std::string> car = ListFiles(temp / "car/demo");
  ASSERT_EQ(car, ListFiles(SampleCarDir()));
  for (const std::string& name : car) {
    ASSERT_EQ(ReadFile(temp / ("car/demo/" + name)), ReadFile(SampleCarDir() + "/" + name)) << name;
  }
  std::vector<std::string> common = ListFiles(temp / "assets/common");
  std::vector<std::string> built = ListFiles(SampleAssetsDir() + "/common");
  built.erase(std::remove(built.begin(), built.end(), "demo.car"), built.end());
  ASSERT_EQ(common, built);
  for (const std::string& name : common) {
    ASSERT_EQ(ReadFile(temp / ("assets/common/" + name)), ReadFile(SampleAssetsDir() + "/common/" + name)) << name;
  }

  const ProgramResult pack = RunProgram({CAR_PACK_PATH, temp / "car/demo", temp / "demo.car"});
  ASSERT_EQ(pack.exitStatus, 0) << pack.standardError;
  EXPECT_EQ(ReadFile(temp / "demo.car"), ReadFile(SampleAssetsDir() + "/common/demo.car"));
}

TEST(SampleDeterminism, RefusesBadArguments) {
  const ProgramResult none = RunProgram({SAMPLE_GEN_PATH});
  EXPECT_EQ(none.exitStatus, 1);
  EXPECT_NE(none.standardError.find("usage: avm-sample-gen"), std::string::npos);
  EXPECT_EQ(RunProgram({SAMPLE_GEN_PATH, "--car"}).exitStatus, 1);
  EXPECT_EQ(RunProgram({SAMPLE_GEN_PATH, "--colour", "red"}).exitStatus, 1);
  const ProgramResult help = RunProgram({SAMPLE_GEN_PATH, "--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.standardOutput.find("Exit status"), std::string::npos);
  // A car directory that cannot be created (a file stands in the way).
  TempDir temp;
  ASSERT_TRUE(WriteFile(temp / "blocked", "x"));
  const ProgramResult blocked = RunProgram({SAMPLE_GEN_PATH, "--car", temp / "blocked/demo"});
  EXPECT_EQ(blocked.exitStatus, 2);
  EXPECT_NE(blocked.standardError.find("blocked"), std::string::npos);
}
