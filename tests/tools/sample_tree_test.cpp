// The generated sample tree: every name the renderer reads is there, every
// picture decodes the way the renderer decodes it, and every file says by
// its mark which file it is.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process_runner.h"
#include "tests/tools/sample_files.h"
#include "tools/lib/sample_marks.h"

namespace sm = sample_marks;

namespace {

sm::Mark Expect(int kind, int angle, int group, int number, int frame = sm::kNone, int steer = sm::kNone) {
  return sm::Mark{kind, angle, group, number, frame, steer};
}

// The mark and layer code each car file must carry, worked out from its name.
struct Identity {
  sm::Mark mark;
  int layer = sm::kLayerNone;
};

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
    parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  parts.push_back(path.substr(start));
  return parts;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "<stem>.kes" -> stem, or "" for other names.
std::string Stem(const std::string& file) {
  return file.size() > 4 && file.compare(file.size() - 4, 4, ".kes") == 0 ? file.substr(0, file.size() - 4) : "";
}

bool IdentityOf(const std::string& name, Identity* identity) {
  static const std::map<std::string, int> kLampGroup = {
      {"left", sm::kLampLeft}, {"right", sm::kLampRight}, {"front", sm::kLampFront},
      {"back", sm::kLampBack}, {"front2", sm::kLampFront2}};
  static const std::map<std::string, int> kDoorGroup = {{"left", sm::kDoorLeft},   {"right", sm::kDoorRight},
                                                        {"top", sm::kDoorTop},     {"front", sm::kDoorFront},
                                                        {"back", sm::kDoorBack},   {"front2", sm::kDoorFront2}};
  static const std::map<std::string, int> kGroupAngle = {{"left", 130}, {"right", 158}, {"front", 54},
                                                         {"back", 144}, {"front2", 72}};
  static const std::map<std::string, int> kLampIndex = {
      {"left/4", sm::kLampLeft4},     {"right/5", sm::kLampRight5},   {"front/0", sm::kLampFront0},
      {"front/1", sm::kLampFront1},   {"back/4", sm::kLampBack4},     {"back/5", sm::kLampBack5},
      {"front2/0", sm::kLampFront2_0}, {"front2/1", sm::kLampFront2_1}, {"front2/2", sm::kLampFront2_2},
      {"front2/3", sm::kLampFront2_3}};
  const std::vector<std::string> parts = Split(name);
  const std::string stem = Stem(parts.back());
  if (parts.size() == 3 && parts[0] == "color" && parts[1] == "a" && AllDigits(stem)) {
    *identity = {Expect(sm::kKindWholeCar, std::stoi(stem), sm::kNone, sm::kNone), sm::kLayerWholeCar};
  } else if (parts.size() == 3 && parts[1] == "top" && stem.size() == 7 && stem.compare(0, 3, "top") == 0 &&
             AllDigits(stem.substr(3))) {
    *identity = {Expect(sm::kKindTopImage, sm::kNone, sm::kNone, std::stoi(stem.substr(3))), sm::kLayerTopImage};
  } else if (parts.size() == 3 && parts[0] == "tires" && stem.size() == 2 && (stem[0] == 'f' || stem[0] == 'b')) {
    const bool front = stem[0] == 'f';
    const int frame = stem[1] - '0';
    const std::string folder = parts[1];
    if (AllDigits(folder)) {
      *identity = {Expect(sm::kKindWheel, std::stoi(folder) - 1, sm::kWheelPartial, front ? 0 : 1, frame, 0),
                   sm::WheelLayer(front, 0, frame)};
    } else {
      const bool left = folder.compare(0, 4, "left") == 0;
      const std::size_t underscore = folder.find('_');
      const int steer = underscore == std::string::npos ? 0 : std::stoi(folder.substr(underscore + 1));
      *identity = {Expect(sm::kKindWheel, left ? 130 : 158, left ? sm::kWheelLeft : sm::kWheelRight, front ? 0 : 1,
                          frame, steer),
                   sm::WheelLayer(front, steer, frame)};
    }
  } else if (parts.size() == 4 && parts[1] == "light" && AllDigits(stem)) {
    *identity = {Expect(sm::kKindLamp, kGroupAngle.at(parts[2]), kLampGroup.at(parts[2]), std::stoi(stem)),
                 sm::kLayerLamp + kLampIndex.at(parts[2] + "/" + stem)};
  } else if (parts.size() == 4 && parts[1] == "door" && stem.size() == 2 && stem[0] == 'd') {
    const int k = stem[1] - '0';
    const int angle = parts[2] == "top" ? sm::kNone : kGroupAngle.at(parts[2]);
    *identity = {Expect(sm::kKindDoor, angle, kDoorGroup.at(parts[2]), k), sm::kLayerDoor + k};
  } else if (name == "color/light2.kes") {
    *identity = {Expect(sm::kKindCarPicture, 144, sm::kNone, 0), sm::kLayerLight2};
  } else if (name == "color/warning2.kes") {
    *identity = {Expect(sm::kKindCarPicture, 144, sm::kNone, 1), sm::kLayerWarning2};
  } else if (name == "color/light1.kes") {
    *identity = {Expect(sm::kKindCarPicture, 72, sm::kNone, 2), sm::kLayerLight1};
  } else {
    return false;
  }
  return true;
}

}  // namespace

