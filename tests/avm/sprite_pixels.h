#pragma once
// Pixels of the sample car's pictures as the renderer's tests see them: a
// texture read back, the layer code the sample kit hides in every opaque
// pixel (which file or overlay it came from), and a check that a frame
// shows a picture on a quad exactly.
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "tools/lib/sample_marks.h"

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* at(int x, int y) const {
    return &rgba[(static_cast<size_t>(y) * width + x) * 4];
  }
};

// A texture's image of the given size, read back. GL ES cannot tell a
// texture's size: the callers take it from the car file it was made from.
Picture TexturePicture(uint32_t texture, int width, int height);

// How many opaque pixels carry each layer code (row 0, the header mark, left
// out). A picture without pixels fails the test and gives no counts.
std::map<int, int> LayerCounts(const Picture& picture);
bool Has(const std::map<int, int>& counts, int layer);

// Layer codes of wheels, lamps and doors that a composed image carries.
std::set<int> OverlayLayers(const std::map<int, int>& counts);

// Checks that the frame (read back, rows top first) shows the picture on
// the quad (device coordinates, vertex order bottom-left, top-left,
// bottom-right, top-right) inside the viewport (x, y, w, h), sampled
// nearest, over black; and black elsewhere. Pixels whose centre falls
// within a hair of a texel or quad edge are left out: rounding decides them.
void ExpectFrameShows(const std::vector<uint8_t>& frame, const float* quad, const float* viewport,
                      const Picture& picture);

// Gives a texture nearest sampling, so that a frame shows its texels
// unblended.
void Nearest(uint32_t texture);

// The same for every car texture of the scene: the whole-car images of all
// angles, the cached state images and the top view.
struct ViewParam;
void NearestCarTextures(const ViewParam* scene);
