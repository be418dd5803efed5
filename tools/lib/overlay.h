#pragma once
// Overlays of the car's state images: what changes between the plain view
// and a view with a wheel turned, a lamp lit or a door open, cut so that the
// renderer's two paste operations rebuild the changed view from the plain
// one.
//
//  - Opaque-pixel paste (wheels, lamps): every overlay pixel with a non-zero
//    alpha byte replaces the base pixel.
//  - Opaque-span paste (doors): in each overlay row, every pixel from the
//    first to the last opaque one replaces the base pixel, transparent ones
//    included.
#include <cstdint>

#include <opencv2/core.hpp>

#include "tools/lib/raster.h"

namespace tools {

enum class PasteKind { kOpaquePixels, kOpaqueSpans };

// What one variant contributes, in the coordinates of the rendered region.
struct OverlayContent {
  cv::Mat pixels;  // CV_8UC4 region-sized: the variant's pixels where the overlay has them, zero elsewhere
  cv::Rect bounds; // bounding box of those pixels inside the region (empty when nothing changes)
};

// The overlay that turns `base` into `variant` (both rendered over the same
// region) for the model parts `parts`: the pixels where those parts show in
// either picture and, for span overlays, every pixel that differs. A pixel
// paste cannot make an opaque pixel transparent, so such pixels are left out;
// a span keeps them as long as an opaque pixel lies on each side in its row.
OverlayContent ExtractOverlay(const RenderedRegion& base, const RenderedRegion& variant, std::uint32_t parts,
                              PasteKind kind);

// The two paste operations, clipped to the target. The overlay's top-left
// pixel goes to (x, y) of the target.
void PasteOpaquePixels(const cv::Mat& overlay, int x, int y, cv::Mat* target);
void PasteOpaqueSpans(const cv::Mat& overlay, int x, int y, cv::Mat* target);

// Number of pixels whose bytes differ between two images of the same size,
// ignoring the two low bits of the colour bytes, where the sample kit keeps
// its marks.
int CountDifferentPixels(const cv::Mat& a, const cv::Mat& b);

}  // namespace tools