TEST(SampleTree, HoldsExactlyTheCarFilesTheLoadersRead) {
  const std::vector<std::string> expected = ExpectedCarFiles();
  EXPECT_EQ(expected.size(), 356u);
  EXPECT_EQ(ListFiles(SampleCarDir()), expected);
}

TEST(SampleTree, HoldsEveryCommonFile) {
  const std::vector<std::string> present = ListFiles(SampleAssetsDir() + "/common");
  for (const std::string& name : ExpectedCommonFiles()) {
    EXPECT_TRUE(std::binary_search(present.begin(), present.end(), name)) << "missing common/" << name;
  }
}

TEST(SampleTree, EveryCarPictureDecodesToFourChannelsAndCarriesItsMarks) {
  int checked = 0;
  for (const std::string& name : ExpectedCarFiles()) {
    if (name == "params.bin") {
      continue;
    }
    SCOPED_TRACE(name);
    const cv::Mat picture = ReadPicture(SampleCarDir() + "/" + name);
    ASSERT_FALSE(picture.empty());
    ASSERT_EQ(picture.type(), CV_8UC4);
    Identity identity;
    ASSERT_TRUE(IdentityOf(name, &identity));
    sm::Mark mark;
    ASSERT_TRUE(sm::ReadMark(picture.ptr<std::uint8_t>(0), picture.cols, picture.rows, 4, &mark));
    EXPECT_EQ(mark, identity.mark);
    // The first row stays transparent (the mark is invisible), and every
    // opaque pixel tells which kind of file it came from.
    int opaque = 0;
    for (int column = 0; column < picture.cols; ++column) {
      ASSERT_EQ(picture.at<cv::Vec4b>(0, column)[3], 0) << "column " << column;
    }
    for (int row = 1; row < picture.rows; ++row) {
      for (int column = 0; column < picture.cols; ++column) {
        const cv::Vec4b& pixel = picture.at<cv::Vec4b>(row, column);
        if (pixel[3] != 0) {
          ++opaque;
          ASSERT_EQ(sm::PixelLayer(&pixel[0]), identity.layer) << row << "," << column;
        }
      }
    }
    const bool mayBeBlank = name.find("/door/") != std::string::npos;
    if (!mayBeBlank) {
      EXPECT_GT(opaque, 20) << "a picture with nothing in it";
    }
    ++checked;
  }
  EXPECT_EQ(checked, 355);
}

