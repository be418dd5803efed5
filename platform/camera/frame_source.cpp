#include "platform/camera/frame_source.h"

#include <libyuv/convert_argb.h>

#include <algorithm>
#include <cstring>

#include "internal/platform_log.h"

namespace {

struct Tint {
  uint8_t v;
  uint8_t u;
  uint8_t r;
  uint8_t g;
  uint8_t b;
};

// One colour per camera position so that the quadrants tell apart at a glance.
constexpr Tint kTints[] = {
    {180, 110, 200, 70, 60},  {110, 180, 60, 90, 200},  {90, 90, 60, 180, 70},
    {170, 70, 210, 160, 40},  {150, 150, 180, 80, 190}, {128, 128, 128, 128, 128},
};

const Tint& TintOf(int cameraIndex) {
  const int count = static_cast<int>(sizeof(kTints) / sizeof(kTints[0]));
  return kTints[((cameraIndex % count) + count) % count];
}

// A diagonal ramp that drifts with the frame number and a bright box that
// runs across the picture: enough to see motion and spot torn frames.
void FillPatternYuv(HostFrame* f, int64_t n, int cameraIndex) {
  const int32_t w = f->width;
  const int32_t h = f->height;
  const int32_t box = std::max(2, h / 4);
  const int32_t boxX = static_cast<int32_t>((n * 6 + cameraIndex * (w / 4)) % std::max(1, w - box));
  const int32_t boxY = (h - box) / 2;
  const uint32_t shift = static_cast<uint32_t>(n * 4 + cameraIndex * 50);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = f->planeData[0] + static_cast<size_t>(y) * static_cast<size_t>(f->rowStride[0]);
    for (int32_t x = 0; x < w; ++x) {
      row[x] = static_cast<uint8_t>(40 + ((static_cast<uint32_t>(x + y) + shift) & 0x7F));
    }
    if (y >= boxY && y < boxY + box) {
      std::memset(row + boxX, 235, static_cast<size_t>(std::min(box, w - boxX)));
    }
  }
  const Tint& tint = TintOf(cameraIndex);
  uint8_t* vu = f->planeData[2];  // NV21: V first
  const int32_t pairs = (w + 1) / 2;
  for (int32_t y = 0; y < (h + 1) / 2; ++y) {
    uint8_t* row = vu + static_cast<size_t>(y) * static_cast<size_t>(f->rowStride[2]);
    const bool inBoxRows = y * 2 >= boxY && y * 2 < boxY + box;
    for (int32_t i = 0; i < pairs; ++i) {
      const bool inBox = inBoxRows && i * 2 >= boxX && i * 2 < boxX + box;
      row[2 * i] = inBox ? 128 : tint.v;
      row[2 * i + 1] = inBox ? 128 : tint.u;
    }
  }
}

void FillPatternRgba(HostFrame* f, int64_t n, int cameraIndex) {
  const Tint& tint = TintOf(cameraIndex);
  const int32_t w = f->width;
  const int32_t h = f->height;
  const int32_t box = std::max(2, h / 4);
  const int32_t boxX = static_cast<int32_t>((n * 6 + cameraIndex * (w / 4)) % std::max(1, w - box));
  const int32_t boxY = (h - box) / 2;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = f->planeData[0] + static_cast<size_t>(y) * static_cast<size_t>(f->rowStride[0]);
    const uint8_t shade = static_cast<uint8_t>((y * 128) / std::max(1, h));
    for (int32_t x = 0; x < w; ++x) {
      const bool inBox = y >= boxY && y < boxY + box && x >= boxX && x < boxX + box;
      uint8_t* px = row + static_cast<size_t>(x) * 4;
      px[0] = inBox ? 255 : static_cast<uint8_t>(tint.r / 2 + shade / 2);
      px[1] = inBox ? 255 : static_cast<uint8_t>(tint.g / 2 + shade / 2);
      px[2] = inBox ? 255 : static_cast<uint8_t>(tint.b / 2 + shade / 2);
      px[3] = 255;
    }
  }
}

}  // namespace

FrameSource::~FrameSource() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

size_t FrameSource::FileFrameBytes(int32_t width, int32_t height) {
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

bool FrameSource::OpenFile(const std::string& path) {
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) {
    HOSTPLAT_LOGE("camera source %s cannot be opened", path.c_str());
    return false;
  }
  path_ = path;
  return true;
}

bool FrameSource::Fill(HostFrame* frame, int64_t n, int cameraIndex) {
  if (!path_.empty()) {
    return FillFromFile(frame, n);
  }
  if (frame->format == 0x23) {
    FillPatternYuv(frame, n, cameraIndex);
  } else {
    FillPatternRgba(frame, n, cameraIndex);
  }
  return true;
}

bool FrameSource::FillFromFile(HostFrame* f, int64_t n) {
  if (file_ == nullptr) {
    return false;
  }
  const size_t frameBytes = FileFrameBytes(f->width, f->height);
  if (std::fseek(file_, 0, SEEK_END) != 0) {
    return false;
  }
  const long fileBytes = std::ftell(file_);
  const int64_t frames = fileBytes > 0 ? static_cast<int64_t>(static_cast<size_t>(fileBytes) / frameBytes) : 0;
  if (frames == 0) {
    if (!reportedShortFile_) {
      HOSTPLAT_LOGE("camera source %s holds no complete %dx%d frame", path_.c_str(), f->width,
                    f->height);
      reportedShortFile_ = true;
    }
    return false;
  }
  if (scratch_.size() != frameBytes) {
    scratch_.assign(frameBytes, 0);
  }
  const int64_t index = (n - 1) % frames;
  if (std::fseek(file_, static_cast<long>(static_cast<size_t>(index) * frameBytes), SEEK_SET) != 0 ||
      std::fread(scratch_.data(), 1, frameBytes, file_) != frameBytes) {
    return false;
  }
  const size_t w = static_cast<size_t>(f->width);
  const size_t h = static_cast<size_t>(f->height);
  const uint8_t* y = scratch_.data();
  const uint8_t* vu = y + w * h;
  const size_t vuRow = 2 * ((w + 1) / 2);
  if (f->format == 0x23) {
    for (size_t row = 0; row < h; ++row) {
      std::memcpy(f->planeData[0] + row * static_cast<size_t>(f->rowStride[0]), y + row * w, w);
    }
    for (size_t row = 0; row < (h + 1) / 2; ++row) {
      std::memcpy(f->planeData[2] + row * static_cast<size_t>(f->rowStride[2]), vu + row * vuRow, vuRow);
    }
  } else {
    // RGBA in memory order R, G, B, A is what libyuv calls ABGR.
    libyuv::NV21ToABGR(y, static_cast<int>(w), vu, static_cast<int>(vuRow), f->planeData[0],
                       f->rowStride[0], f->width, f->height);
  }
  return true;
}
