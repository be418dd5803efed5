#include "tests/avm/car_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "avm/view/car_params.h"
#include "tests/support/process_runner.h"

PackageBuilder& PackageBuilder::Add(const std::string& name, const std::string& data) {
  bytes_ += Int32(static_cast<int32_t>(name.size())) + name;
  bytes_ += Int32(static_cast<int32_t>(data.size())) + data + Trailer();
  return *this;
}

PackageBuilder& PackageBuilder::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

std::string PackageBuilder::Int32(int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  }
  return bytes;
}

std::string PackageBuilder::Trailer() { return std::string("\x11\x22\x33\x44", 4); }

namespace {

template <typename T>
void Put(std::string* bytes, std::size_t offset, const T& value) {
  std::memcpy(&(*bytes)[offset], &value, sizeof(value));
}

void PutPosition(std::string* bytes, std::size_t tableOffset, int entry, int32_t x, int32_t y) {
  Put(bytes, tableOffset + static_cast<std::size_t>(entry) * 16, x);
  Put(bytes, tableOffset + static_cast<std::size_t>(entry) * 16 + 4, y);
}

}  // namespace

std::string GoodParamsBin() {
  std::string bytes(kParamsFileSize, '\0');
  // Offsets of the tables, in file order.
  const std::size_t size = 0, tires = 12, cord = 76, top = 3148, plate = 3168, tireParams = 3264,
                    lookat = 3288, pic = 3312, lamps = 3328, doors = 3520, lamps2 = 3808,
                    doors2 = 5472, tires2 = 6720;
  static_assert(6720 + 416 == 7136, "table offsets add up");
  Put(&bytes, size, int32_t{4860});
  Put(&bytes, size + 4, int32_t{1860});
  PutPosition(&bytes, tires, 0, 30, 40);
  for (int angle = 0; angle < 192; ++angle) {
    const float area[4] = {10.0f, 20.0f, 300.0f, 200.0f};
    std::memcpy(&bytes[cord + static_cast<std::size_t>(angle) * 16], area, sizeof(area));
  }
  const float topValues[5] = {180.0f, 480.0f, 20.0f, 200.0f, 520.0f};
  std::memcpy(&bytes[top], topValues, sizeof(topValues));
  Put(&bytes, plate + 8, 5.0f);
  const float tireValues[6] = {80.0f, 130.0f, 5.0f, 0.0f, 0.0f, 0.0f};
  std::memcpy(&bytes[tireParams], tireValues, sizeof(tireValues));
  const float lookatValues[6] = {240.0f, 520.0f, 70.0f, 15.0f, 60.0f, 1.71f};
  std::memcpy(&bytes[lookat], lookatValues, sizeof(lookatValues));
  const float picValues[4] = {663.0f, 522.0f, 1018.0f, 595.0f};
  std::memcpy(&bytes[pic], picValues, sizeof(picValues));
  PutPosition(&bytes, lamps, 4, 12, 13);
  PutPosition(&bytes, doors, 0, 14, 15);
  PutPosition(&bytes, lamps2, 4, 16, 17);
  PutPosition(&bytes, doors2, 18, 18, 19);
  PutPosition(&bytes, tires2, 6, 20, 21);
  return bytes;
}

cv::Mat AngleImage(int angle) {
  cv::Mat image(kAngleImageHeight, kAngleImageWidth, CV_8UC4,
                cv::Scalar(angle, 255 - angle, 40, 255));
  image.rowRange(kAngleImageHeight / 2, kAngleImageHeight).setTo(cv::Scalar(angle, 255 - angle, 200, 255));
  return image;
}

bool TextureShowsAngle(const std::vector<uint8_t>& rgba, int angle) {
  if (rgba.size() != static_cast<std::size_t>(kAngleImageWidth) * kAngleImageHeight * 4) {
    return false;
  }
  for (int row = 0; row < kAngleImageHeight; ++row) {
    const int red = row < kAngleImageHeight / 2 ? 40 : 200;
    for (int col = 0; col < kAngleImageWidth; ++col) {
      const uint8_t* pixel = &rgba[(static_cast<std::size_t>(row) * kAngleImageWidth + col) * 4];
      // Decoded B, G, R, A land in the texture's R, G, B, A.
      if (pixel[0] != angle || pixel[1] != 255 - angle || pixel[2] != red || pixel[3] != 255) {
        return false;
      }
    }
  }
  return true;
}

std::string EncodePng(const cv::Mat& image) {
  std::vector<uint8_t> encoded;
  cv::imencode(".png", image, encoded);
  return std::string(encoded.begin(), encoded.end());
}

std::string MarkerBytes() {
  cv::Mat noise(32, 32, CV_8UC4);
  cv::RNG rng(0x5eed);
  rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
  return EncodePng(noise);
}

CarFiles MakeCarFiles(const std::set<int>& angles) {
  CarFiles car;
  car.files.emplace_back("params.bin", GoodParamsBin());
  car.files.emplace_back("tires/right_30/f5.kes", MarkerBytes());
  for (int angle : angles) {
    car.files.emplace_back("color/a/" + std::to_string(angle) + ".kes", EncodePng(AngleImage(angle)));
  }
  return car;
}

bool WriteCarDirectory(const std::string& root, const std::string& car, const CarFiles& files) {
  std::error_code error;
  for (const auto& [name, bytes] : files.files) {
    const std::filesystem::path path = root + ".tmp/" + car + "/" + name;
    std::filesystem::create_directories(path.parent_path(), error);
    if (!WriteFile(path.string(), bytes)) {
      return false;
    }
  }
  return true;
}

std::string CarPackage(const std::string& car, const CarFiles& files) {
  PackageBuilder package;
  for (const auto& [name, bytes] : files.files) {
    std::string entry = car + "/" + name;
    std::replace(entry.begin(), entry.end(), '/', '\\');
    package.Add(entry, bytes);
  }
  return package.bytes();
}

std::set<int> AllAngles() {
  std::set<int> angles;
  for (int angle = 0; angle < 192; ++angle) {
    angles.insert(angle);
  }
  return angles;
}

std::vector<std::string> ListTree(const std::string& dir) {
  std::vector<std::string> paths;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, error);
       it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (error) {
      break;
    }
    paths.push_back(std::filesystem::relative(it->path(), dir).string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}
