// The converter of the renderer's ".bin" pictures, both ways, with the
// working limit of 512000 bytes; and the contact sheet drawer.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "tests/support/hostile_pictures.h"
#include "tests/support/process_runner.h"
#include "tests/tools/sample_files.h"
#include "tools/lib/bin_image.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

ProgramResult Convert(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {IMG_CONV_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProgram(argv);
}

std::string SmallPng() {
  cv::Mat picture(9, 7, CV_8UC4, cv::Scalar(1, 2, 3, 4));
  std::vector<unsigned char> png;
  EXPECT_TRUE(cv::imencode(".png", picture, png));
  return std::string(png.begin(), png.end());
}

}  // namespace

TEST(ImageConversion, BothWaysGiveTheSampleFilesBack) {
  TempDir temp;
  const std::string pressure = SampleAssetsDir() + "/common/pressure/";
  const ProgramResult toBin = Convert({"to-bin", pressure + "number1.png", temp / "number1.bin"});
  ASSERT_EQ(toBin.exitStatus, 0) << toBin.standardError;
  EXPECT_TRUE(Contains(toBin.standardOutput, "1750 x 260, 4 channels"));
  EXPECT_EQ(ReadFile(temp / "number1.bin"), ReadFile(pressure + "number1.bin"));
  const ProgramResult toPng = Convert({"to-png", temp / "number1.bin", temp / "number1.png"});
  ASSERT_EQ(toPng.exitStatus, 0) << toPng.standardError;
  EXPECT_EQ(ReadFile(temp / "number1.png"), ReadFile(pressure + "number1.png"));

  const ProgramResult info = Convert({"info", SampleAssetsDir() + "/common/plate/simple2.bin"});
  EXPECT_EQ(info.exitStatus, 0);
  EXPECT_TRUE(Contains(info.standardOutput, "converted, 760 x 146, 3 channels")) << info.standardOutput;
  EXPECT_TRUE(Contains(info.standardOutput, "mark: kind 8 angle 4095 group 0 number 2")) << info.standardOutput;
}

TEST(ImageConversion, TheConvertedFormIsThePngWithItsSignatureReplaced) {
  const std::string png = SmallPng();
  std::string bin;
  std::string error;
  ASSERT_TRUE(tools::PngToBin(png, &bin, &error)) << error;
  ASSERT_EQ(bin.size(), png.size());
  EXPECT_EQ(bin.substr(0, 8), std::string("kes \x30\x0b\x09\x0c", 8));
  EXPECT_EQ(bin.substr(8), png.substr(8));
  std::string back;
  ASSERT_TRUE(tools::BinToPng(bin, &back, &error)) << error;
  EXPECT_EQ(back, png);
  // Each direction takes only its own kind, whole enough to hold a header.
  EXPECT_FALSE(tools::PngToBin(bin, &back, &error));
  EXPECT_FALSE(tools::BinToPng(png, &back, &error));
  EXPECT_FALSE(tools::PngToBin(png.substr(0, 7), &back, &error));
  EXPECT_FALSE(tools::PngToBin(png.substr(0, 20), &back, &error)) << "no room for the header chunk";
  std::string noHeader = png;
  noHeader[12] = 'X';
  EXPECT_FALSE(tools::PngToBin(noHeader, &back, &error));
}

