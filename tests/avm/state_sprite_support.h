#pragma once
// Helpers of the composed-sprite tests: textures the tests own, composed
// textures read back whole, and the sample kit's layer codes counted over
// them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/lib/sample_marks.h"

// A texture name of the test's own, deleted when it goes.
class TestTexture {
 public:
  TestTexture();
  ~TestTexture();
  TestTexture(const TestTexture&) = delete;
  TestTexture& operator=(const TestTexture&) = delete;
  int name() const { return static_cast<int>(name_); }

 private:
  uint32_t name_ = 0;
};

// A texture read back as a BGRA-ordered image (the texture's R, G, B, A
// hold the decoded B, G, R, A bytes), width x height; empty when the
// texture holds no image.
cv::Mat ReadTextureImage(int texture, int width, int height);

// How many opaque pixels carry each layer code.
std::map<int, int> LayerCounts(const cv::Mat& bgra);
int LayerCount(const std::map<int, int>& counts, int layer);

// The header mark of row 0, or kind 0 when there is none.
sample_marks::Mark ImageMark(const cv::Mat& bgra);

// Byte equality of two images of the same size and type.
bool SameImage(const cv::Mat& a, const cv::Mat& b);

// True when the pixel at (col, row) holds exactly the bytes of colour.
bool PixelIs(const cv::Mat& image, int col, int row, const cv::Scalar& colour);

// A flat BGRA image of one colour.
cv::Mat FlatImage(int width, int height, const cv::Scalar& bgra);
