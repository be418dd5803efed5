#include "tests/avm/driver_view.h"

#include <GLES2/gl2.h>

#include <algorithm>
#include <cmath>

#include "tests/avm/avm_test_support.h"
#include "tools/lib/sample_marks.h"

namespace sm = sample_marks;

namespace {

// The columns and rows of the test screen inside a viewport, both counted
// as GL counts them (rows from the bottom); right and top exclusive.
struct PixelBox {
  int left, right, bottom, top;
};

PixelBox BoxOf(const float* viewport) {
  PixelBox box;
  box.left = std::max(0, static_cast<int>(std::floor(viewport[0])));
  box.right = std::min(Screen::kWidth, static_cast<int>(std::ceil(viewport[0] + viewport[2])));
  box.bottom = std::max(0, static_cast<int>(std::floor(viewport[1])));
  box.top = std::min(Screen::kHeight, static_cast<int>(std::ceil(viewport[1] + viewport[3])));
  return box;
}

bool IsFrontWheel(int layer) {
  return (layer >= sm::kLayerFrontWheel && layer < sm::kLayerBackWheel) ||
         (layer >= sm::kLayerFrontWheelSteer10 && layer < sm::kLayerLamp);
}

bool IsBackWheel(int layer) {
  return layer >= sm::kLayerBackWheel && layer < sm::kLayerFrontWheelSteer10;
}

// Where a frame pixel's centre falls in a picture on a quad, along one
// axis: the texel index, whether the centre is clear of a texel edge (within
// a hair of one, rounding decides the texel), and whether it is inside.
struct TexelAxis {
  int index = -1;
  bool usable = false;
  bool inside = false;
};

TexelAxis AxisOf(double position, int size) {
  TexelAxis axis;
  if (!(position > -1e6 && position < 1e6)) {
    return axis;  // a quad without width or height: nothing falls inside
  }
  axis.index = static_cast<int>(std::floor(position));
  axis.usable = std::fabs(position - std::round(position)) >= 0.02;
  axis.inside = position > 0.0 && position < size;
  return axis;
}

}  // namespace

void Screen::Read(const float* rect) {
  static_assert(kWidth == kTestScreenWidth && kHeight == kTestScreenHeight,
                "the screen of the renderer's tests");
  const PixelBox box = BoxOf(rect);
  left_ = box.left;
  right_ = std::max(box.left, box.right);
  bottom_ = box.bottom;
  top_ = std::max(box.bottom, box.top);
  if (right_ > left_ && top_ > bottom_) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(left_, bottom_, right_ - left_, top_ - bottom_, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba_.data());
  }
}

void Screen::Read() {
  const float whole[4] = {0.0f, 0.0f, static_cast<float>(kWidth), static_cast<float>(kHeight)};
  Read(whole);
}

bool Screen::Black() const {
  const size_t bytes =
      static_cast<size_t>(right_ - left_) * static_cast<size_t>(top_ - bottom_) * 4;
  for (size_t i = 0; i < bytes; i += 4) {
    if ((rgba_[i] | rgba_[i + 1] | rgba_[i + 2]) != 0) {
      return false;
    }
  }
  return true;
}

void QuadRect(const float* viewport, const float* quad, float margin, float* rect) {
  const float x0 = std::min(quad[0], quad[6]);
  const float x1 = std::max(quad[0], quad[6]);
  const float y0 = std::min(quad[1], quad[4]);
  const float y1 = std::max(quad[1], quad[4]);
  const float left = std::max(viewport[0], viewport[0] + (x0 + 1.0f) * 0.5f * viewport[2] - margin);
  const float right =
      std::min(viewport[0] + viewport[2], viewport[0] + (x1 + 1.0f) * 0.5f * viewport[2] + margin);
  const float bottom =
      std::max(viewport[1], viewport[1] + (y0 + 1.0f) * 0.5f * viewport[3] - margin);
  const float top =
      std::min(viewport[1] + viewport[3], viewport[1] + (y1 + 1.0f) * 0.5f * viewport[3] + margin);
  rect[0] = left;
  rect[1] = bottom;
  rect[2] = std::max(0.0f, right - left);
  rect[3] = std::max(0.0f, top - bottom);
}

int SolidLayerOf(const uint8_t* pixel) {
  return pixel[3] == 255 ? sm::PixelLayer(pixel) : sm::kLayerNone;
}

namespace {

// The part of a box that was read.
PixelBox WithinRead(const Screen& screen, const PixelBox& box) {
  PixelBox within;
  within.left = std::max(box.left, screen.left());
  within.right = std::min(box.right, screen.right());
  within.bottom = std::max(box.bottom, screen.bottom());
  within.top = std::min(box.top, screen.top());
  return within;
}

std::map<int, int> LayerMap(const int (&counts)[64]) {
  std::map<int, int> layers;
  for (int layer = 1; layer < 64; ++layer) {
    if (counts[layer] > 0) {
      layers[layer] = counts[layer];
    }
  }
  return layers;
}

}  // namespace

std::map<int, int> SeenLayers(const Screen& screen, const float* viewport) {
  int counts[64] = {};
  const PixelBox box = WithinRead(screen, BoxOf(viewport));
  for (int y = box.bottom; y < box.top; ++y) {
    const uint8_t* pixel = screen.at(box.left, y);
    for (int x = box.left; x < box.right; ++x, pixel += 4) {
      ++counts[SolidLayerOf(pixel)];
    }
  }
  return LayerMap(counts);
}

