#include "tools/lib/overlay.h"

#include <algorithm>

namespace tools {

namespace {

bool SamePixel(const cv::Vec4b& a, const cv::Vec4b& b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

}  // namespace

OverlayContent ExtractOverlay(const RenderedRegion& base, const RenderedRegion& variant, std::uint32_t parts,
                              PasteKind kind) {
  OverlayContent content;
  const int rows = variant.bgra.rows;
  const int columns = variant.bgra.cols;
  content.pixels = cv::Mat(rows, columns, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  int left = columns;
  int right = -1;
  int top = rows;
  int bottom = -1;
  auto take = [&](int row, int column, const cv::Vec4b& value) {
    content.pixels.at<cv::Vec4b>(row, column) = value;
    left = std::min(left, column);
    right = std::max(right, column);
    top = std::min(top, row);
    bottom = std::max(bottom, row);
  };
  for (int row = 0; row < rows; ++row) {
    const cv::Vec4b* was = base.bgra.ptr<cv::Vec4b>(row);
    const cv::Vec4b* now = variant.bgra.ptr<cv::Vec4b>(row);
    const std::int32_t* wasParts = base.parts.ptr<std::int32_t>(row);
    const std::int32_t* nowParts = variant.parts.ptr<std::int32_t>(row);
    auto wanted = [&](int column) {
      const std::uint32_t shown =
          static_cast<std::uint32_t>(wasParts[column]) | static_cast<std::uint32_t>(nowParts[column]);
      if ((shown & parts) != 0) {
        return true;
      }
      return kind == PasteKind::kOpaqueSpans && !SamePixel(was[column], now[column]);
    };
    if (kind == PasteKind::kOpaquePixels) {
      for (int column = 0; column < columns; ++column) {
        if (now[column][3] != 0 && wanted(column)) {
          take(row, column, now[column]);
        }
      }
      continue;
    }
    int first = -1;
    int last = -1;
    for (int column = 0; column < columns; ++column) {
      if (wanted(column)) {
        if (first < 0) {
          first = column;
        }
        last = column;
      }
    }
    if (first < 0) {
      continue;
    }
    // A span must start and end on opaque pixels. Reach outward for one
    // (the pixels passed on the way are unchanged, so copying them is
    // harmless); failing that, give up the transparent end.
    auto opaque = [&](int column) { return now[column][3] != 0; };
    if (!opaque(first)) {
      int at = first - 1;
      while (at >= 0 && !opaque(at)) {
        --at;
      }
      if (at >= 0) {
        first = at;
      } else {
        while (first <= last && !opaque(first)) {
          ++first;
        }
      }
    }
    if (first > last) {
      continue;
    }
    if (!opaque(last)) {
      int at = last + 1;
      while (at < columns && !opaque(at)) {
        ++at;
      }
      if (at < columns) {
        last = at;
      } else {
        while (last >= first && !opaque(last)) {
          --last;
        }
      }
    }
    for (int column = first; column <= last; ++column) {
      take(row, column, now[column]);
    }
  }
  if (right >= 0) {
    content.bounds = cv::Rect(left, top, right - left + 1, bottom - top + 1);
  }
  return content;
}

// Positions come from tables that may be damaged: work in 64 bits so that
// no sum of a position and an index can overflow.
void PasteOpaquePixels(const cv::Mat& overlay, int x, int y, cv::Mat* target) {
  for (int r = 0; r < overlay.rows; ++r) {
    const long long row = static_cast<long long>(y) + r;
    if (row < 0 || row >= target->rows) {
      continue;
    }
    const cv::Vec4b* from = overlay.ptr<cv::Vec4b>(r);
    cv::Vec4b* to = target->ptr<cv::Vec4b>(static_cast<int>(row));
    for (int c = 0; c < overlay.cols; ++c) {
      const long long column = static_cast<long long>(x) + c;
      if (column >= 0 && column < target->cols && from[c][3] != 0) {
        to[column] = from[c];
      }
    }
  }
}

void PasteOpaqueSpans(const cv::Mat& overlay, int x, int y, cv::Mat* target) {
  for (int r = 0; r < overlay.rows; ++r) {
    const long long row = static_cast<long long>(y) + r;
    if (row < 0 || row >= target->rows) {
      continue;
    }
    const cv::Vec4b* from = overlay.ptr<cv::Vec4b>(r);
    int first = -1;
    int last = -1;
    for (int c = 0; c < overlay.cols; ++c) {
      if (from[c][3] != 0) {
        if (first < 0) {
          first = c;
        }
        last = c;
      }
    }
    if (first < 0) {
      continue;
    }
    cv::Vec4b* to = target->ptr<cv::Vec4b>(static_cast<int>(row));
    for (int c = first; c <= last; ++c) {
      const long long column = static_cast<long long>(x) + c;
      if (column >= 0 && column < target->cols) {
        to[column] = from[c];
      }
    }
  }
}

int CountDifferentPixels(const cv::Mat& a, const cv::Mat& b) {
  int different = 0;
  for (int row = 0; row < a.rows; ++row) {
    const cv::Vec4b* p = a.ptr<cv::Vec4b>(row);
    const cv::Vec4b* q = b.ptr<cv::Vec4b>(row);
    for (int column = 0; column < a.cols; ++column) {
      if ((p[column][0] & 0xFC) != (q[column][0] & 0xFC) || (p[column][1] & 0xFC) != (q[column][1] & 0xFC) ||
          (p[column][2] & 0xFC) != (q[column][2] & 0xFC) || p[column][3] != q[column][3]) {
        ++different;
      }
    }
  }
  return different;
}

}  // namespace tools
