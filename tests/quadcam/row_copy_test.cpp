// The row copier (row_copy.cpp) on its plain and streaming paths: exactly
// the rows, at any alignment, into one or two destinations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "quadcam/row_copy.h"
#include "tests/quadcam/quadcam_test_support.h"

namespace {

// A destination of the row copier: `offset` bytes of 0x5A before the first
// row, rows `stride` apart, 16 more after the last.
struct RowDestination {
  std::vector<uint8_t> bytes;
  size_t offset;
  size_t stride;
  RowDestination(size_t stride_, size_t rows, size_t offset_)
      : bytes(stride_ * rows + offset_ + 16, 0x5A), offset(offset_), stride(stride_) {}
  uint8_t* Rows() { return bytes.data() + offset; }
  // Every row equals the source row and nothing else was written: not the
  // bytes before the first row, the padding after each row, or past the end.
  ::testing::AssertionResult Holds(const uint8_t* src, size_t srcStride, size_t rowBytes,
                                   size_t rows) const {
    std::vector<uint8_t> expected(bytes.size(), 0x5A);
    for (size_t r = 0; r < rows; ++r) {
      std::memcpy(expected.data() + offset + r * stride, src + r * srcStride, rowBytes);
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != expected[i]) {
        return ::testing::AssertionFailure()
               << "byte " << i << " is " << int{bytes[i]} << ", not " << int{expected[i]};
      }
    }
    return ::testing::AssertionSuccess();
  }
};

TEST(RowCopy, CopiesExactlyTheRowsOnBothPathsAtAnyAlignment) {
  for (size_t rowBytes : {size_t{1}, size_t{15}, size_t{64}, size_t{1921}}) {
    for (size_t rows : {size_t{1}, size_t{3}, size_t{300}}) {
      for (size_t offset : {size_t{0}, size_t{1}, size_t{7}}) {
        const size_t srcStride = rowBytes + 5;
        const std::vector<uint8_t> src = RandomBytes(srcStride * rows + offset, 11);
        RowDestination dst(rowBytes + 3, rows, offset);
        CopyRows(dst.Rows(), dst.stride, src.data() + offset, srcStride, rowBytes, rows);
        ASSERT_TRUE(dst.Holds(src.data() + offset, srcStride, rowBytes, rows))
            << rowBytes << "x" << rows << " +" << offset;
      }
    }
  }
}

// Both destinations get exactly the rows, on every path: small copies and
// streaming ones (from 256 KiB), rows longer than the copier's spans,
// destinations whose rows agree in alignment (one load feeds both) or do
// not, and rows without padding anywhere (copied as one block).
TEST(RowCopy, CopiesTheSameRowsIntoTwoDestinationsOnEveryPath) {
  struct Layout {
    size_t srcPadding, firstPadding, secondPadding, firstOffset, secondOffset;
  };
  const Layout layouts[] = {
      {5, 3, 19, 0, 0},  // rows of both agree modulo 16
      {5, 3, 19, 7, 7},  // agree, neither on a 16-byte boundary
      {5, 3, 8, 0, 7},   // disagree
      {0, 0, 64, 0, 0},  // only the second has row padding
      {0, 0, 0, 0, 0},   // no padding: one block
      {0, 0, 0, 1, 9},   // one block each, disagreeing
  };
  for (size_t rowBytes : {size_t{1}, size_t{15}, size_t{64}, size_t{1921}, size_t{5000}}) {
    for (size_t rows : {size_t{1}, size_t{3}, size_t{300}}) {
      for (const Layout& l : layouts) {
        const size_t srcStride = rowBytes + l.srcPadding;
        const std::vector<uint8_t> src = RandomBytes(srcStride * rows, 12);
        RowDestination first(rowBytes + l.firstPadding, rows, l.firstOffset);
        RowDestination second(rowBytes + l.secondPadding, rows, l.secondOffset);
        CopyRowsTwice(first.Rows(), first.stride, second.Rows(), second.stride, src.data(),
                      srcStride, rowBytes, rows);
        const std::string what = std::to_string(rowBytes) + "x" + std::to_string(rows) +
                                 " paddings " + std::to_string(l.firstPadding) + "/" +
                                 std::to_string(l.secondPadding) + " offsets " +
                                 std::to_string(l.firstOffset) + "/" +
                                 std::to_string(l.secondOffset);
        ASSERT_TRUE(first.Holds(src.data(), srcStride, rowBytes, rows)) << "first, " << what;
        ASSERT_TRUE(second.Holds(src.data(), srcStride, rowBytes, rows)) << "second, " << what;
      }
    }
  }
}

}  // namespace
