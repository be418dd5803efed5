// A failing disk loses nothing: every write-side operation of unpacking a
// car package, saving the display configuration (command 60), writing
// plate.png and pressure.png and converting a ".bin" is failed in turn, with
// ENOSPC and with EIO. Each failure is reported (result or log line), the
// files that were there before keep every byte, and the same call made
// again afterwards succeeds.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "avm/bridge/car_package.h"
#include "avm/bridge/command_handlers.h"
#include "avm/bridge/scene_state.h"
#include "avm/include/avm_image_tools.h"
#include "tests/faults/write_faults.h"
#include "tests/support/log_capture.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return "<missing>";
  }
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes.append(chunk, got);
  }
  std::fclose(file);
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  ASSERT_EQ(std::fclose(file), 0);
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::string Entry(const std::string& name, const std::string& data) {
  std::string out;
  const auto put = [&out](uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      out.push_back(static_cast<char>(value >> (8 * i)));
    }
  };
  put(static_cast<uint32_t>(name.size()));
  out += name;
  put(static_cast<uint32_t>(data.size()));
  out += data;
  out += std::string("\x11\x22\x33\x44", 4);
  return out;
}

class WriteFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(faults::Available()) << "run with LD_PRELOAD=libwrite_faults.so";
    char pattern[] = "/tmp/avm-write-faults-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = std::string(pattern) + "/";
    ASSERT_NE(AllocateSceneState(), nullptr);
    std::snprintf(pViewParam->assetRoot, sizeof(pViewParam->assetRoot), "%s", root_.c_str());
    ASSERT_EQ(mkdir((root_ + "common").c_str(), 0755), 0);
  }
  void TearDown() override {
    faults::Disarm();
    std::system(("rm -rf '" + root_ + "'").c_str());
  }

  // Runs action once only counting, then once per counted operation with
  // that operation failing (both errors); check() judges each failed run
  // after restore() has put the old files back before it.
  void ForEveryFault(const std::string& prefix, const std::function<void()>& restore,
                     const std::function<void()>& action, const std::function<void(int, int)>& check) {
    restore();
    faults::Arm(prefix, 0, 0);
    action();
    const int operations = faults::Disarm();
    ASSERT_GT(operations, 0) << "nothing under " << prefix << " was written";
    for (const int error : {ENOSPC, EIO}) {
      for (int nth = 1; nth <= operations; ++nth) {
        restore();
        faults::Arm(prefix, nth, error);
        action();
        const bool fired = faults::Fired();
        faults::Disarm();
        ASSERT_TRUE(fired) << "operation " << nth << " of " << operations;
        check(nth, error);
        if (HasFatalFailure()) {
          return;
        }
      }
    }
    tried_ += 2 * operations;
  }

  std::string root_;
  int tried_ = 0;
};

TEST_F(WriteFaultsTest, AFailedUnpackLeavesEveryFileWholeAndARetryUnpacksEverything) {
  const std::map<std::string, std::string> files = {
      {"demo/params.bin", std::string(1500, 'p')},
      {"demo/color/a/0.kes", std::string(3000, 'a')},
      {"demo/tires/right_30/f5.kes", std::string(1200, 'm')}};
  std::string package;
  for (const auto& [name, data] : files) {
    std::string stored = name;
    for (char& c : stored) {
      c = c == '/' ? '\\' : c;
    }
    package += Entry(stored, data);
  }
  const std::string packagePath = root_ + "common/demo.car";
  const std::string destination = root_ + ".tmp/";
  const std::string bystander = root_ + "common/keep.bin";
  WriteFile(packagePath, package);
  WriteFile(bystander, "stored elsewhere");
  ASSERT_EQ(mkdir(destination.c_str(), 0755), 0);
  // The car of an earlier unpack, every file with other bytes.
  const auto oldContent = [](const std::string& name) { return "an earlier unpack of " + name; };
  ASSERT_EQ(UnpackFiles(packagePath.c_str(), destination.c_str()), kUnpackDone);
  const auto restoreOldCar = [&] {
    for (const auto& [name, data] : files) {
      WriteFile(destination + name, oldContent(name));
    }
  };
  int result = 0;
  ForEveryFault(
      destination, restoreOldCar,
      [&] { result = UnpackFiles(packagePath.c_str(), destination.c_str()); },
      [&](int nth, int error) {
        EXPECT_EQ(result, kUnpackDamaged) << "operation " << nth << ", errno " << error;
        std::size_t renewed = 0;
        for (const auto& [name, data] : files) {
          const std::string now = ReadFile(destination + name);
          EXPECT_TRUE(now == data || now == oldContent(name))
              << name << " is cut after operation " << nth << ", errno " << error;
          renewed += now == data ? 1 : 0;
          const std::string folder = destination + name.substr(0, name.rfind('/') + 1);
          EXPECT_FALSE(Exists(folder + kUnpackPartPrefix + "0.part")) << name;
        }
        // One failed operation costs one file: the files after it are
        // still written.
        EXPECT_EQ(renewed, files.size() - 1) << "operation " << nth << ", errno " << error;
        EXPECT_TRUE(ReadFile(packagePath) == package);
        EXPECT_TRUE(ReadFile(bystander) == "stored elsewhere");
        ASSERT_EQ(UnpackFiles(packagePath.c_str(), destination.c_str()), kUnpackDone);
        for (const auto& [name, data] : files) {
          EXPECT_TRUE(ReadFile(destination + name) == data) << name << " after the retry";
        }
      });
  EXPECT_GE(tried_, 2 * 9);  // an open, a write and a rename per file
}

