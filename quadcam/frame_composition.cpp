// Frame composition: every image a camera delivers is copied, unconverted
// and unscaled, into its quadrant of dstComb.
//
// Format 35: dstComb is an NV21 picture of 2W x 2H pixels, 2W bytes a row:
// rows 0..2H-1 luma, rows 2H..3H-1 the V/U pairs. Slot k sits at column
// (k & 1) * W, luma row (k >> 1) * H and chroma row 2H + (k >> 1) * (H / 2).
// Format 1: an RGBA picture of 2W x 2H pixels, slot k at the same corner.
//
// The image is read through its planes' own pointers and strides and only
// after checking that each plane is long enough for what is read, so a
// padded, split or short frame is either composed correctly or refused.
#include "quadcam/frame_composition.h"

#include <media/NdkImage.h>

#include <atomic>
#include <new>

#include "quadcam/listener_gate.h"
#include "quadcam/qcam_log.h"
#include "quadcam/qcam_state.h"
#include "quadcam/row_copy.h"

CompositionLayout gLayout;
cv::Mat dstComb;
std::shared_mutex gCombMutex;
int32_t mChEnable[4] = {0, 0, 0, 0};
bool framesPending = false;

namespace {

std::atomic<uint64_t> gRejected[4];
uint64_t gCompletedSets = 0;  // under gPreview_mutex
std::atomic<uint32_t> gRejectionLogged{0};

// Bytes from the start of a plane up to and including the last one read
// when `rows` rows of `samples` samples of `sampleBytes` bytes each are
// taken from it (a luma or chroma sample is one byte, an RGBA pixel four).
int64_t BytesSpanned(const ImagePlane& plane, int64_t rows, int64_t samples, int64_t sampleBytes) {
  return plane.rowStride * (rows - 1) + plane.pixelStride * (samples - 1) + sampleBytes;
}

bool PlaneHolds(const ImagePlane& plane, int64_t rows, int64_t samples, int64_t sampleBytes) {
  if (rows <= 0 || samples <= 0) {
    return true;
  }
  return plane.data != nullptr && plane.pixelStride > 0 && plane.rowStride > 0 &&
         plane.rowStride >= plane.pixelStride * (samples - 1) + sampleBytes &&
         BytesSpanned(plane, rows, samples, sampleBytes) <= plane.length;
}

void Reject(int32_t slot, const char* why, const CameraImage& image) {
  ++gRejected[slot];
  const uint32_t bit = 1u << slot;
  if ((gRejectionLogged.fetch_or(bit) & bit) == 0) {
    QCAM_LOGE("camera %d: frame %dx%d format %d not composed: %s", slot, image.width, image.height,
              image.format, why);
  }
}

// Writes the V/U pairs of one slot. NV21-interleaved chroma (V plane, then U
// one byte on, pixel stride 2) is copied row by row; any other layout is
// interleaved sample by sample.
void ComposeChroma(const CameraImage& image, uint8_t* dst, size_t dstStride, int32_t w,
                   int32_t rows) {
  // A camera one row high has no chroma rows, and its chroma planes may be
  // absent (null): there is nothing to compare or copy.
  if (rows <= 0) {
    return;
  }
  const ImagePlane& u = image.planes[1];
  const ImagePlane& v = image.planes[2];
  if (v.pixelStride == 2 && u.pixelStride == 2 && u.data == v.data + 1 &&
      u.rowStride == v.rowStride) {
    CopyRows(dst, dstStride, v.data, static_cast<size_t>(v.rowStride), static_cast<size_t>(w),
             static_cast<size_t>(rows));
    return;
  }
  for (int32_t y = 0; y < rows; ++y) {
    uint8_t* out = dst + static_cast<size_t>(y) * dstStride;
    // Offsets rather than row pointers: a quadrant one pixel wide takes no
    // U sample, and its U plane may be absent (null) with any stride.
    const int64_t vRow = static_cast<int64_t>(y) * v.rowStride;
    const int64_t uRow = static_cast<int64_t>(y) * u.rowStride;
    for (int32_t i = 0; i < w; ++i) {
      const int64_t sample = i / 2;
      out[i] = (i & 1) == 0 ? v.data[vRow + sample * v.pixelStride]
                            : u.data[uRow + sample * u.pixelStride];
    }
  }
}

bool ComposeYuv(int32_t slot, const CameraImage& image, int32_t w, int32_t h) {
  const int32_t chromaRows = h / 2;
  const ImagePlane& y = image.planes[0];
  if (image.format != AIMAGE_FORMAT_YUV_420_888 || image.planeCount < 3) {
    Reject(slot, "not a three-plane YUV image", image);
    return false;
  }
  if (y.pixelStride != 1 || !PlaneHolds(y, h, w, 1)) {
    Reject(slot, "luma plane shorter than its rows", image);
    return false;
  }
  // Every V/U pair column the quadrant takes: W bytes hold (W + 1) / 2 V and
  // W / 2 U samples.
  if (!PlaneHolds(image.planes[2], chromaRows, (w + 1) / 2, 1) ||
      !PlaneHolds(image.planes[1], chromaRows, w / 2, 1)) {
    Reject(slot, "chroma planes shorter than their rows", image);
    return false;
  }
  const size_t stride = dstComb.step[0];
  const size_t col = static_cast<size_t>(slot & 1) * static_cast<size_t>(w);
  const size_t lumaRow = static_cast<size_t>(slot >> 1) * static_cast<size_t>(h);
  const size_t chromaRow = 2 * static_cast<size_t>(h) + static_cast<size_t>(slot >> 1) * static_cast<size_t>(chromaRows);
  CopyRows(dstComb.data + lumaRow * stride + col, stride, y.data, static_cast<size_t>(y.rowStride),
           static_cast<size_t>(w), static_cast<size_t>(h));
  ComposeChroma(image, dstComb.data + chromaRow * stride + col, stride, w, chromaRows);
  return true;
}

bool ComposeRgba(int32_t slot, const CameraImage& image, int32_t w, int32_t h) {
  const ImagePlane& p = image.planes[0];
  if ((image.format != AIMAGE_FORMAT_RGBA_8888 && image.format != AIMAGE_FORMAT_RGBX_8888) ||
      image.planeCount < 1 || p.pixelStride != 4 || !PlaneHolds(p, h, w, 4)) {
    Reject(slot, "not an RGBA image of the expected length", image);
    return false;
  }
  const size_t stride = dstComb.step[0];
  const size_t col = static_cast<size_t>(slot & 1) * static_cast<size_t>(w) * 4;
  const size_t row = static_cast<size_t>(slot >> 1) * static_cast<size_t>(h);
  CopyRows(dstComb.data + row * stride + col, stride, p.data, static_cast<size_t>(p.rowStride),
           static_cast<size_t>(w) * 4, static_cast<size_t>(h));
  return true;
}

void MarkArrived(int32_t slot) {
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  mChEnable[slot] = 1;
  if (mChEnable[0] == 1 && mChEnable[1] == 1 && mChEnable[2] == 1 && mChEnable[3] == 1) {
    mChEnable[0] = mChEnable[1] = mChEnable[2] = mChEnable[3] = 0;
    // Kept until the worker takes it, so a set completed while the worker
    // is copying is not lost.
    framesPending = true;
    ++gCompletedSets;
    gPreview_cond.notify_one();
  }
}

void ComposeNextImage(AImageReader* reader, int32_t slot) {
  AImage* image = nullptr;
  if (AImageReader_acquireNextImage(reader, &image) != AMEDIA_OK || image == nullptr) {
    return;
  }
  CameraImage described;
  AImage_getWidth(image, &described.width);
  AImage_getHeight(image, &described.height);
  AImage_getFormat(image, &described.format);
  int32_t planes = 0;
  if (AImage_getNumberOfPlanes(image, &planes) == AMEDIA_OK && planes > 0) {
    described.planeCount = planes < 3 ? planes : 3;
  }
  for (int32_t p = 0; p < described.planeCount; ++p) {
    ImagePlane& plane = described.planes[p];
    uint8_t* data = nullptr;
    int length = 0;
    if (AImage_getPlaneData(image, p, &data, &length) != AMEDIA_OK ||
        AImage_getPlaneRowStride(image, p, &plane.rowStride) != AMEDIA_OK ||
        AImage_getPlanePixelStride(image, p, &plane.pixelStride) != AMEDIA_OK) {
      described.planeCount = p;  // what could not be described is not read
      break;
    }
    plane.data = data;
    plane.length = length;
  }
  ComposeCameraImage(described.width, described.height, slot, described);
  AImage_delete(image);
}

// Close may be deleting this slot's reader: the reader is touched only
// inside the slot's gate (listener_gate.h).
void OnImageAvailable(AImageReader* reader, int32_t slot) {
  if (!EnterListenerGate(slot)) {
    return;
  }
  ComposeNextImage(reader, slot);
  LeaveListenerGate(slot);
}

}  // namespace

