#pragma once
// Cars the tests make for themselves: parameter files, whole-car images
// whose pixels say which angle they are, car directories and car packages
// (well-formed, or as broken as a test needs).
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

// Size of the test angle images.
constexpr int kAngleImageWidth = 12;
constexpr int kAngleImageHeight = 6;

// Package bytes, entry by entry.
class PackageBuilder {
 public:
  // A well-formed entry: lengths, name, data and trailer.
  PackageBuilder& Add(const std::string& name, const std::string& data);
  // Bytes as they are, for broken entries.
  PackageBuilder& Raw(const std::string& bytes);
  const std::string& bytes() const { return bytes_; }

  static std::string Int32(int32_t value);  // little-endian
  static std::string Trailer();

 private:
  std::string bytes_;
};

// A params.bin of 7136 bytes that passes every check of the car tables:
// car 4860 x 1860 mm, valid top, plate, tyre, camera and picture values and
// valid overlay tables.
std::string GoodParamsBin();

// The whole-car image of an angle: every pixel B = angle, G = 255 - angle,
// A = 255; R = 40 in the top half, 200 in the bottom half, so the row order
// shows as well.
cv::Mat AngleImage(int angle);
// True when RGBA texture pixels (read back) hold AngleImage(angle), bytes
// as decoded (the texture's R holds the image's B).
bool TextureShowsAngle(const std::vector<uint8_t>& rgba, int angle);

std::string EncodePng(const cv::Mat& image);
// A picture of at least 1000 bytes, as the marker file
// tires/right_30/f5.kes must be.
std::string MarkerBytes();

// The files of a car directory: paths inside it ('/'-separated) and bytes.
struct CarFiles {
  std::vector<std::pair<std::string, std::string>> files;
};

// params.bin, the marker and color/a/<n>.kes for each angle given.
CarFiles MakeCarFiles(const std::set<int>& angles);
// Writes the files below root + ".tmp/" + car + "/".
bool WriteCarDirectory(const std::string& root, const std::string& car, const CarFiles& files);
// The car as a package: entries named car\dir\file (backslashes).
std::string CarPackage(const std::string& car, const CarFiles& files);

// Every angle 0..191.
std::set<int> AllAngles();

// Every path below dir (files and directories), relative to it, sorted.
std::vector<std::string> ListTree(const std::string& dir);