TEST_F(WriteFaultsTest, ASavedConfigurationIsReplacedWholeOrNotAtAll) {
  const std::string path = root_ + "common/config.bin";
  const std::string old(108, '\x5a');
  int reported = 0;
  int savedLines = 0;
  pViewParam->viewFovy = 47.0f;
  pViewParam->topViewMargin = 33.0f;
  ForEveryFault(
      root_ + "common/", [&] { WriteFile(path, old); },
      [&] {
        LogCapture capture;
        EXPECT_EQ(CmdSaveConfiguration(0), 1);
        reported = capture.Count("KESTRA", "---------CMD_CONFIG_SAVE failed:" + path + " cannot be created") +
                   capture.Count("KESTRA", "---------CMD_CONFIG_SAVE failed:" + path +
                                               " write failed, the old file stays");
        savedLines = capture.CountPrefix("KESTRA", "---------CMD_CONFIG_SAVE:" + path + " ");
      },
      [&](int nth, int error) {
        EXPECT_EQ(reported, 1) << "operation " << nth << ", errno " << error;
        EXPECT_EQ(savedLines, 0) << "a failed save logged as saved, operation " << nth;
        EXPECT_TRUE(ReadFile(path) == old) << "operation " << nth << ", errno " << error;
        EXPECT_FALSE(Exists(path + ".part"));
      });
  CmdSaveConfiguration(0);
  const std::string saved = ReadFile(path);
  ASSERT_EQ(saved.size(), 108u);
  EXPECT_NE(saved, old);
}

// The glyph sheets of the sample, copied into this test's asset folder.
void CopySampleSheet(const std::string& root, const std::string& relative) {
  WriteFile(root + relative, ReadFile(std::string(AVM_SAMPLE_ASSETS_DIR) + "/" + relative));
}

TEST_F(WriteFaultsTest, AFailedPlateKeepsTheOldPlatePicture) {
  const std::string folder = root_ + "common/plate/";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  CopySampleSheet(root_, "common/plate/simple0.bin");
  CopySampleSheet(root_, "common/plate/number0.bin");
  ASSERT_EQ(genPlate(3, "AB12345", 0), 1);
  const std::string old = ReadFile(folder + "plate.png");
  int result = 0;
  ForEveryFault(
      folder, [&] { WriteFile(folder + "plate.png", old); },
      [&] { result = genPlate(5, "XY9876", 0); },
      [&](int nth, int error) {
        EXPECT_EQ(result, 0) << "operation " << nth << ", errno " << error;
        EXPECT_TRUE(ReadFile(folder + "plate.png") == old) << "operation " << nth;
        EXPECT_FALSE(Exists(folder + "plate.png.part"));
      });
  ASSERT_EQ(genPlate(5, "XY9876", 0), 1);
  EXPECT_NE(ReadFile(folder + "plate.png"), old);
}

TEST_F(WriteFaultsTest, AFailedTyrePanelKeepsTheOldPanel) {
  const std::string folder = root_ + "common/pressure/";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  CopySampleSheet(root_, "common/pressure/background0.bin");
  CopySampleSheet(root_, "common/pressure/number0.bin");
  ASSERT_EQ(genTirePressure(230, 0, 25, 0, 0, 1, 0, 0), 1);
  const std::string old = ReadFile(folder + "pressure.png");
  int result = 0;
  ForEveryFault(
      folder, [&] { WriteFile(folder + "pressure.png", old); },
      [&] { result = genTirePressure(310, 1, -12, 1, 2, 1, 0, 0); },
      [&](int nth, int error) {
        EXPECT_EQ(result, -1) << "operation " << nth << ", errno " << error;
        EXPECT_TRUE(ReadFile(folder + "pressure.png") == old) << "operation " << nth;
        EXPECT_FALSE(Exists(folder + "pressure.png.part"));
      });
  ASSERT_EQ(genTirePressure(310, 1, -12, 1, 2, 1, 0, 0), 1);
  EXPECT_NE(ReadFile(folder + "pressure.png"), old);
}

TEST_F(WriteFaultsTest, AFailedConversionKeepsTheOldBinFile) {
  const std::string folder = root_ + "common/convert/";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string png = folder + "sheet.png";
  const std::string bin = folder + "sheet.bin";
  const std::string old = "kes \x30\x0b\x09\x0c an older sheet";
  const std::string source = ReadFile(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/logo.png");
  ASSERT_GT(source.size(), 8u);
  WriteFile(png, source);
  ForEveryFault(
      bin, [&] { WriteFile(bin, old); }, [&] { pngToBin(png.c_str(), bin.c_str()); },
      [&](int nth, int error) {
        EXPECT_TRUE(ReadFile(bin) == old) << "operation " << nth << ", errno " << error;
        EXPECT_TRUE(ReadFile(png) == source);
        EXPECT_FALSE(Exists(bin + ".part"));
      });
  EXPECT_EQ(pngToBin(png.c_str(), bin.c_str()), 1);
  const std::string converted = ReadFile(bin);
  ASSERT_EQ(converted.size(), source.size());
  EXPECT_EQ(converted.substr(8), source.substr(8));
}

}  // namespace