bool ResetComposition(int32_t width, int32_t height, int32_t format) {
  std::unique_lock<std::shared_mutex> frameLock(gCombMutex);
  dstComb.release();
  gLayout = CompositionLayout{width, height, format};
  try {
    if (format == AIMAGE_FORMAT_YUV_420_888) {
      dstComb = cv::Mat::zeros(3 * height, 2 * width, CV_8UC1);
    } else if (format == AIMAGE_FORMAT_RGBA_8888) {
      dstComb = cv::Mat::zeros(2 * height, 2 * width, CV_8UC4);
    }
  } catch (const cv::Exception& e) {
    QCAM_LOGE("composed frame for %dx%d cameras not allocated: %s", width, height, e.what());
    dstComb.release();
    return false;
  } catch (const std::bad_alloc&) {
    QCAM_LOGE("composed frame for %dx%d cameras not allocated: out of memory", width, height);
    dstComb.release();
    return false;
  }
  for (auto& count : gRejected) {
    count = 0;
  }
  gRejectionLogged = 0;
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  mChEnable[0] = mChEnable[1] = mChEnable[2] = mChEnable[3] = 0;
  framesPending = false;
  gCompletedSets = 0;
  return true;
}

void ComposeCameraImage(int32_t width, int32_t height, int32_t slot, const CameraImage& image) {
  if (slot < 0 || slot > 3) {
    return;
  }
  {
    std::shared_lock<std::shared_mutex> frameLock(gCombMutex);
    const CompositionLayout layout = gLayout;
    if (layout.format != AIMAGE_FORMAT_YUV_420_888 && layout.format != AIMAGE_FORMAT_RGBA_8888) {
      // The flags still cycle: the worker keeps serving the (black) frame.
      QCAM_LOGE("Error previewformat %d", layout.format);
    } else if (width != layout.width || height != layout.height || dstComb.empty()) {
      Reject(slot, "size differs from the one the cameras were opened with", image);
      return;
    } else if (layout.format == AIMAGE_FORMAT_YUV_420_888) {
      if (!ComposeYuv(slot, image, width, height)) {
        return;
      }
    } else if (!ComposeRgba(slot, image, width, height)) {
      return;
    }
  }
  MarkArrived(slot);
}