TEST(SampleTree, DoorOverlaysOfDoorsThatShowAreNotBlank) {
  // Doors 0 and 2 lie on the left, 1 and 3 on the right: the side views show
  // their own side's doors, the top view all of them.
  for (const char* name : {"color/door/left/d0.kes", "color/door/left/d1.kes", "color/door/left/d4.kes",
                           "color/door/right/d2.kes", "color/door/right/d3.kes", "color/door/right/d5.kes",
                           "color/door/top/d0.kes", "color/door/top/d5.kes", "color/door/front/d4.kes",
                           "color/door/back/d5.kes", "color/door/front2/d4.kes"}) {
    const cv::Mat picture = ReadPicture(SampleCarDir() + "/" + name);
    ASSERT_EQ(picture.type(), CV_8UC4) << name;
    std::vector<cv::Mat> channels;
    cv::split(picture, channels);
    EXPECT_GT(cv::countNonZero(channels[3]), 200) << name;
  }
}

TEST(SampleTree, CommonPicturesDecodeWithTheirChannelsAndMarks) {
  const std::string common = SampleAssetsDir() + "/common/";
  for (const std::string& name : ExpectedCommonFiles()) {
    SCOPED_TRACE(name);
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) {
      continue;
    }
    const cv::Mat picture = ReadPicture(common + name);
    ASSERT_FALSE(picture.empty());
    ASSERT_EQ(picture.depth(), CV_8U);
    const bool plate = name == "plate/plate.png";
    EXPECT_EQ(picture.channels(), plate ? 3 : 4);
    sm::Mark mark;
    ASSERT_TRUE(sm::ReadMark(picture.ptr<std::uint8_t>(0), picture.cols, picture.rows, picture.channels(), &mark));
    if (plate) {
      EXPECT_EQ(mark.kind, sm::kKindPlatePicture);
      EXPECT_EQ(picture.cols, 80);
      EXPECT_EQ(picture.rows, 25);
    } else if (name.rfind("pressure/", 0) == 0) {
      EXPECT_EQ(mark.kind, sm::kKindPressureSheet);
      EXPECT_EQ(mark.group, name.find("number") != std::string::npos ? 1 : 0);
      EXPECT_EQ(mark.number, name[name.size() - 5] - '0');
    } else {
      EXPECT_EQ(mark.kind, sm::kKindCommonPicture);
      const char last = name[name.size() - 5];  // before ".png"
      if (last >= '0' && last <= '9') {
        EXPECT_EQ(mark.number, last - '0');
      } else {
        EXPECT_EQ(mark.number, sm::kNone);
      }
    }
  }
}

TEST(SampleTree, GlyphSheetsHaveTheChannelsAndCellsTheirGeneratorsNeed) {
  const std::string common = SampleAssetsDir() + "/common/";
  for (int style = 0; style < 3; ++style) {
    const std::string s = std::to_string(style);
    SCOPED_TRACE("style " + s);
    // Plate sheets: three channels; region glyphs 76 x 146, the 36
    // characters 0-9, A-Z in cells of 70 x 130.
    const cv::Mat regions = ReadConvertedPicture(common + "plate/simple" + s + ".bin");
    ASSERT_EQ(regions.type(), CV_8UC3);
    EXPECT_GE(regions.rows, 146);
    EXPECT_GE(regions.cols, 76 * 10);
    const cv::Mat characters = ReadConvertedPicture(common + "plate/number" + s + ".bin");
    ASSERT_EQ(characters.type(), CV_8UC3);
    EXPECT_GE(characters.rows, 130);
    EXPECT_GE(characters.cols, 70 * 36);
    // Tyre panel pictures: four channels; the sheet reaches the last label
    // cell (1540 + 210) in both rows, the background the last paste
    // (x 498 + 70, y 212 + 130).
    const cv::Mat glyphs = ReadConvertedPicture(common + "pressure/number" + s + ".bin");
    ASSERT_EQ(glyphs.type(), CV_8UC4);
    EXPECT_GE(glyphs.cols, 1750);
    EXPECT_GE(glyphs.rows, 260);
    const cv::Mat background = ReadConvertedPicture(common + "pressure/background" + s + ".bin");
    ASSERT_EQ(background.type(), CV_8UC4);
    EXPECT_GE(background.cols, 568);
    EXPECT_GE(background.rows, 342);
    // Each converted copy is its PNG with the signature replaced.
    for (const std::string& name : {"pressure/number" + s, "pressure/background" + s}) {
      const std::string png = ReadFile(common + name + ".png");
      const std::string bin = ReadFile(common + name + ".bin");
      ASSERT_EQ(png.size(), bin.size()) << name;
      ASSERT_GT(png.size(), 8u);
      EXPECT_EQ(bin.substr(0, 8), std::string("kes \x30\x0b\x09\x0c", 8));
      EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
      EXPECT_EQ(bin.substr(8), png.substr(8));
      EXPECT_LE(bin.size(), 512000u) << "the renderer converts at most 512000 bytes";
    }
    // Every cell the panel composer reads is drawn: each cell of row 0 differs
    // from a blank cell of the panel colour.
    const cv::Vec4b paper = glyphs.at<cv::Vec4b>(129, 1749);
    for (int cell = 0; cell < 25; ++cell) {
      const cv::Mat block = glyphs(cv::Rect(cell * 70, 0, 70, 130));
      int inked = 0;
      for (int row = 1; row < block.rows; ++row) {
        for (int column = 0; column < block.cols; ++column) {
          inked += block.at<cv::Vec4b>(row, column) != paper ? 1 : 0;
        }
      }
      EXPECT_GT(inked, 40) << "cell " << cell;
    }
  }
}