CarSighting SightCar(const Screen& screen, const float* viewport, const float* quad,
                     const Picture& base) {
  CarSighting sighting;
  int counts[64] = {};
  const PixelBox box = WithinRead(screen, BoxOf(viewport));
  const bool baseValid = base.width > 0 && base.height > 0 &&
                         base.rgba.size() == static_cast<size_t>(base.width) * base.height * 4;
  const double x0 = quad[0];
  const double x1 = quad[6];
  const double yBot = quad[1];
  const double yTop = quad[4];
  // The texel column depends on the frame column alone, the row on the row.
  std::vector<TexelAxis> columns(static_cast<size_t>(Screen::kWidth));
  for (int x = box.left; x < box.right && baseValid; ++x) {
    const double nx = (x + 0.5 - viewport[0]) / viewport[2] * 2.0 - 1.0;
    columns[static_cast<size_t>(x)] = AxisOf((nx - x0) / (x1 - x0) * base.width, base.width);
  }
  for (int y = box.bottom; y < box.top; ++y) {
    const double ny = (y + 0.5 - viewport[1]) / viewport[3] * 2.0 - 1.0;
    // Texture row 0 is the picture's top row, at the quad's top edge.
    const TexelAxis row =
        baseValid ? AxisOf((yTop - ny) / (yTop - yBot) * base.height, base.height) : TexelAxis();
    const uint8_t* pixel = screen.at(box.left, y);
    for (int x = box.left; x < box.right; ++x, pixel += 4) {
      const int layer = SolidLayerOf(pixel);
      ++counts[layer];
      const TexelAxis& column = columns[static_cast<size_t>(x)];
      if (!column.usable || !row.usable) {
        continue;  // rounding decides this pixel
      }
      if (!column.inside || !row.inside) {
        sighting.wrong += layer == sm::kLayerWholeCar ? 1 : 0;
        continue;
      }
      const uint8_t* texel = base.at(column.index, row.index);
      // Row 0 of every sprite is transparent: it carries the picture's mark.
      const bool baseShows =
          row.index > 0 && texel[3] == 255 && sm::PixelLayer(texel) == sm::kLayerWholeCar;
      sighting.expected += baseShows ? 1 : 0;
      if (layer != sm::kLayerWholeCar) {
        continue;  // an overlay, a hole an overlay made, or nothing
      }
      if (baseShows && pixel[0] == texel[0] && pixel[1] == texel[1] && pixel[2] == texel[2]) {
        ++sighting.matched;
      } else {
        ++sighting.wrong;
      }
    }
  }
  sighting.layers = LayerMap(counts);
  return sighting;
}

int DoorsOfImages(const std::set<int>& images) {
  // Image k: 0 flag 0, 1 flag 2, 4 flags 0 and 2, 2 flag 1, 3 flag 3, 5 flags 1 and 3.
  static const int kDoorsOfImage[6] = {0x1, 0x4, 0x2, 0x8, 0x5, 0xA};
  int doors = 0;
  for (int k : images) {
    if (k >= 0 && k < 6) {
      doors |= kDoorsOfImage[k];
    }
  }
  return doors;
}

std::set<int> DoorImagesOf(int doors) {
  std::set<int> images;
  const bool d0 = (doors & 0x1) != 0;
  const bool d1 = (doors & 0x2) != 0;
  const bool d2 = (doors & 0x4) != 0;
  const bool d3 = (doors & 0x8) != 0;
  if (d0 || d2) {
    images.insert(d0 && d2 ? 4 : (d0 ? 0 : 1));
  }
  if (d1 || d3) {
    images.insert(d1 && d3 ? 5 : (d1 ? 2 : 3));
  }
  return images;
}

CarParts PartsOf(const std::map<int, int>& layers) {
  CarParts parts;
  for (const auto& [layer, count] : layers) {
    if (count <= 0) {
      continue;
    }
    if (IsFrontWheel(layer)) {
      parts.frontWheels.insert(layer);
    } else if (IsBackWheel(layer)) {
      parts.backWheels.insert(layer);
    } else if (layer >= sm::kLayerLamp && layer < sm::kLayerDoor) {
      parts.lamps.insert(layer - sm::kLayerLamp);
    } else if (layer >= sm::kLayerDoor && layer < sm::kLayerLight2) {
      parts.doorImages.insert(layer - sm::kLayerDoor);
    }
  }
  return parts;
}

int SteerSetOf(int frontWheelLayer) {
  if (frontWheelLayer < sm::kLayerFrontWheelSteer10) {
    return 0;
  }
  return 10 * (1 + (frontWheelLayer - sm::kLayerFrontWheelSteer10) / 6);
}

int WheelFrameOf(int wheelLayer) {
  if (wheelLayer >= sm::kLayerFrontWheelSteer10) {
    return (wheelLayer - sm::kLayerFrontWheelSteer10) % 6;
  }
  if (wheelLayer >= sm::kLayerBackWheel) {
    return wheelLayer - sm::kLayerBackWheel;
  }
  return wheelLayer - sm::kLayerFrontWheel;
}
