// The car package tools: what the writer packs, the lister reads back byte
// for byte, and a damaged or hostile package is refused before anything is
// written.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process_runner.h"
#include "tests/tools/sample_files.h"

namespace {

std::string Le32(std::int64_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) {
    out[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  }
  return out;
}

const std::string kTrailer("\x11\x22\x33\x44", 4);

// One entry exactly as given, lengths included, so that tests can lie.
std::string Entry(const std::string& name, const std::string& data, std::int64_t nameLength = -1000,
                  std::int64_t dataLength = -1000, const std::string& trailer = kTrailer) {
  return Le32(nameLength == -1000 ? static_cast<std::int64_t>(name.size()) : nameLength) + name +
         Le32(dataLength == -1000 ? static_cast<std::int64_t>(data.size()) : dataLength) + data + trailer;
}

// A package the renderer would accept as car "demo".
std::string GoodCar() {
  return Entry("demo\\params.bin", std::string(7136, 'p')) +
         Entry("demo\\tires\\right_30\\f5.kes", std::string(1200, 'm'));
}

ProgramResult List(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {CAR_LIST_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProgram(argv);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(CarPackage, TheSampleCarComesBackFileForFile) {
  TempDir temp;
  const ProgramResult pack = RunProgram({CAR_PACK_PATH, SampleCarDir(), temp / "demo.car"});
  ASSERT_EQ(pack.exitStatus, 0) << pack.standardError;
  EXPECT_TRUE(Contains(pack.standardOutput, "356 entries"));
  const ProgramResult list = List({"--extract", temp / "out", temp / "demo.car"});
  ASSERT_EQ(list.exitStatus, 0) << list.standardError;
  EXPECT_TRUE(Contains(list.standardOutput, "      7136  demo\\params.bin\n"));
  EXPECT_TRUE(Contains(list.standardOutput, "356 entries"));
  const std::vector<std::string> files = ListFiles(SampleCarDir());
  ASSERT_EQ(ListFiles(temp / "out/demo"), files);
  for (const std::string& name : files) {
    ASSERT_EQ(ReadFile(temp / ("out/demo/" + name)), ReadFile(SampleCarDir() + "/" + name)) << name;
  }
  // The build's own package is the same.
  EXPECT_EQ(ReadFile(temp / "demo.car"), ReadFile(SampleAssetsDir() + "/common/demo.car"));
}

TEST(CarPackage, WritesTheFormatTheUnpackerReads) {
  TempDir temp;
  ASSERT_EQ(mkdir((temp / "demo").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((temp / "demo/color").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((temp / "demo/color/a").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFile(temp / "demo/color/a/0.kes", "abc"));
  ASSERT_TRUE(WriteFile(temp / "demo/empty", ""));
  ASSERT_TRUE(WriteFile(temp / "demo/params.bin", std::string(2000, 'p')));
  // The default package is <car>.car in the current directory.
  const ProgramResult pack =
      RunProgram({"/bin/sh", "-c", "cd '" + temp.path() + "' && exec '" + std::string(CAR_PACK_PATH) + "' demo"});
  ASSERT_EQ(pack.exitStatus, 0) << pack.standardError;
  // Entries in byte order of their names, directories joined by backslashes
  // under the car's directory name, lengths little-endian, each closed by the
  // trailer.
  const std::string expected = Entry("demo\\color\\a\\0.kes", "abc") + Entry("demo\\empty", "") +
                               Entry("demo\\params.bin", std::string(2000, 'p'));
  EXPECT_EQ(ReadFile(temp / "demo.car"), expected);
  EXPECT_EQ(expected.substr(0, 4), std::string("\x12\0\0\0", 4));
}

TEST(CarPackage, WriterRefusesWhatAPackageCannotCarry) {
  TempDir temp;
  ASSERT_EQ(mkdir((temp / "demo").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFile(temp / "demo/params.bin", std::string(1048572, 'x')));
  EXPECT_EQ(RunProgram({CAR_PACK_PATH, temp / "demo", temp / "demo.car"}).exitStatus, 0) << "the largest entry";

  ASSERT_TRUE(WriteFile(temp / "demo/big.kes", std::string(1048573, 'x')));
  const ProgramResult big = RunProgram({CAR_PACK_PATH, temp / "demo", temp / "out/demo.car"});
  EXPECT_EQ(big.exitStatus, 3);
  EXPECT_TRUE(Contains(big.standardError, "big.kes")) << big.standardError;
  EXPECT_TRUE(Contains(big.standardError, "1048572")) << big.standardError;
  EXPECT_FALSE(FileExists(temp / "out/demo.car"));
  ASSERT_EQ(unlink((temp / "demo/big.kes").c_str()), 0);

  // A package the renderer would unpack under another car's name.
  for (const char* name : {"demo.c", "other.car", "demo.cars", "demo"}) {
    const ProgramResult misnamed = RunProgram({CAR_PACK_PATH, temp / "demo", temp / name});
    EXPECT_EQ(misnamed.exitStatus, 3) << name;
    EXPECT_FALSE(FileExists(temp / name) && std::string(name) != "demo") << name;
  }
  EXPECT_EQ(RunProgram({CAR_PACK_PATH, temp / "demo", temp / "demo.zip"}).exitStatus, 0)
      << "any four-character extension";

  // Names a package cannot carry, and files that are not plain files.
  for (const char* bad : {"back\\slash", "new\nline"}) {
    ASSERT_TRUE(WriteFile(temp / ("demo/" + std::string(bad)), "x"));
    const ProgramResult refused = RunProgram({CAR_PACK_PATH, temp / "demo", temp / "bad/demo.car"});
    EXPECT_EQ(refused.exitStatus, 3) << bad;
    ASSERT_EQ(unlink((temp / ("demo/" + std::string(bad))).c_str()), 0);
  }
  ASSERT_EQ(symlink("/etc/passwd", (temp / "demo/link.kes").c_str()), 0);
  const ProgramResult link = RunProgram({CAR_PACK_PATH, temp / "demo", temp / "demo.car"});
  EXPECT_EQ(link.exitStatus, 3);
  EXPECT_TRUE(Contains(link.standardError, "symbolic link"));
  ASSERT_EQ(unlink((temp / "demo/link.kes").c_str()), 0);

  EXPECT_EQ(RunProgram({CAR_PACK_PATH, temp / "missing", temp / "missing.car"}).exitStatus, 2);
  EXPECT_EQ(RunProgram({CAR_PACK_PATH}).exitStatus, 1);
  EXPECT_EQ(RunProgram({CAR_PACK_PATH, "--fast", temp / "demo"}).exitStatus, 1);
  EXPECT_EQ(RunProgram({CAR_PACK_PATH, "a", "b", "c"}).exitStatus, 1);
  const ProgramResult help = RunProgram({CAR_PACK_PATH, "--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_TRUE(Contains(help.standardOutput, "Exit status"));
}

TEST(CarPackage, ListerRefusesDamagedAndHostilePackagesAndExtractsNothing) {
  const std::string good = Entry("demo\\params.bin", std::string(2000, 'p'));
  const struct {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"name too long", Entry(std::string(257, 'n'), "x"), "name length 257"},
      {"data without a name", Entry("", "x"), "names no file (an empty name) but carries 1 bytes"},
      {"negative name length", Le32(-1), "name length -1"},
      {"negative data length", Entry("demo\\x", "", -1000, -5), "data length -5"},
      {"data too long", Entry("demo\\x", "", -1000, 1048573), "data length 1048573"},
      {"cut in the data", Entry("demo\\x", "abc", -1000, 10).substr(0, 4 + 6 + 4 + 3), "truncated inside the data"},
      {"cut in the trailer", Entry("demo\\x", "abc").substr(0, 4 + 6 + 4 + 3 + 2), "truncated inside the trailer"},
      {"cut in a length", std::string("\x06\0", 2), "truncated inside the name length"},
      {"wrong trailer", Entry("demo\\x", "abc", -1000, -1000, "\x11\x22\x33\x45"), "trailer"},
      {"parent directory", Entry("demo\\..\\..\\evil", "x"), "'..' component"},
      {"current directory", Entry("demo\\.\\x", "x"), "'.' component"},
      {"parent directory behind a separator", Entry("\\..\\evil", "x"), "'..' component"},
      {"doubled separator", Entry("demo\\\\x", "x"), "empty component"},
      {"directory entry with data", Entry("demo\\", "x"), "names no file (a directory) but carries 1 bytes"},
      {"doubled separator in a directory entry", Entry("demo\\\\", ""), "empty component"},
      {"forward slash", Entry("demo/../x", "x"), "'/'"},
      {"zero byte", Entry(std::string("demo\\a\0b", 8), "x"), "control character"},
      {"the same name twice", Entry("demo\\x", "1") + Entry("demo\\x", "2"), "twice"},
      {"the same file behind a separator", Entry("demo\\x", "1") + Entry("/demo\\x", "2"), "twice"},
      {"a file and a directory", Entry("demo\\a", "1") + Entry("demo\\a\\b", "2"), "both a file and the directory"},
      {"a file and a directory entry", Entry("demo\\a", "1") + Entry("demo\\a\\", ""),
       "both a file and the directory"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    TempDir temp;
    // A good entry first: it must not be written either.
    ASSERT_TRUE(WriteFile(temp / "demo.car", good + test.bytes));
    const ProgramResult list = List({"--extract", temp / "out", temp / "demo.car"});
    EXPECT_EQ(list.exitStatus, 3);
    EXPECT_TRUE(Contains(list.standardError, test.message)) << list.standardError;
    EXPECT_FALSE(FileExists(temp / "out")) << "nothing is extracted from a refused package";
  }
}

// Packers write directory entries before the files under them, names with a
// separator in front and entries without a name; the renderer unpacks them
// (directories made, separators in front ignored, nothing written), and so
// does the lister.
TEST(CarPackage, ListerTakesDirectoryEntriesLeadingSeparatorsAndEmptyNamesAsTheRendererDoes) {
  TempDir temp;
  ASSERT_TRUE(WriteFile(temp / "demo.car", Entry("", "") + Entry("demo\\", "") + Entry("demo\\empty\\", "") +
                                               Entry("\\demo\\params.bin", std::string(7136, 'p')) +
                                               Entry("/demo\\tires\\", "") +
                                               Entry("\\/demo\\tires\\right_30\\f5.kes", std::string(1200, 'm'))));
  const ProgramResult list = List({"--extract", temp / "out", temp / "demo.car"});
  ASSERT_EQ(list.exitStatus, 0) << list.standardError;
  EXPECT_TRUE(Contains(list.standardOutput, "6 entries, 8336 data bytes, car 'demo'")) << list.standardOutput;
  EXPECT_EQ(ListFiles(temp / "out"), (std::vector<std::string>{"demo/params.bin", "demo/tires/right_30/f5.kes"}));
  struct stat info {};
  EXPECT_EQ(stat((temp / "out/demo/empty").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode)) << "a directory entry makes its directory";
}

TEST(CarPackage, ListerChecksThatThePackageIsAUsableCar) {
  const struct {
    const char* what;
    const char* file;
    std::string bytes;
    int status;
    const char* message;
  } cases[] = {
      {"good", "demo.car", GoodCar(), 0, "2 entries, 8336 data bytes, car 'demo'"},
      {"empty", "demo.car", "", 4, "no params.bin"},
      {"another car's name", "other.car", GoodCar(), 4, "does not lie in the car's directory 'other\\'"},
      {"an entry outside the car", "demo.car", GoodCar() + Entry("elsewhere\\x", "x"), 4, "does not lie"},
      {"an entry outside any directory", "demo.car", Entry("demo", "x"), 4, "does not lie"},
      {"params of 1024 bytes", "demo.car",
       Entry("demo\\params.bin", std::string(1024, 'p')) + Entry("demo\\tires\\right_30\\f5.kes", std::string(1200, 'm')),
       4, "larger than 1024"},
      {"marker of 512 bytes", "demo.car",
       Entry("demo\\params.bin", std::string(7136, 'p')) + Entry("demo\\tires\\right_30\\f5.kes", std::string(512, 'm')),
       4, "larger than 512"},
      {"small marker", "demo.car",
       Entry("demo\\params.bin", std::string(7136, 'p')) + Entry("demo\\tires\\right_30\\f5.kes", std::string(600, 'm')),
       0, "under 1000"},
      {"name too short for a car", ".car", GoodCar(), 4, "too short to name a car"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    TempDir temp;
    ASSERT_TRUE(WriteFile(temp / test.file, test.bytes));
    const ProgramResult list = List({"--extract", temp / "out", temp / test.file});
    EXPECT_EQ(list.exitStatus, test.status) << list.standardError;
    EXPECT_TRUE(Contains(list.standardOutput + list.standardError, test.message))
        << list.standardOutput << list.standardError;
    EXPECT_EQ(FileExists(temp / "out/demo/params.bin"), test.status == 0);
  }
}

TEST(CarPackage, ExtractionNeverFollowsALinkOutOfTheDestination) {
  TempDir temp;
  TempDir elsewhere;
  ASSERT_TRUE(WriteFile(temp / "demo.car", GoodCar()));
  ASSERT_EQ(mkdir((temp / "out").c_str(), 0755), 0);
  ASSERT_EQ(symlink(elsewhere.path().c_str(), (temp / "out/demo").c_str()), 0);
  const ProgramResult list = List({"--quiet", "--extract", temp / "out", temp / "demo.car"});
  EXPECT_EQ(list.exitStatus, 2);
  EXPECT_TRUE(ListFiles(elsewhere.path()).empty());
  EXPECT_FALSE(Contains(list.standardOutput, "params.bin")) << "--quiet lists no entries";
}

TEST(CarPackage, ListerArguments) {
  EXPECT_EQ(List({}).exitStatus, 1);
  EXPECT_EQ(List({"--extract"}).exitStatus, 1);
  EXPECT_EQ(List({"a.car", "b.car"}).exitStatus, 1);
  EXPECT_EQ(List({"--verbose", "a.car"}).exitStatus, 1);
  EXPECT_EQ(List({"/nonexistent/demo.car"}).exitStatus, 2);
  EXPECT_EQ(List({"/tmp"}).exitStatus, 2) << "a directory is no package";
  EXPECT_EQ(List({"/dev/zero"}).exitStatus, 2) << "nor is a device";
  const ProgramResult help = List({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_TRUE(Contains(help.standardOutput, "Exit status"));
}