TEST(SampleTree, ObjectMeshIsWholeAndItsIndicesStayInRange) {
  const std::string bytes = ReadFile(SampleAssetsDir() + "/common/car.bin");
  ASSERT_GE(bytes.size(), 8u);
  auto word = [&](std::size_t at) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    return static_cast<std::uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
  };
  auto real = [&](std::size_t at) {
    const std::uint32_t bits = word(at);
    float value = 0.0f;
    std::memcpy(&value, &bits, 4);
    return value;
  };
  const std::int32_t vertices = static_cast<std::int32_t>(word(0));
  ASSERT_GT(vertices, 100);
  const std::size_t facesAt = 4 + 12 * static_cast<std::size_t>(vertices);
  ASSERT_LE(facesAt + 4, bytes.size());
  const std::int32_t faces = static_cast<std::int32_t>(word(facesAt));
  ASSERT_GT(faces, 30);
  ASSERT_EQ(bytes.size(), facesAt + 4 + 12 * static_cast<std::size_t>(faces)) << "nothing follows the triangles";
  for (std::int32_t i = 0; i < 3 * faces; ++i) {
    ASSERT_LT(word(facesAt + 4 + 4 * static_cast<std::size_t>(i)), static_cast<std::uint32_t>(vertices));
  }
  // The mesh's frame has y up and the car's front toward -z: its width,
  // height and length are the car's.
  float low[3] = {1e9f, 1e9f, 1e9f};
  float high[3] = {-1e9f, -1e9f, -1e9f};
  for (std::int32_t v = 0; v < vertices; ++v) {
    for (int k = 0; k < 3; ++k) {
      const float value = real(4 + 12 * static_cast<std::size_t>(v) + 4 * static_cast<std::size_t>(k));
      low[k] = std::min(low[k], value);
      high[k] = std::max(high[k], value);
    }
  }
  EXPECT_NEAR(low[1], 0.0f, 0.01f) << "standing on the ground";
  EXPECT_NEAR(high[1], 148.0f, 1.0f) << "roof height";
  EXPECT_NEAR(high[2] - low[2], 460.5f, 1.0f) << "bumper to bumper";
  EXPECT_NEAR(-low[2], high[2], 1.0f) << "centred along the car";
  EXPECT_GE(high[0] - low[0], 180.0f);
}

TEST(SampleTree, ParamsAndMarkerHaveTheSizesTheRendererChecks) {
  EXPECT_EQ(ReadFile(SampleCarDir() + "/params.bin").size(), 7136u);
  // The unpacker treats a package as up to date only when the marker has at
  // least 1000 bytes; selection needs more than 512.
  EXPECT_GE(ReadFile(SampleCarDir() + "/tires/right_30/f5.kes").size(), 1000u);
}
