#include "quadcam/nv21_buffer.h"

#include <libyuv/planar_functions.h>
#include <libyuv/scale.h>

#include <vector>

extern "C" void ResizeNV21(const Nv21Buffer* src, Nv21Buffer* dst) {
  if (src == nullptr || dst == nullptr || src->yPlane == nullptr || src->vuPlane == nullptr ||
      dst->yPlane == nullptr || dst->vuPlane == nullptr) {
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

  // The chroma pairs are scaled as two separate half-size planes. The work
  // planes are packed (stride = half width) rather than taking half the
  // source stride, so a source whose chroma rows are padded still fits.
  const int srcHalfW = static_cast<int>(src->width >> 1);
  const int srcHalfH = static_cast<int>(src->height >> 1);
  const int dstHalfW = static_cast<int>(dst->width >> 1);
  const int dstHalfH = static_cast<int>(dst->height >> 1);
  const size_t srcPlane = static_cast<size_t>(srcHalfW) * static_cast<size_t>(srcHalfH);
  const size_t dstPlane = static_cast<size_t>(dstHalfW) * static_cast<size_t>(dstHalfH);
  if (srcPlane == 0 || dstPlane == 0) {
    return;
  }
  std::vector<uint8_t> srcWork(srcPlane * 2);
  std::vector<uint8_t> dstWork(dstPlane * 2);
  uint8_t* srcFirst = srcWork.data();
  uint8_t* srcSecond = srcWork.data() + srcPlane;
  uint8_t* dstFirst = dstWork.data();
  uint8_t* dstSecond = dstWork.data() + dstPlane;

  libyuv::SplitUVPlane(src->vuPlane, src->vuStride, srcFirst, srcHalfW, srcSecond, srcHalfW, srcHalfW,
                       srcHalfH);
  libyuv::ScalePlane(srcSecond, srcHalfW, srcHalfW, srcHalfH, dstSecond, dstHalfW, dstHalfW, dstHalfH,
                     libyuv::kFilterNone);
  libyuv::ScalePlane(srcFirst, srcHalfW, srcHalfW, srcHalfH, dstFirst, dstHalfW, dstHalfW, dstHalfH,
                     libyuv::kFilterNone);
  libyuv::MergeUVPlane(dstFirst, dstHalfW, dstSecond, dstHalfW, dst->vuPlane, dst->vuStride, dstHalfW,
                       dstHalfH);
}
