#include "tests/tools/sample_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "tests/support/process_runner.h"

std::string SampleCarDir() { return SAMPLE_CAR_DIR; }
std::string SampleAssetsDir() { return SAMPLE_ASSETS_DIR; }

std::vector<std::string> ExpectedCarFiles() {
  std::vector<std::string> names = {"params.bin", "color/light1.kes", "color/light2.kes", "color/warning2.kes"};
  for (int angle = 0; angle < 192; ++angle) {
    names.push_back("color/a/" + std::to_string(angle) + ".kes");
  }
  for (const char* top : {"0000", "1000", "0100", "0010", "0001", "1111"}) {
    names.push_back(std::string("color/top/top") + top + ".kes");
  }
  for (int f = 0; f < 6; ++f) {
    const std::string frame = std::to_string(f) + ".kes";
    for (const char* side : {"left", "right"}) {
      names.push_back(std::string("tires/") + side + "/f" + frame);
      names.push_back(std::string("tires/") + side + "/b" + frame);
      for (const char* steer : {"_10", "_20", "_30"}) {
        names.push_back(std::string("tires/") + side + steer + "/f" + frame);
      }
    }
    for (const char* folder : {"1", "25", "73", "97"}) {
      names.push_back(std::string("tires/") + folder + "/f" + frame);
      names.push_back(std::string("tires/") + folder + "/b" + frame);
    }
  }
  for (const char* lamp : {"left/4", "right/5", "front/0", "front/1", "back/4", "back/5", "front2/0", "front2/1",
                           "front2/2", "front2/3"}) {
    names.push_back(std::string("color/light/") + lamp + ".kes");
  }
  for (const char* group : {"left", "right", "top", "front", "back", "front2"}) {
    for (int k = 0; k < 6; ++k) {
      names.push_back(std::string("color/door/") + group + "/d" + std::to_string(k) + ".kes");
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ExpectedCommonFiles() {
  std::vector<std::string> names = {"line.png", "tire_warning.png", "power_low.png", "leak.png",
                                    "pressure_low.png", "pressure_high.png", "temperature_high.png", "tire_ok.png",
                                    "safe_line.png", "logo.png", "plate/plate.png", "car.bin", "demo.car"};
  for (int n = 1; n <= 3; ++n) {
    names.push_back("car_bottom" + std::to_string(n) + ".png");
  }
  for (int n = 0; n <= 4; ++n) {
    names.push_back("background" + std::to_string(n) + ".png");
  }
  for (int n = 0; n <= 2; ++n) {
    names.push_back("roadway" + std::to_string(n) + ".png");
  }
  for (int n = 0; n <= 7; ++n) {
    names.push_back("lane" + std::to_string(n) + ".png");
  }
  for (int s = 0; s <= 2; ++s) {
    const std::string style = std::to_string(s);
    for (const char* name : {"plate/simple", "plate/number"}) {
      names.push_back(name + style + ".bin");
    }
    for (const char* name : {"pressure/background", "pressure/number"}) {
      names.push_back(name + style + ".png");
      names.push_back(name + style + ".bin");
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ListFiles(const std::string& directory) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (entry.is_regular_file()) {
      files.push_back(std::filesystem::relative(entry.path(), directory).generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

cv::Mat ReadPicture(const std::string& path) { return cv::imread(path, cv::IMREAD_UNCHANGED); }

cv::Mat ReadConvertedPicture(const std::string& path) {
  std::string bytes = ReadFile(path);
  if (bytes.size() < 8) {
    return cv::Mat();
  }
  bytes.replace(0, 8, "\x89PNG\r\n\x1a\n", 8);
  const std::vector<unsigned char> buffer(bytes.begin(), bytes.end());
  return cv::imdecode(buffer, cv::IMREAD_UNCHANGED);
}

std::size_t RawParams::TableBytes(int table) {
  static const std::size_t kBytes[13] = {12, 64, 3072, 20, 96, 24, 24, 16, 192, 288, 1664, 1248, 416};
  return kBytes[table];
}

std::size_t RawParams::TableOffset(int table) {
  std::size_t offset = 0;
  for (int t = 0; t < table; ++t) {
    offset += TableBytes(t);
  }
  return offset;
}

std::uint32_t RawParams::Word(std::size_t offset) const {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes_.data()) + offset;
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::int32_t RawParams::Int(int table, int index) const {
  return static_cast<std::int32_t>(Word(TableOffset(table) + 4 * static_cast<std::size_t>(index)));
}

float RawParams::Float(int table, int index) const {
  const std::uint32_t bits = Word(TableOffset(table) + 4 * static_cast<std::size_t>(index));
  float value = 0.0f;
  std::memcpy(&value, &bits, 4);
  return value;
}

RawParams::Entry RawParams::Position(int table, int entry) const {
  return {Int(table, 4 * entry), Int(table, 4 * entry + 1), Int(table, 4 * entry + 2), Int(table, 4 * entry + 3)};
}
