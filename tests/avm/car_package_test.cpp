// Unpacking car packages: the entry format, directories from backslashes,
// the end of a package, and every way a damaged or hostile package is
// refused without writing outside its destination.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "avm/bridge/car_package.h"
#include "tests/avm/car_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

class Unpack : public ::testing::Test {
 protected:
  void SetUp() override {
    destination_ = dir_.path() + "/area/dest/";
    ASSERT_EQ(mkdir((dir_.path() + "/area").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(destination_.c_str(), 0755), 0);
    package_ = dir_.path() + "/area/demo.car";
  }
  int UnpackBytes(const std::string& bytes) {
    EXPECT_TRUE(WriteFile(package_, bytes));
    return UnpackFiles(package_.c_str(), destination_.c_str());
  }
  std::vector<std::string> Written() const { return ListTree(destination_); }
  // Everything in the test folder; an unpack must add files only below
  // the destination.
  std::vector<std::string> Everything() const { return ListTree(dir_.path()); }

  TempDir dir_;
  std::string destination_;
  std::string package_;
};

TEST_F(Unpack, BackslashesMakeDirectoriesAndTheEndIsReached) {
  const std::string data = "wheel pixels";
  const std::string params(2000, 'p');
  LogCapture log;
  const std::string bytes =
      PackageBuilder().Add("color\\a\\0.kes", data).Add("params.bin", params).bytes();
  EXPECT_EQ(UnpackBytes(bytes), 1);
  EXPECT_EQ(Written(),
            (std::vector<std::string>{"color", "color/a", "color/a/0.kes", "params.bin"}));
  EXPECT_EQ(ReadFile(destination_ + "color/a/0.kes"), data);
  EXPECT_EQ(ReadFile(destination_ + "params.bin"), params);
  EXPECT_TRUE(log.Contains("KESTRA", "load car:" + package_));
  EXPECT_TRUE(log.Contains("KESTRA", "load car:len:" + std::to_string(bytes.size())));
  EXPECT_TRUE(log.Contains("KESTRA", "load car,read " + package_ + " end!"));
}

TEST_F(Unpack, EmptyPackageIsCompleteAndWritesNothing) {
  EXPECT_EQ(UnpackBytes(""), 1);
  EXPECT_TRUE(Written().empty());
}

TEST_F(Unpack, ForwardSlashesMakeNoDirectories) {
  // Without the directory the file cannot be created: the unpack fails and
  // says where, instead of losing the file behind a success.
  LogCapture log;
  EXPECT_EQ(UnpackBytes(PackageBuilder().Add("tires/f0.kes", "x").bytes()), -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car,write " + destination_ + "tires/f0.kes fail"));
  ASSERT_EQ(mkdir((destination_ + "tires").c_str(), 0755), 0);
  EXPECT_EQ(UnpackBytes(PackageBuilder().Add("tires/f0.kes", "x").bytes()), 1);
  EXPECT_EQ(ReadFile(destination_ + "tires/f0.kes"), "x");
}

TEST_F(Unpack, RepeatedUnpackOverwritesAndKeepsStaleFiles) {
  ASSERT_EQ(UnpackBytes(PackageBuilder().Add("a.kes", "old and long").Add("b.kes", "b").bytes()), 1);
  ASSERT_EQ(UnpackBytes(PackageBuilder().Add("a.kes", "new").bytes()), 1);
  EXPECT_EQ(ReadFile(destination_ + "a.kes"), "new");
  EXPECT_EQ(ReadFile(destination_ + "b.kes"), "b");
}

TEST_F(Unpack, NameLengthsOutsideTheFormatAreDamage) {
  LogCapture log;
  // 257 bytes of name, and the rest of a well-formed entry behind it.
  const std::string longName(257, 'n');
  EXPECT_EQ(UnpackBytes(PackageBuilder::Int32(257) + longName + PackageBuilder::Int32(1) + "d" +
                        PackageBuilder::Trailer()),
            -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car," + package_ + " bad name length:257"));
  for (int32_t length : {-1, -257, INT32_MIN}) {
    EXPECT_EQ(UnpackBytes(PackageBuilder::Int32(length) + "abc"), -4) << length;
  }
  EXPECT_TRUE(Written().empty());
}

TEST_F(Unpack, DataLengthsOutsideTheFormatAreDamage) {
  const std::string good = PackageBuilder().Add("first.kes", "1").bytes();
  for (int32_t length : {-1, -4, INT32_MIN, kMaxPackageDataLength + 1, INT32_MAX}) {
    LogCapture log;
    EXPECT_EQ(UnpackBytes(good + PackageBuilder::Int32(5) + "x.kes" + PackageBuilder::Int32(length) +
                          std::string(64, 'd') + PackageBuilder::Trailer()),
              -4)
        << length;
    EXPECT_TRUE(log.Contains("KESTRA",
                             "load car," + package_ + " bad data length:" + std::to_string(length)));
  }
  // The entry before the bad one stays written; the bad one is not.
  EXPECT_EQ(Written(), std::vector<std::string>{"first.kes"});
}

TEST_F(Unpack, LargestEntryFillsTheBufferExactly) {
  const std::string data(static_cast<std::size_t>(kMaxPackageDataLength), 'z');
  EXPECT_EQ(UnpackBytes(PackageBuilder().Add("big.kes", data).bytes()), 1);
  EXPECT_EQ(ReadFile(destination_ + "big.kes").size(), data.size());
}

TEST_F(Unpack, PackageEndingInsideAnEntryIsDamaged) {
  const std::string first = PackageBuilder().Add("first.kes", "one").bytes();
  const std::string second = PackageBuilder().Add("dir\\second.kes", "two!").bytes();
  // Every cut from the first byte of the second entry to its last.
  for (std::size_t kept = 1; kept < second.size(); ++kept) {
    LogCapture log;
    EXPECT_EQ(UnpackBytes(first + second.substr(0, kept)), -4) << kept;
    EXPECT_EQ(log.CountPrefix("KESTRA", "load car," + package_ + " damaged:"), 1) << kept;
    EXPECT_FALSE(FileExists(destination_ + "dir/second.kes")) << kept;
    EXPECT_EQ(ReadFile(destination_ + "first.kes"), "one");
  }
  // Cut exactly between the entries, the package is simply shorter.
  EXPECT_EQ(UnpackBytes(first), 1);
  EXPECT_EQ(UnpackBytes(first + second), 1);
  EXPECT_EQ(ReadFile(destination_ + "dir/second.kes"), "two!");
}

TEST_F(Unpack, WrongTrailerStopsBeforeTheEntryIsWritten) {
  LogCapture log;
  EXPECT_EQ(UnpackBytes(PackageBuilder().Add("first.kes", "1").bytes() + PackageBuilder::Int32(5) +
                        "x.kes" + PackageBuilder::Int32(2) + "xx" + std::string("\x11\x22\x33\x45", 4)),
            -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car," + package_ + " crc error."));
  EXPECT_EQ(Written(), std::vector<std::string>{"first.kes"});
}

TEST_F(Unpack, NamesLeadingOutOfTheDestinationAreRefused) {
  const std::vector<std::string> hostile = {
      "..\\..\\x.kes", "\\..\\x.kes", "/../x.kes", "a\\..\\..\\x.kes", "a/../../x.kes",
      "..",            "a\\..",       "color\\..\\..\\..\\etc\\x", std::string("ok\0/../x", 8),
      "../x.kes",      std::string("ok\0", 3)};
  const std::vector<std::string> before = Everything();
  for (const std::string& name : hostile) {
    LogCapture log;
    const std::string bytes = PackageBuilder().Add("good.kes", "g").Add(name, "evil").bytes();
    EXPECT_EQ(UnpackBytes(bytes), -4) << name;
    EXPECT_EQ(log.CountPrefix("KESTRA", "load car," + package_ + " unsafe entry name refused:"), 1)
        << name;
    ASSERT_TRUE(FileExists(destination_ + "good.kes"));
    ASSERT_EQ(unlink((destination_ + "good.kes").c_str()), 0);
  }
  // Nothing anywhere in the test folder but the package itself.
  std::vector<std::string> expected = before;
  expected.push_back("area/demo.car");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Everything(), expected);
  // Dots inside names are fine.
  EXPECT_EQ(UnpackBytes(PackageBuilder().Add("a..b\\.\\c...kes", "ok").bytes()), 1);
  EXPECT_EQ(ReadFile(destination_ + "a..b/./c...kes"), "ok");
}

TEST_F(Unpack, EntryNameSafety) {
  EXPECT_TRUE(PackageEntryNameIsSafe("demo\\color\\a\\0.kes", 18));
  EXPECT_TRUE(PackageEntryNameIsSafe("..x", 3));
  EXPECT_TRUE(PackageEntryNameIsSafe("x..", 3));
  // The destination is the root of every name.
  EXPECT_TRUE(PackageEntryNameIsSafe("", 0));
  EXPECT_TRUE(PackageEntryNameIsSafe("/x", 2));
  EXPECT_TRUE(PackageEntryNameIsSafe("\\x", 2));
  EXPECT_TRUE(PackageEntryNameIsSafe("x\\", 2));
  EXPECT_FALSE(PackageEntryNameIsSafe("..", 2));
  EXPECT_FALSE(PackageEntryNameIsSafe("x/..", 4));
  EXPECT_FALSE(PackageEntryNameIsSafe("x\\..\\y", 6));
  EXPECT_FALSE(PackageEntryNameIsSafe("\\..", 3));
  EXPECT_FALSE(PackageEntryNameIsSafe("x\0y", 3));
}

// What packers write besides files: directory entries before the files
// under them, names with a leading separator, and entries without a name.
TEST_F(Unpack, DirectoryEntriesLeadingSeparatorsAndEmptyNamesUnpack) {
  LogCapture log;
  const std::vector<std::string> before = Everything();
  const std::string bytes = PackageBuilder()
                                .Add("", "")
                                .Add("demo\\", "")
                                .Add("demo\\color\\", "")
                                .Add("demo\\empty\\", "")
                                .Add("\\demo\\color\\0.kes", "zero")
                                .Add("/demo/params.bin", "params")
                                .Add("\\\\demo\\tires\\f0.kes", "tyre")
                                .Add("\\", "")
                                .bytes();
  EXPECT_EQ(UnpackBytes(bytes), 1);
  EXPECT_EQ(Written(), (std::vector<std::string>{"demo", "demo/color", "demo/color/0.kes", "demo/empty",
                                                 "demo/params.bin", "demo/tires", "demo/tires/f0.kes"}));
  EXPECT_EQ(ReadFile(destination_ + "demo/color/0.kes"), "zero");
  EXPECT_EQ(ReadFile(destination_ + "demo/params.bin"), "params");
  EXPECT_EQ(ReadFile(destination_ + "demo/tires/f0.kes"), "tyre");
  EXPECT_EQ(log.CountPrefix("KESTRA", "load car,write"), 0);
  // Nothing outside the destination.
  std::vector<std::string> expected = before;
  expected.push_back("area/demo.car");
  for (const std::string& path : Written()) {
    expected.push_back("area/dest/" + path);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Everything(), expected);
}

// Data that has no file to go to is lost: reported, the rest still written.
TEST_F(Unpack, AnEntryThatNamesNoFileButCarriesDataIsALoss) {
  for (const std::string& name : {std::string(""), std::string("dir\\"), std::string("/")}) {
    LogCapture log;
    EXPECT_EQ(UnpackBytes(PackageBuilder().Add(name, "lost").Add("after.kes", "y").bytes()), -4) << name;
    EXPECT_EQ(ReadFile(destination_ + "after.kes"), "y") << name;
    EXPECT_EQ(log.CountPrefix("KESTRA", "load car,write "), 1) << name;
    EXPECT_TRUE(log.Contains("KESTRA", "load car," + package_ + " 1 entries not written")) << name;
    ASSERT_EQ(unlink((destination_ + "after.kes").c_str()), 0);
  }
}

TEST_F(Unpack, PathsTooLongForTheBuffersAreSkipped) {
  // The destination is about 40 bytes; 230 more do not fit in 256.
  const std::string name(230, 'n');
  LogCapture log;
  EXPECT_EQ(UnpackBytes(PackageBuilder().Add(name, "d").Add("after.kes", "y").bytes()), -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car," + package_ + " entry path too long:" + name));
  EXPECT_EQ(Written(), std::vector<std::string>{"after.kes"});
}

// A file that cannot be created is skipped: the files after it are still
// written, and the loss is reported when the package has been read.
TEST_F(Unpack, FilesThatCannotBeWrittenAreSkippedAndFailTheUnpack) {
  // Directories stand where two of the files should go.
  ASSERT_EQ(mkdir((destination_ + "taken.kes").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((destination_ + "also.kes").c_str(), 0755), 0);
  LogCapture log;
  EXPECT_EQ(UnpackBytes(PackageBuilder()
                            .Add("taken.kes", "x")
                            .Add("between.kes", "b")
                            .Add("also.kes", "x")
                            .Add("dir\\after.kes", "y")
                            .bytes()),
            -4);
  EXPECT_TRUE(log.Contains("KESTRA", "load car,write " + destination_ + "taken.kes fail"));
  EXPECT_TRUE(log.Contains("KESTRA", "load car,write " + destination_ + "also.kes fail"));
  EXPECT_TRUE(log.Contains("KESTRA", "load car," + package_ + " 2 entries not written"));
  EXPECT_TRUE(log.Contains("KESTRA", "load car,read " + package_ + " end!"));
  EXPECT_EQ(ReadFile(destination_ + "between.kes"), "b");
  EXPECT_EQ(ReadFile(destination_ + "dir/after.kes"), "y");
}

// Each file is written under a temporary name and renamed over the file.
// Entries may take any name, the temporary ones included: the temporary
// file is always one that nothing stands at, so no entry is cut or lost.
TEST_F(Unpack, TheTemporaryFileIsNeverAnEntrysFile) {
  const std::string part0 = std::string(kUnpackPartPrefix) + "0.part";
  const std::string bytes = PackageBuilder()
                                .Add("f.kes.part", "part entry")
                                .Add("f.kes", "file entry")
                                .Add(part0, "an entry at the first temporary name")
                                .Add("g.kes", "after it")
                                .Add("d\\g.kes.part", "second part entry")
                                .Add("d\\g.kes", "second file entry")
                                .bytes();
  ASSERT_EQ(UnpackBytes(bytes), 1);
  EXPECT_EQ(ReadFile(destination_ + "f.kes.part"), "part entry");
  EXPECT_EQ(ReadFile(destination_ + "f.kes"), "file entry");
  EXPECT_EQ(ReadFile(destination_ + part0), "an entry at the first temporary name");
  EXPECT_EQ(ReadFile(destination_ + "g.kes"), "after it");
  EXPECT_EQ(ReadFile(destination_ + "d/g.kes.part"), "second part entry");
  EXPECT_EQ(ReadFile(destination_ + "d/g.kes"), "second file entry");
  const std::vector<std::string> expected = {part0, "d", "d/g.kes", "d/g.kes.part",
                                             "f.kes", "f.kes.part", "g.kes"};
  EXPECT_EQ(Written(), expected);

  // A file left at a temporary name by an unpack that was cut off, and a
  // link planted at one, stay as they are: the data goes elsewhere and
  // nothing is written where the link points.
  const std::string outside = dir_.path() + "/victim";
  ASSERT_TRUE(WriteFile(outside, "kept"));
  ASSERT_TRUE(WriteFile(destination_ + kUnpackPartPrefix + "1.part", "left over"));
  ASSERT_EQ(symlink(outside.c_str(), (destination_ + "d/" + part0).c_str()), 0);
  ASSERT_EQ(UnpackBytes(bytes), 1);
  EXPECT_EQ(ReadFile(outside), "kept");
  EXPECT_EQ(ReadFile(destination_ + kUnpackPartPrefix + "1.part"), "left over");
  EXPECT_EQ(ReadFile(destination_ + "f.kes"), "file entry");
  EXPECT_EQ(ReadFile(destination_ + "g.kes"), "after it");
  EXPECT_EQ(ReadFile(destination_ + "d/g.kes"), "second file entry");
}

// Links already present under the destination, in place of the file, of a
// directory the entry creates, or of one it only passes through: that entry
// fails and nothing is written where the link points.
TEST_F(Unpack, LinksUnderTheDestinationAreNeverWrittenThrough) {
  const std::string outside = dir_.path() + "/outside";
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  ASSERT_TRUE(WriteFile(outside + "/victim", "kept"));
  ASSERT_EQ(mkdir((destination_ + "color").c_str(), 0755), 0);
  ASSERT_EQ(symlink((outside + "/victim").c_str(), (destination_ + "color/0.kes").c_str()), 0);
  ASSERT_EQ(symlink(outside.c_str(), (destination_ + "doors").c_str()), 0);
  ASSERT_EQ(symlink(outside.c_str(), (destination_ + "tires").c_str()), 0);
  const struct {
    const char* name;
    const char* logged;
  } cases[] = {
      {"color\\0.kes", "color/0.kes"},
      {"doors\\front\\d0.kes", "doors/front/d0.kes"},
      {"tires/victim", "tires/victim"},
  };
  for (const auto& entry : cases) {
    LogCapture log;
    EXPECT_EQ(UnpackBytes(PackageBuilder().Add(entry.name, "planted").Add("after.kes", "y").bytes()), -4)
        << entry.name;
    EXPECT_TRUE(log.Contains("KESTRA", "load car,write " + destination_ + entry.logged + " fail"));
    EXPECT_EQ(ReadFile(destination_ + "after.kes"), "y") << "the entry after a refused one is written";
  }
  EXPECT_EQ(ReadFile(outside + "/victim"), "kept");
  EXPECT_EQ(ListTree(outside), (std::vector<std::string>{"victim"}));
  // The same names without the links unpack.
  for (const char* link : {"color/0.kes", "doors", "tires"}) {
    ASSERT_EQ(unlink((destination_ + link).c_str()), 0);
  }
  ASSERT_EQ(mkdir((destination_ + "tires").c_str(), 0755), 0);
  EXPECT_EQ(UnpackBytes(PackageBuilder()
                            .Add("color\\0.kes", "a")
                            .Add("doors\\front\\d0.kes", "b")
                            .Add("tires/f0.kes", "c")
                            .bytes()),
            1);
  EXPECT_EQ(ReadFile(destination_ + "doors/front/d0.kes"), "b");
}

TEST_F(Unpack, PackagesThatCannotBeOpened) {
  LogCapture log;
  const std::string missing = dir_.path() + "/none.car";
  EXPECT_EQ(UnpackFiles(missing.c_str(), destination_.c_str()), -2);
  EXPECT_TRUE(log.Contains("KESTRA", "load car " + missing + " failed!can not open file."));
  // A directory and a pipe are not packages; the pipe must not block.
  EXPECT_EQ(UnpackFiles(destination_.c_str(), destination_.c_str()), -2);
  const std::string pipe = dir_.path() + "/pipe.car";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(UnpackFiles(pipe.c_str(), destination_.c_str()), -2);
  EXPECT_TRUE(Written().empty());
}

}  // namespace
