#pragma once
// What the tests of the sample assets share: where the generated tree is,
// the names it must hold, pictures read the plain way, and params.bin read
// straight from its bytes (independently of the generator's own code).
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

std::string SampleCarDir();     // .../sample-car/demo
std::string SampleAssetsDir();  // .../sample-assets (holds common/)

// Every file the renderer's loaders read from a car directory, relative to it.
std::vector<std::string> ExpectedCarFiles();
// Every file of common/ the renderer and the image tools read, relative to common/.
std::vector<std::string> ExpectedCommonFiles();

// Regular files below a directory, relative paths with '/', sorted.
std::vector<std::string> ListFiles(const std::string& directory);

// cv::imread with alpha kept; empty when not decodable.
cv::Mat ReadPicture(const std::string& path);
// A converted ".bin" picture: the PNG signature put back in memory, then
// decoded with its stored channels; empty when that fails.
cv::Mat ReadConvertedPicture(const std::string& path);

// A params.bin read table by table from its bytes, in the file's order:
// 0 carSizeCur, 1 carTiresOffsetCur, 2 carCordCur, 3 carTop2Cur,
// 4 carPlateCordCur, 5 carTiresParamsCur, 6 carLookatAllCur, 7 carPicSizeCur,
// 8 carLampsOffset, 9 carDoorsOffset, 10 carLampsOffset2, 11 carDoorsOffset2,
// 12 carTiresOffset2.
class RawParams {
 public:
  explicit RawParams(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t size() const { return bytes_.size(); }
  static std::size_t TableOffset(int table);
  static std::size_t TableBytes(int table);
  // Element `index` of a table read as int32 or float32 (little-endian).
  std::int32_t Int(int table, int index) const;
  float Float(int table, int index) const;
  // Entry of a position table: x, y and the two words after them.
  struct Entry {
    int x, y, width, height;
  };
  Entry Position(int table, int entry) const;

 private:
  std::uint32_t Word(std::size_t offset) const;
  std::string bytes_;
};

enum ParamsTable {
  kCarSize = 0, kTiresOffset = 1, kCord = 2, kTop2 = 3, kPlateCord = 4, kTiresParams = 5, kLookat = 6,
  kPicSize = 7, kLampsOffset = 8, kDoorsOffset = 9, kLampsOffset2 = 10, kDoorsOffset2 = 11, kTiresOffset2 = 12,
};
