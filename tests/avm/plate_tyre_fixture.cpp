#include "tests/avm/plate_tyre_fixture.h"

#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "avm/bridge/scene_state.h"
#include "tests/support/process_runner.h"

namespace fs = std::filesystem;

std::string MakeGlyphAssetRoot(const std::string& dir, bool wholeCommon) {
  const fs::path root = fs::path(dir) / "assets";
  const fs::path sample = fs::path(AVM_SAMPLE_ASSETS_DIR) / "common";
  fs::create_directories(root / "common");
  if (wholeCommon) {
    for (const auto& entry : fs::directory_iterator(sample)) {
      if (entry.path().filename() != "demo.car") {
        fs::copy(entry.path(), root / "common" / entry.path().filename(),
                 fs::copy_options::recursive);
      }
    }
  } else {
    fs::copy(sample / "plate", root / "common" / "plate", fs::copy_options::recursive);
    fs::copy(sample / "pressure", root / "common" / "pressure", fs::copy_options::recursive);
  }
  return root.string() + "/";
}

void UseSceneWithAssetRoot(const std::string& root) {
  ViewParam* scene = AllocateSceneState();
  std::snprintf(scene->assetRoot, sizeof(scene->assetRoot), "%s", root.c_str());
  for (int i = 0; i < 4; ++i) {
    scene->tirePressure[i] = -1;
    scene->tireTemperature[i] = 100;
  }
}

cv::Mat DecodeForTest(const std::string& path) {
  std::string bytes = ReadFile(path);
  if (bytes.size() < 8) {
    return cv::Mat();
  }
  std::memcpy(&bytes[0], "\x89PNG\r\n\x1a\n", 8);
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  return cv::imdecode(data, cv::IMREAD_UNCHANGED);
}

bool WriteConvertedForTest(const std::string& path, const cv::Mat& picture) {
  std::vector<uint8_t> png;
  if (!cv::imencode(".png", picture, png)) {
    return false;
  }
  std::memcpy(png.data(), "kes \x30\x0b\x09\x0c", 8);
  return WriteFile(path, std::string(png.begin(), png.end()));
}

void SetModifiedTime(const std::string& path, int64_t seconds) {
  struct utimbuf times;
  times.actime = static_cast<time_t>(seconds);
  times.modtime = static_cast<time_t>(seconds);
  utime(path.c_str(), &times);
}

int64_t ModifiedTime(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    return -1;
  }
  return static_cast<int64_t>(info.st_mtime);
}

bool SamePicture(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size() || a.type() != b.type()) {
    return false;
  }
  cv::Mat difference;
  cv::absdiff(a, b, difference);
  return cv::countNonZero(difference.reshape(1)) == 0;
}