void OnComb(int32_t width, int32_t height, int32_t slot, const uint8_t* data) {
  CameraImage image;
  image.width = width;
  image.height = height;
  // Sizes past any open set are refused by size; their lengths are not formed.
  if (data != nullptr && width > 0 && height > 0 && width <= kMaxCameraSide &&
      height <= kMaxCameraSide) {
    int32_t format = 0;
    {
      std::shared_lock<std::shared_mutex> frameLock(gCombMutex);
      format = gLayout.format;
    }
    const int64_t lumaBytes = static_cast<int64_t>(width) * height;
    if (format == AIMAGE_FORMAT_RGBA_8888) {
      image.format = format;
      image.planeCount = 1;
      image.planes[0] = ImagePlane{data, static_cast<int32_t>(lumaBytes * 4), width * 4, 4};
    } else {
      // Format 35, or an unknown one that is logged and not composed.
      const int32_t vuRow = 2 * ((width + 1) / 2);
      const int32_t vuBytes = vuRow * ((height + 1) / 2);
      const uint8_t* vu = data + lumaBytes;
      image.format = AIMAGE_FORMAT_YUV_420_888;
      image.planeCount = 3;
      image.planes[0] = ImagePlane{data, static_cast<int32_t>(lumaBytes), width, 1};
      image.planes[1] = ImagePlane{vu + 1, vuBytes - 1, vuRow, 2};  // U
      image.planes[2] = ImagePlane{vu, vuBytes, vuRow, 2};          // V
    }
  }
  ComposeCameraImage(width, height, slot, image);
}

uint64_t RejectedFrames(int32_t slot) { return slot >= 0 && slot < 4 ? gRejected[slot].load() : 0; }

uint64_t CompletedSets() {
  std::lock_guard<std::mutex> lock(gPreview_mutex);
  return gCompletedSets;
}

extern "C" {
void imageAvailableCallback0(void*, AImageReader* reader) { OnImageAvailable(reader, 0); }
void imageAvailableCallback1(void*, AImageReader* reader) { OnImageAvailable(reader, 1); }
void imageAvailableCallback2(void*, AImageReader* reader) { OnImageAvailable(reader, 2); }
void imageAvailableCallback3(void*, AImageReader* reader) { OnImageAvailable(reader, 3); }
}

AImageReader_ImageCallback const imageAvailableCallbackNum[4] = {
    imageAvailableCallback0, imageAvailableCallback1, imageAvailableCallback2,
    imageAvailableCallback3};
