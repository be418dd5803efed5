#pragma once
// PNG encoding with fixed settings, so that the same pixels always give the
// same bytes, and decoding that also takes the converted ".bin" form.
#include <string>

#include <opencv2/core.hpp>

namespace tools {

// Encodes an 8-bit image of 1, 3 or 4 channels as PNG.
bool EncodePng(const cv::Mat& image, std::string* png, std::string* error);

// Encodes and writes the image (replacing the file as a whole).
bool WritePng(const std::string& path, const cv::Mat& image, std::string* error);

// Decodes PNG bytes, or the converted form whose signature was replaced,
// keeping the stored channels (alpha included). False when the bytes are not
// a picture OpenCV can read.
bool DecodeImage(const std::string& bytes, cv::Mat* image, std::string* error);

}  // namespace tools
