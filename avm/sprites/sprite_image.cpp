#include "avm/sprites/sprite_image.h"

#include <GLES2/gl2.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <opencv2/imgproc.hpp>

#include "avm/common/avm_log.h"
#include "avm/common/log_latch.h"

cv::Mat DestMat;

namespace {

// A picture whose decoding or conversion throws (the decoder library on a
// stream it cannot take, memory running out on a large one) is a picture
// that does not decode: the loaders upload an empty image and the frame
// goes on. One line per picture, not one per attempt.
template <typename Decode>
cv::Mat DecodedOrEmpty(const char* what, Decode decode) {
  static LogLatch failure;
  try {
    return decode();
  } catch (const std::exception& problem) {
    LogOnChange(&failure, "---------%s:not decoded,%s", what, problem.what());
  } catch (...) {
    LogOnChange(&failure, "---------%s:not decoded", what);
  }
  return cv::Mat();
}

// Brings a decoded image to 8-bit B, G, R, A with continuous rows.
cv::Mat ToEightBitBgra(const cv::Mat& decoded) {
  if (decoded.empty()) {
    return cv::Mat();
  }
  cv::Mat eight = decoded;
  if (decoded.depth() == CV_16U) {
    decoded.convertTo(eight, CV_8U, 1.0 / 257.0);
  } else if (decoded.depth() != CV_8U) {
    return cv::Mat();
  }
  cv::Mat bgra;
  switch (eight.channels()) {
    case 4:
      bgra = eight;
      break;
    case 3:
      cv::cvtColor(eight, bgra, cv::COLOR_BGR2BGRA);
      break;
    case 1:
      cv::cvtColor(eight, bgra, cv::COLOR_GRAY2BGRA);
      break;
    default:
      return cv::Mat();
  }
  return bgra.isContinuous() ? bgra : bgra.clone();
}

cv::Mat DecodeToBgra(std::vector<uint8_t>& bytes) {
  return ToEightBitBgra(DecodePictureBytes(bytes, kMaxSpritePixels));
}

bool UsablePair(const cv::Mat& working, const cv::Mat& overlay) {
  return !working.empty() && !overlay.empty() && working.type() == CV_8UC4 &&
         overlay.type() == CV_8UC4;
}

// The overlay columns [first, last) that land inside the working image when
// the overlay's column 0 lands on column x; empty when none does.
void ClipColumns(int64_t x, int overlayCols, int workingCols, int* first, int* last) {
  const int64_t from = std::max<int64_t>(0, -x);
  const int64_t to = std::min<int64_t>(overlayCols, static_cast<int64_t>(workingCols) - x);
  *first = static_cast<int>(std::min<int64_t>(from, overlayCols));
  *last = static_cast<int>(std::max<int64_t>(to, *first));
}

}  // namespace

cv::Mat DecodeSpriteBytes(std::vector<uint8_t>& bytes) {
  return DecodedOrEmpty("picture", [&bytes] { return DecodeToBgra(bytes); });
}

cv::Mat DecodeSpriteImage(const char* path) {
  return DecodedOrEmpty(path != nullptr ? path : "picture", [path] {
    std::vector<uint8_t> bytes;
    if (!ReadRegularFile(path, kMaxSpriteFileBytes, &bytes)) {
      return cv::Mat();
    }
    return DecodeToBgra(bytes);
  });
}

namespace {

// The texture becomes empty, as the draw routines expect of a car without
// that image.
void UploadEmpty() {
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

// Errors of earlier GL calls are reported as the frame reports them, so that
// the one this upload may raise is told apart from them. Bounded: a lost
// context may keep reporting forever.
void ReportPendingGlErrors() {
  for (int i = 0; i < 64; ++i) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) {
      return;
    }
    AVM_LOGI("---------glGetError:%d", static_cast<int>(error));
  }
}

// One line per picture refused, not one per composition of it: the line
// is left out while the same size is refused for the same reason again.
void LogRefusedUpload(int columns, int rows, int reason) {
  static int lastColumns = -1;
  static int lastRows = -1;
  static int lastReason = 0;
  if (columns == lastColumns && rows == lastRows && reason == lastReason) {
    return;
  }
  lastColumns = columns;
  lastRows = rows;
  lastReason = reason;
  if (reason == 0) {
    AVM_LOGI("---------texture %dx%d beyond GL_MAX_TEXTURE_SIZE,left empty", columns, rows);
  } else {
    AVM_LOGI("---------texture %dx%d upload failed:%d,left empty", columns, rows, reason);
  }
}

}  // namespace

