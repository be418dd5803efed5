#include "tests/avm/sprite_pixels.h"

#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cmath>

#include "avm/bridge/scene_state.h"
#include "host/egl/host_egl.h"
#include "tests/avm/avm_test_support.h"

namespace sm = sample_marks;

// A texture's image of the given size, read back. GL ES cannot tell a
// texture's size: the callers take it from the car file it was made from.
Picture TexturePicture(uint32_t texture, int width, int height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgba = ReadTexture(texture, width, height);
  return picture;
}

// How many opaque pixels carry each layer code.
std::map<int, int> LayerCounts(const Picture& picture) {
  std::map<int, int> counts;
  if (picture.rgba.size() != static_cast<size_t>(picture.width) * picture.height * 4) {
    ADD_FAILURE() << "the texture holds no image of " << picture.width << " x " << picture.height;
    return counts;
  }
  for (int y = 1; y < picture.height; ++y) {  // row 0 carries the header mark
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* p = picture.at(x, y);
      if (p[3] != 0) {
        ++counts[sm::PixelLayer(p)];
      }
    }
  }
  return counts;
}

bool Has(const std::map<int, int>& counts, int layer) {
  auto it = counts.find(layer);
  return it != counts.end() && it->second > 0;
}

// Layer codes of wheels and lamps that a composed image may carry.
std::set<int> OverlayLayers(const std::map<int, int>& counts) {
  std::set<int> layers;
  for (const auto& [layer, count] : counts) {
    if (layer >= sm::kLayerFrontWheel && layer < sm::kLayerLight2 && count > 0) {
      layers.insert(layer);
    }
  }
  return layers;
}

// Checks that the frame shows the picture on the quad (device coordinates)
// inside the viewport, sampled nearest, over black; and black elsewhere.
// Pixels whose centre falls within a hair of a texel or quad edge are left
// out: rounding decides those.
void ExpectFrameShows(const std::vector<uint8_t>& frame, const float* quad, const float* viewport,
                      const Picture& picture) {
  ASSERT_EQ(picture.rgba.size(), static_cast<size_t>(picture.width) * picture.height * 4);
  const float x0 = quad[0];
  const float x1 = quad[6];
  const float yBot = quad[1];
  const float yTop = quad[4];
  int compared = 0;
  int wrong = 0;
  for (int row = 0; row < kTestScreenHeight; ++row) {
    const int py = kTestScreenHeight - 1 - row;  // GL rows count from the bottom
    for (int px = 0; px < kTestScreenWidth; ++px) {
      const double nx = (px + 0.5 - viewport[0]) / viewport[2] * 2.0 - 1.0;
      const double ny = (py + 0.5 - viewport[1]) / viewport[3] * 2.0 - 1.0;
      const HostPixel got = HostEglPixel(frame, px, row);
      const double u = (nx - x0) / (x1 - x0) * picture.width;
      const double t = (yTop - ny) / (yTop - yBot) * picture.height;
      const bool insideViewport = nx > -1.0 && nx < 1.0 && ny > -1.0 && ny < 1.0;
      const bool inside = insideViewport && u > 0.0 && u < picture.width && t > 0.0 &&
                          t < picture.height;
      const double eu = std::fabs(u - std::round(u));
      const double et = std::fabs(t - std::round(t));
      if (eu < 0.02 || et < 0.02) {
        continue;
      }
      int r = 0, g = 0, b = 0;
      if (inside) {
        const uint8_t* texel = picture.at(static_cast<int>(u), static_cast<int>(t));
        r = texel[0] * texel[3] / 255;
        g = texel[1] * texel[3] / 255;
        b = texel[2] * texel[3] / 255;
      }
      ++compared;
      if (std::abs(got.r - r) > 2 || std::abs(got.g - g) > 2 || std::abs(got.b - b) > 2) {
        ++wrong;
      }
    }
  }
  EXPECT_GT(compared, kTestScreenWidth * kTestScreenHeight / 2);
  EXPECT_EQ(wrong, 0) << "of " << compared << " pixels";
}

void Nearest(uint32_t texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void NearestCarTextures(const ViewParam* scene) {
  for (const auto& row : scene->frameTextures) {
    for (uint32_t texture : row) {
      Nearest(texture);
    }
  }
  for (const AngleTexture& angle : scene->angleTextures) {
    Nearest(angle.texture);
  }
  Nearest(scene->topViewTexture);
}
