#pragma once
// What the plate and tyre-panel tests share: an asset directory holding a
// copy of the sample kit's glyph sheets, the sheets decoded independently
// of the renderer, and file times set to chosen seconds.
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

// Makes dir/assets/ with common/plate/ and common/pressure/ copied from the
// sample kit (everything of common/ but the car package when wholeCommon)
// and returns it with its closing separator.
std::string MakeGlyphAssetRoot(const std::string& dir, bool wholeCommon = false);

// A fresh scene record whose asset directory is root, as initialisation
// leaves it (tyre start values included).
void UseSceneWithAssetRoot(const std::string& root);

// A converted (or plain) picture file decoded as stored: the magic replaced
// by the PNG signature here, then OpenCV with every channel kept.
cv::Mat DecodeForTest(const std::string& path);
// The converted form of a picture, written as the kit writes it.
bool WriteConvertedForTest(const std::string& path, const cv::Mat& picture);

void SetModifiedTime(const std::string& path, int64_t seconds);
int64_t ModifiedTime(const std::string& path);  // -1 when missing

// True when both pictures have the same size, type and every byte.
bool SamePicture(const cv::Mat& a, const cv::Mat& b);
