// Nearest-sample scaling of an NV21 picture. The luma is scaled as one
// plane; the V/U pairs are split into two half-size planes, each scaled,
// and merged back, so V stays before U in every pair.
#include "quadcam/nv21_buffer.h"

#include <libyuv/planar_functions.h>
#include <libyuv/scale.h>

#include <memory>
#include <new>

#include "quadcam/qcam_log.h"

namespace {

// Sides past this are refused: libyuv works in int offsets.
constexpr uint32_t kMaxSide = 32768;

bool SideOk(uint32_t side) { return side >= 1 && side <= kMaxSide; }

}  // namespace

extern "C" void ResizeNV21(const Nv21Buffer* src, Nv21Buffer* dst) {
  if (src == nullptr || dst == nullptr || src->yPlane == nullptr || src->vuPlane == nullptr ||
      dst->yPlane == nullptr || dst->vuPlane == nullptr) {
    QCAM_LOGE("ResizeNV21: missing buffer or plane");
    return;
  }
  if (!SideOk(src->width) || !SideOk(src->height) || !SideOk(dst->width) || !SideOk(dst->height)) {
    QCAM_LOGE("ResizeNV21: size %ux%u to %ux%u refused", src->width, src->height, dst->width,
              dst->height);
    return;
  }
  // Rows shorter than the picture would make the scaler read the next row's
  // bytes, and a negative stride would walk before the plane.
  if (src->yStride < static_cast<int32_t>(src->width) ||
      src->vuStride < static_cast<int32_t>(src->width & ~1u)) {
    QCAM_LOGE("ResizeNV21: strides %d/%d shorter than width %u", src->yStride, src->vuStride,
              src->width);
    return;
  }
  dst->yStride = static_cast<int32_t>(dst->width);
  dst->vuStride = static_cast<int32_t>(dst->width);
  dst->spareStride = 0;
  dst->attribute = src->attribute;

  const int srcW = static_cast<int>(src->width);
  const int srcH = static_cast<int>(src->height);
  const int dstW = static_cast<int>(dst->width);
  const int dstH = static_cast<int>(dst->height);
  libyuv::ScalePlane(src->yPlane, src->yStride, srcW, srcH, dst->yPlane, dst->yStride, dstW, dstH,
                     libyuv::kFilterNone);

  // The work planes are packed (stride = half width) rather than taking half
  // the source stride, so a source whose chroma rows are padded still fits.
  const int srcHalfW = static_cast<int>(src->width >> 1);
  const int srcHalfH = static_cast<int>(src->height >> 1);
  const int dstHalfW = static_cast<int>(dst->width >> 1);
  const int dstHalfH = static_cast<int>(dst->height >> 1);
  const size_t srcPlane = static_cast<size_t>(srcHalfW) * static_cast<size_t>(srcHalfH);
  const size_t dstPlane = static_cast<size_t>(dstHalfW) * static_cast<size_t>(dstHalfH);
  if (srcPlane == 0 || dstPlane == 0) {
    return;  // a picture one pixel high or wide has no V/U pair to scale
  }
  std::unique_ptr<uint8_t[]> srcWork(new (std::nothrow) uint8_t[srcPlane * 2]);
  std::unique_ptr<uint8_t[]> dstWork(new (std::nothrow) uint8_t[dstPlane * 2]);
  if (!srcWork || !dstWork) {
    QCAM_LOGE("ResizeNV21: out of memory for %zu work bytes", (srcPlane + dstPlane) * 2);
    return;
  }
  uint8_t* srcFirst = srcWork.get();
  uint8_t* srcSecond = srcWork.get() + srcPlane;
  uint8_t* dstFirst = dstWork.get();
  uint8_t* dstSecond = dstWork.get() + dstPlane;

  libyuv::SplitUVPlane(src->vuPlane, src->vuStride, srcFirst, srcHalfW, srcSecond, srcHalfW,
                       srcHalfW, srcHalfH);
  libyuv::ScalePlane(srcSecond, srcHalfW, srcHalfW, srcHalfH, dstSecond, dstHalfW, dstHalfW,
                     dstHalfH, libyuv::kFilterNone);
  libyuv::ScalePlane(srcFirst, srcHalfW, srcHalfW, srcHalfH, dstFirst, dstHalfW, dstHalfW,
                     dstHalfH, libyuv::kFilterNone);
  libyuv::MergeUVPlane(dstFirst, dstHalfW, dstSecond, dstHalfW, dst->vuPlane, dst->vuStride,
                       dstHalfW, dstHalfH);
}