TEST(ImageConversion, RespectsTheWorkingLimit) {
  TempDir temp;
  // Bytes after the end chunk are ignored by decoders: a valid picture of
  // exactly the limit, and one byte more.
  std::string png = SmallPng();
  png.resize(512000, '\0');
  ASSERT_TRUE(WriteFile(temp / "limit.png", png));
  EXPECT_EQ(Convert({"to-bin", temp / "limit.png", temp / "limit.bin"}).exitStatus, 0);
  EXPECT_EQ(ReadFile(temp / "limit.bin").size(), 512000u);
  png.push_back('\0');
  ASSERT_TRUE(WriteFile(temp / "over.png", png));
  const ProgramResult over = Convert({"to-bin", temp / "over.png", temp / "over.bin"});
  EXPECT_EQ(over.exitStatus, 3);
  EXPECT_TRUE(Contains(over.standardError, "512000")) << over.standardError;
  EXPECT_FALSE(FileExists(temp / "over.bin"));
  std::string bin = ReadFile(temp / "limit.bin");
  bin.push_back('\0');
  ASSERT_TRUE(WriteFile(temp / "over.bin", bin));
  EXPECT_EQ(Convert({"to-png", temp / "over.bin", temp / "over2.png"}).exitStatus, 3);
  EXPECT_FALSE(FileExists(temp / "over2.png"));
}

TEST(ImageConversion, RefusesWhatIsNotItsInput) {
  TempDir temp;
  const std::string png = SmallPng();
  ASSERT_TRUE(WriteFile(temp / "text.png", "not a picture at all, just some words"));
  ASSERT_TRUE(WriteFile(temp / "good.png", png));
  ASSERT_TRUE(WriteFile(temp / "cut.png", png.substr(0, 40)));
  // The chunk after the header states 2 GB: the decoder would skip it for
  // seconds, with as much memory, before failing.
  std::string huge = png;
  ASSERT_EQ(huge.substr(37, 4), "IDAT");
  huge.replace(33, 4, std::string("\x7e\x00\x00\x0e", 4));
  ASSERT_TRUE(WriteFile(temp / "huge-chunk.png", huge));
  // A whole, well-formed stream whose header states 20000 x 20000 pixels:
  // the decoder would allocate them before it found no data behind.
  ASSERT_TRUE(WriteFile(temp / "huge-size.png", PngStatingSize(20000, 20000)));
  std::string hugeBin;
  std::string error;
  ASSERT_TRUE(tools::PngToBin(PngStatingSize(4097, 4096), &hugeBin, &error)) << error;
  ASSERT_TRUE(WriteFile(temp / "huge-size.bin", hugeBin));
  ASSERT_EQ(Convert({"to-bin", temp / "good.png", temp / "good.bin"}).exitStatus, 0);
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* message;
  } cases[] = {
      {{"to-bin", temp / "text.png", temp / "out"}, 3, "neither a PNG nor a converted picture"},
      {{"to-bin", temp / "good.bin", temp / "out"}, 3, "does not start with the PNG signature"},
      {{"to-png", temp / "good.png", temp / "out"}, 3, "does not start with the converted-picture magic"},
      {{"to-bin", temp / "cut.png", temp / "out"}, 3, "decode"},
      {{"to-bin", temp / "huge-chunk.png", temp / "out"}, 3, "a chunk runs past its end"},
      {{"info", temp / "huge-chunk.png"}, 3, "a chunk runs past its end"},
      {{"to-bin", temp / "huge-size.png", temp / "out"}, 3, "over 4096 x 4096 pixels"},
      {{"to-png", temp / "huge-size.bin", temp / "out"}, 3, "over 4096 x 4096 pixels"},
      {{"info", temp / "text.png"}, 3, "neither"},
      {{"to-bin", temp / "missing.png", temp / "out"}, 2, "cannot open"},
      {{"to-bin", temp.path(), temp / "out"}, 2, "not a regular file"},
      {{"to-bin", temp / "good.png", temp / "no/such/dir/out.bin"}, 2, "no/such/dir"},
      {{"to-bin", temp / "good.png"}, 1, "usage"},
      {{"convert", temp / "good.png", temp / "out"}, 1, "unknown command"},
      {{}, 1, "usage"},
  };
  for (const auto& test : cases) {
    const ProgramResult result = Convert(test.arguments);
    EXPECT_EQ(result.exitStatus, test.status) << test.message;
    EXPECT_TRUE(Contains(result.standardError, test.message)) << result.standardError;
  }
  EXPECT_FALSE(FileExists(temp / "out"));
  const ProgramResult help = Convert({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_TRUE(Contains(help.standardOutput, "Exit status"));
}

// A pipe is refused without waiting for a writer that never comes (run
// under timeout, which ends with 124 when the converter blocks).
TEST(ImageConversion, RefusesAPipeWithoutBlocking) {
  TempDir temp;
  const std::string pipe = temp / "pipe.png";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const std::vector<std::vector<std::string>> commands = {{"info", pipe}, {"to-bin", pipe, temp / "out"}};
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> argv = {"timeout", "10", IMG_CONV_PATH};
    argv.insert(argv.end(), command.begin(), command.end());
    const ProgramResult result = RunProgram(argv);
    EXPECT_EQ(result.exitStatus, 2) << command[0];
    EXPECT_TRUE(Contains(result.standardError, "not a regular file")) << result.standardError;
  }
  EXPECT_FALSE(FileExists(temp / "out"));
}

