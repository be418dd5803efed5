#pragma once
// Writes the sample car: the directory tree of one car that the renderer
// reads below <asset root>.tmp/<name>/, rendered from the model of
// car_model.h with the cameras of sprite_setup.h, and its params.bin.
#include <cstddef>
#include <string>

#include <opencv2/core.hpp>

#include "tools/lib/car_model.h"
#include "tools/lib/sprite_setup.h"

namespace tools {

struct SampleCarReport {
  int files = 0;
  std::size_t bytes = 0;
  int overlays = 0;
  // Pixels that an overlay changes in the direct rendering of its state but
  // that the paste does not rebuild (for instance a straight wheel's edge
  // left beside a steered one), summed over all overlays.
  long residualPixels = 0;
  long overlayPixels = 0;
};

// Writes the car into `directory` (created when missing; existing files of
// the same names are replaced). False with a sentence in *error when a file
// cannot be written or the model does not fit the tables (an overlay outside
// its base picture, a car outside the frame).
bool WriteSampleCar(const std::string& directory, const SpriteSetup& sprites, const TopSetup& top,
                    SampleCarReport* report, std::string* error);

// The car in a pose at a sprite angle, as the generator renders it, cut to a
// rectangle of the full frame (for tests that compare composed pictures with
// direct renderings).
bool RenderSpriteRect(const car_model::Pose& pose, const SpriteSetup& sprites, int angle, const cv::Rect& rect,
                      cv::Mat* bgra, std::string* error);

}  // namespace tools
