// The replay command: four raw NV21 recordings in, every composed preview
// frame out, through the Java activity and the shipped library.
#include <gtest/gtest.h>

#include <string>

#include "tests/quadcam/quadcam_test_support.h"
#include "tests/support/process_runner.h"

namespace {

TEST(Replay, EveryComposedFrameMatchesTheMosaicOfTheRecordings) {
  TempDir dir;
  const int w = 34;
  const int h = 18;
  // Recordings of different lengths: the shorter ones loop.
  const int lengths[4] = {1, 2, 3, 2};
  std::vector<Nv21Frame> recordings[4];
  std::vector<std::string> argv = {QUADCAM_DEMO_PATH, "replay", "--size", "34x18",
                                   "--frames", "5", "--out", dir / "out.nv21",
                                   "--png", dir / "last.png"};
  for (int k = 0; k < 4; ++k) {
    for (int n = 0; n < lengths[k]; ++n) {
      recordings[k].push_back(RandomNv21(w, h, 1000u + static_cast<uint32_t>(k * 10 + n)));
    }
    const std::string path = dir / ("cam" + std::to_string(k) + ".nv21");
    ASSERT_TRUE(WriteNv21File(path, recordings[k]));
    argv.push_back(path);
  }
  const ProgramResult run = RunProgram(argv);
  ASSERT_EQ(run.exitStatus, 0) << run.standardError;
  const std::string out = ReadFile(dir / "out.nv21");
  const size_t frameBytes = static_cast<size_t>(6 * w * h);
  ASSERT_EQ(out.size(), 5 * frameBytes);
  for (size_t n = 0; n < 5; ++n) {
    const Nv21Frame* set[4];
    for (int k = 0; k < 4; ++k) {
      set[k] = &recordings[k][n % static_cast<size_t>(lengths[k])];
    }
    const std::vector<uint8_t> expected = ExpectedNv21Mosaic(set, w, h);
    EXPECT_EQ(0, out.compare(n * frameBytes, frameBytes,
                             std::string(expected.begin(), expected.end())))
        << "composed frame " << n;
  }
  EXPECT_EQ(ReadFile(dir / "last.png").compare(0, 4, "\x89PNG"), 0);
}

TEST(Replay, DamagedInputIsRefusedWithAMessage) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "short.nv21", std::string(10, 'x')));
  const std::string s = dir / "short.nv21";
  ProgramResult run = RunProgram({QUADCAM_DEMO_PATH, "replay", "--size", "34x18", "--out",
                                  dir / "out.nv21", s, s, s, s});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.standardError.find("holds no complete 34x18 NV21 frame"), std::string::npos)
      << run.standardError;
  run = RunProgram({QUADCAM_DEMO_PATH, "replay", "--size", "34x0", "--out", dir / "o", s, s, s, s});
  EXPECT_EQ(run.exitStatus, 2);
  run = RunProgram({QUADCAM_DEMO_PATH, "replay", "--size", "34x18", "--out", dir / "o", s});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.standardError.find("usage:"), std::string::npos);
  EXPECT_FALSE(FileExists(dir / "o"));
}

}  // namespace