TEST(SampleSheet, DrawsTheSampleCarAndRefusesAMissingOne) {
  TempDir temp;
  const ProgramResult drawn = RunProgram({SAMPLE_SHEET_PATH, SampleCarDir(), temp / "sheet.png"});
  ASSERT_EQ(drawn.exitStatus, 0) << drawn.standardError;
  const cv::Mat sheet = cv::imread(temp / "sheet.png", cv::IMREAD_UNCHANGED);
  ASSERT_FALSE(sheet.empty());
  EXPECT_EQ(sheet.cols, 2048);
  EXPECT_GT(sheet.rows, 1500);
  const ProgramResult missing = RunProgram({SAMPLE_SHEET_PATH, temp / "nothing", temp / "other.png"});
  EXPECT_EQ(missing.exitStatus, 2);
  EXPECT_TRUE(Contains(missing.standardError, "params.bin"));
  EXPECT_FALSE(FileExists(temp / "other.png"));
  EXPECT_EQ(RunProgram({SAMPLE_SHEET_PATH}).exitStatus, 1);
}

TEST(SampleSheet, SurvivesADamagedParamsFile) {
  // Positions far outside any picture and values that are not numbers are
  // drawn off the canvas or not at all, never used as raw indices.
  TempDir temp;
  std::filesystem::copy(SampleCarDir(), temp / "demo", std::filesystem::copy_options::recursive);
  std::string params = ReadFile(SampleCarDir() + "/params.bin");
  ASSERT_EQ(params.size(), 7136u);
  auto put = [&](std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      params[offset + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
  };
  put(RawParams::TableOffset(kCord), 0x7FC00000u);      // angle 0 left: not a number
  put(RawParams::TableOffset(kCord) + 4, 0x7F800000u);  // angle 0 top: infinity
  put(RawParams::TableOffset(kTiresOffset), 0x7FFFFFFFu);
  put(RawParams::TableOffset(kTiresOffset) + 4, 0x80000000u);
  put(RawParams::TableOffset(kDoorsOffset) + 16 * 12, 0x80000000u);
  put(RawParams::TableOffset(kLampsOffset2) + 16 * 4 + 4, 0x7FFFFFF0u);
  ASSERT_TRUE(WriteFile(temp / "demo/params.bin", params));
  const ProgramResult drawn = RunProgram({SAMPLE_SHEET_PATH, temp / "demo", temp / "sheet.png"});
  EXPECT_EQ(drawn.exitStatus, 0) << drawn.standardError;
  put(RawParams::TableOffset(kPicSize) + 8, 0x7FC00000u);  // frame width: not a number
  ASSERT_TRUE(WriteFile(temp / "demo/params.bin", params));
  const ProgramResult refused = RunProgram({SAMPLE_SHEET_PATH, temp / "demo", temp / "sheet2.png"});
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_TRUE(Contains(refused.standardError, "frame size"));
}