int UploadSpriteImage(int texture, const cv::Mat& image) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  if (image.empty() || image.type() != CV_8UC4 || !image.isContinuous()) {
    UploadEmpty();  // missing or undecodable
    return texture;
  }
  // A picture the GPU refuses would leave the texture as it was: the
  // previous car's image of the angle, or the previous state. It is left
  // empty instead, never stale.
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (image.cols > maxSide || image.rows > maxSide) {
    LogRefusedUpload(image.cols, image.rows, 0);
    UploadEmpty();
    return texture;
  }
  ReportPendingGlErrors();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.cols, image.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               image.data);
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    LogRefusedUpload(image.cols, image.rows, static_cast<int>(error));
    UploadEmpty();
  }
  return texture;
}

namespace {

// Walks the overlay rows that land inside the working image, handing each
// one, with the target row and the overlay columns that land inside, to
// pasteRow; overlay column c lands at pixel x + c of the target row. Both paste rules share this clipping so neither can write
// outside the working image.
template <typename PasteRow>
void ForEachClippedRow(cv::Mat& working, const cv::Mat& overlay, int32_t x, int32_t y,
                       PasteRow pasteRow) {
  if (!UsablePair(working, overlay)) {
    return;
  }
  int firstCol = 0;
  int lastCol = 0;
  ClipColumns(x, overlay.cols, working.cols, &firstCol, &lastCol);
  for (int row = 0; row < overlay.rows; ++row) {
    const int64_t target = static_cast<int64_t>(y) + row;
    if (target < 0 || target >= working.rows) {
      continue;
    }
    pasteRow(overlay.ptr<uint8_t>(row), working.ptr<uint8_t>(static_cast<int>(target)), firstCol,
             lastCol);
  }
}

}  // namespace

void PasteOpaquePixels(cv::Mat& working, const cv::Mat& overlay, int32_t x, int32_t y) {
  ForEachClippedRow(working, overlay, x, y,
                    [x](const uint8_t* source, uint8_t* destination, int firstCol, int lastCol) {
                      for (int col = firstCol; col < lastCol; ++col) {
                        const uint8_t* pixel = source + 4 * col;
                        if (pixel[3] != 0) {
                          std::memcpy(destination + 4 * (static_cast<int64_t>(x) + col), pixel, 4);
                        }
                      }
                    });
}

void PasteOpaqueSpans(cv::Mat& working, const cv::Mat& overlay, int32_t x, int32_t y) {
  const int overlayCols = overlay.cols;
  ForEachClippedRow(
      working, overlay, x, y,
      [x, overlayCols](const uint8_t* source, uint8_t* destination, int firstCol, int lastCol) {
        // The span is found on the whole overlay row, then clipped: a door
        // that reaches past the edge keeps its inner part unchanged.
        int spanFirst = -1;
        int spanLast = -1;
        for (int col = 0; col < overlayCols; ++col) {
          if (source[4 * col + 3] != 0) {
            if (spanFirst < 0) {
              spanFirst = col;
            }
            spanLast = col;
          }
        }
        if (spanFirst < 0) {
          return;
        }
        const int from = std::max(spanFirst, firstCol);
        const int to = std::min(spanLast + 1, lastCol);
        if (from < to) {
          std::memcpy(destination + 4 * (static_cast<int64_t>(x) + from), source + 4 * from,
                      static_cast<std::size_t>(4 * (to - from)));
        }
      });
}

bool PasteOverlayFile(cv::Mat& working, const char* path, int32_t x, int32_t y, OverlayKind kind) {
  const cv::Mat overlay = DecodeSpriteImage(path);
  if (overlay.empty()) {
    if (kind == OverlayKind::kDoor) {
      AVM_LOGI("---------load_textureLR door,load failed!");
    } else {
      AVM_LOGI("---------load_textureLR,load failed!");
    }
    return false;
  }
  if (working.empty()) {
    return false;  // nothing to paste onto
  }
  if (kind == OverlayKind::kDoor) {
    PasteOpaqueSpans(working, overlay, x, y);
  } else {
    PasteOpaquePixels(working, overlay, x, y);
  }
  return true;
}

cv::Mat DecodeWorkingImage(const char* path) {
  // The decoded image is already private to the caller; no copy needed.
  return DecodeSpriteImage(path);
}

cv::Mat DecodeWorkingImageViaDestMat(const char* path) {
  DestMat = DecodeSpriteImage(path);
  return DecodedOrEmpty(path != nullptr ? path : "picture", [] { return DestMat.clone(); });
}
