#include "tests/avm/state_sprite_support.h"

#include <GLES2/gl2.h>

#include <cstring>

#include "tests/avm/avm_test_support.h"

TestTexture::TestTexture() {
  // Fixtures hold one as a member, made before their SetUp runs.
  StartTestGlContext();
  GLuint name = 0;
  glGenTextures(1, &name);
  name_ = name;
}

TestTexture::~TestTexture() {
  GLuint name = name_;
  glDeleteTextures(1, &name);
}

cv::Mat ReadTextureImage(int texture, int width, int height) {
  const std::vector<uint8_t> pixels = ReadTexture(static_cast<uint32_t>(texture), width, height);
  if (pixels.empty()) {
    return cv::Mat();
  }
  cv::Mat image(height, width, CV_8UC4);
  std::memcpy(image.data, pixels.data(), pixels.size());
  return image;
}

std::map<int, int> LayerCounts(const cv::Mat& bgra) {
  std::map<int, int> counts;
  for (int row = 0; row < bgra.rows; ++row) {
    const uint8_t* pixel = bgra.ptr<uint8_t>(row);
    for (int col = 0; col < bgra.cols; ++col, pixel += 4) {
      if (pixel[3] != 0) {
        ++counts[sample_marks::PixelLayer(pixel)];
      }
    }
  }
  return counts;
}

int LayerCount(const std::map<int, int>& counts, int layer) {
  const auto found = counts.find(layer);
  return found == counts.end() ? 0 : found->second;
}

sample_marks::Mark ImageMark(const cv::Mat& bgra) {
  sample_marks::Mark mark;
  mark.kind = 0;
  if (bgra.empty() || !sample_marks::ReadMark(bgra.ptr<uint8_t>(0), bgra.cols, bgra.rows, 4, &mark)) {
    mark = sample_marks::Mark();
    mark.kind = 0;
  }
  return mark;
}

bool SameImage(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) {
    return false;
  }
  for (int row = 0; row < a.rows; ++row) {
    if (std::memcmp(a.ptr(row), b.ptr(row), a.cols * a.elemSize()) != 0) {
      return false;
    }
  }
  return true;
}

cv::Mat FlatImage(int width, int height, const cv::Scalar& bgra) {
  return cv::Mat(height, width, CV_8UC4, bgra);
}

bool PixelIs(const cv::Mat& image, int col, int row, const cv::Scalar& colour) {
  const cv::Vec4b& pixel = image.at<cv::Vec4b>(row, col);
  for (int i = 0; i < 4; ++i) {
    if (pixel[i] != colour[i]) {
      return false;
    }
  }
  return true;
}
