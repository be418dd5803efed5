#pragma once
// Small drawing helpers for the sample's flat pictures (icons, glyphs,
// backgrounds): text fitted into a box, a repeatable noise, and writing a
// picture with its identity mark.
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include "tools/lib/sample_common.h"
#include "tools/lib/sample_marks.h"

namespace tools {

// A repeatable pseudo-random value 0..255 for (x, y) and a seed; the same on
// every host and every run.
std::uint8_t Noise(int x, int y, int seed);

// Draws text as large as fits `fill` of the box (both ways), centred,
// antialiased, with the stroke weight given as a share of the text height.
void DrawFittedText(cv::Mat* canvas, const cv::Rect& box, const std::string& text, const cv::Scalar& colour,
                    double fill = 0.8, double weight = 0.12);

// Marks the picture (first row) and writes it as PNG, creating directories.
bool WriteMarkedPicture(const std::string& path, cv::Mat picture, const sample_marks::Mark& mark,
                        CommonReport* report, std::string* error);

sample_marks::Mark CommonMark(int kind, int group, int number);

}  // namespace tools
