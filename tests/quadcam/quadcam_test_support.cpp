#include "tests/quadcam/quadcam_test_support.h"

#include <cstdio>
#include <random>

const char* const kSlotIds[4] = {"2", "3", "4", "5"};

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) {
    b = static_cast<uint8_t>(random());
  }
  return bytes;
}

Nv21Frame RandomNv21(int32_t width, int32_t height, uint32_t seed) {
  Nv21Frame f;
  f.width = width;
  f.height = height;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  f.bytes = RandomBytes(w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2), seed);
  return f;
}

Nv21Frame ConstantNv21(int32_t width, int32_t height, uint8_t y, uint8_t v, uint8_t u) {
  Nv21Frame f = RandomNv21(width, height, 1);
  const size_t luma = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < f.bytes.size(); ++i) {
    f.bytes[i] = i < luma ? y : (((i - luma) & 1) == 0 ? v : u);
  }
  return f;
}

std::vector<uint8_t> ExpectedNv21Mosaic(const Nv21Frame* frames[4], int32_t w, int32_t h) {
  const size_t W = static_cast<size_t>(w);
  const size_t H = static_cast<size_t>(h);
  const size_t stride = 2 * W;
  std::vector<uint8_t> mosaic(stride * 3 * H, 0);
  for (size_t k = 0; k < 4; ++k) {
    const size_t col = (k % 2) * W;
    for (size_t y = 0; y < H; ++y) {
      for (size_t x = 0; x < W; ++x) {
        mosaic[((k / 2) * H + y) * stride + col + x] = frames[k]->y()[y * W + x];
      }
    }
    for (size_t y = 0; y < H / 2; ++y) {
      for (size_t x = 0; x < W; ++x) {
        mosaic[(2 * H + (k / 2) * (H / 2) + y) * stride + col + x] =
            frames[k]->vu()[y * frames[k]->vuRowBytes() + x];
      }
    }
  }
  return mosaic;
}

std::vector<uint8_t> ExpectedRgbaMosaic(const std::vector<uint8_t>* frames[4], int32_t w, int32_t h) {
  const size_t W = static_cast<size_t>(w);
  const size_t H = static_cast<size_t>(h);
  const size_t stride = 2 * W * 4;
  std::vector<uint8_t> mosaic(stride * 2 * H, 0);
  for (size_t k = 0; k < 4; ++k) {
    for (size_t y = 0; y < H; ++y) {
      for (size_t x = 0; x < W * 4; ++x) {
        mosaic[((k / 2) * H + y) * stride + (k % 2) * W * 4 + x] = (*frames[k])[y * W * 4 + x];
      }
    }
  }
  return mosaic;
}

std::vector<uint8_t> LastPostedBuffer(ANativeWindow* window, HostPostedFrame* info) {
  HostPostedFrame described{};
  HostWindow_copyLastPosted(window, &described, nullptr, 0);
  std::vector<uint8_t> buffer(described.size);
  if (described.size > 0) {
    HostWindow_copyLastPosted(window, &described, buffer.data(), buffer.size());
  }
  if (info != nullptr) {
    *info = described;
  }
  return buffer;
}

std::vector<uint8_t> LastPostedPicture(ANativeWindow* window, HostPostedFrame* info) {
  HostPostedFrame described{};
  const std::vector<uint8_t> buffer = LastPostedBuffer(window, &described);
  if (info != nullptr) {
    *info = described;
  }
  std::vector<uint8_t> picture;
  if (buffer.empty()) {
    return picture;
  }
  const size_t w = static_cast<size_t>(described.width);
  const size_t h = static_cast<size_t>(described.height);
  const size_t stride = static_cast<size_t>(described.stride);
  size_t rows = h;
  size_t rowBytes = w;
  size_t strideBytes = stride;
  if (described.format == 1 || described.format == 2) {
    rowBytes = 4 * w;
    strideBytes = 4 * stride;
  } else {
    rows = h + (h + 1) / 2;
  }
  for (size_t r = 0; r < rows; ++r) {
    picture.insert(picture.end(), buffer.begin() + static_cast<std::ptrdiff_t>(r * strideBytes),
                   buffer.begin() + static_cast<std::ptrdiff_t>(r * strideBytes + rowBytes));
  }
  return picture;
}

bool WriteNv21File(const std::string& path, const std::vector<Nv21Frame>& frames) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  bool ok = true;
  for (const Nv21Frame& f : frames) {
    ok = ok && std::fwrite(f.bytes.data(), 1, f.bytes.size(), file) == f.bytes.size();
  }
  return std::fclose(file) == 0 && ok;
}
