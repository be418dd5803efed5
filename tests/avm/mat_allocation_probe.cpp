#include "tests/avm/mat_allocation_probe.h"

#include <atomic>
#include <new>
#include <opencv2/core.hpp>

namespace {

std::atomic<std::size_t> gLargest{0};
std::atomic<int> gRefused{0};
std::atomic<int> gFailed{0};
std::atomic<std::size_t> gRefuseAbove{0};
std::atomic<int> gFailRows{0};
std::atomic<int> gFailCols{0};
std::atomic<bool> gFailWithBadAlloc{false};

class ProbeAllocator : public cv::MatAllocator {
 public:
  cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                         cv::AccessFlag flags, cv::UMatUsageFlags usage) const override {
    std::size_t bytes = CV_ELEM_SIZE(type);
    for (int i = 0; i < dims; ++i) {
      bytes *= static_cast<std::size_t>(sizes[i]);
    }
    std::size_t seen = gLargest.load();
    while (bytes > seen && !gLargest.compare_exchange_weak(seen, bytes)) {
    }
    if (bytes > gRefuseAbove.load()) {
      ++gRefused;
      cv::error(cv::Error::StsNoMem, "refused by the test's allocation probe", "allocate",
                __FILE__, __LINE__);
    }
    if (dims == 2 && CV_MAT_DEPTH(type) == CV_8U && sizes[0] == gFailRows.load() &&
        sizes[1] == gFailCols.load()) {
      ++gFailed;
      if (gFailWithBadAlloc.load()) {
        throw std::bad_alloc();
      }
      cv::error(cv::Error::StsNoMem, "failed by the test's allocation probe", "allocate", __FILE__,
                __LINE__);
    }
    return cv::Mat::getStdAllocator()->allocate(dims, sizes, type, data, step, flags, usage);
  }
  bool allocate(cv::UMatData* data, cv::AccessFlag flags, cv::UMatUsageFlags usage) const override {
    return cv::Mat::getStdAllocator()->allocate(data, flags, usage);
  }
  void deallocate(cv::UMatData* data) const override {
    cv::Mat::getStdAllocator()->deallocate(data);
  }
};

ProbeAllocator gProbe;
// The allocator the probe replaced (the library has no way back to its own
// default but to set it again).
cv::MatAllocator* gReplaced = nullptr;

}  // namespace

MatAllocationProbe::MatAllocationProbe(std::size_t refuseAbove) {
  gRefuseAbove.store(refuseAbove);
  FailEightBit(0, 0, Failure::kLibraryError);
  Reset();
  gReplaced = cv::Mat::getDefaultAllocator();
  cv::Mat::setDefaultAllocator(&gProbe);
}

MatAllocationProbe::~MatAllocationProbe() { cv::Mat::setDefaultAllocator(gReplaced); }

void MatAllocationProbe::FailEightBit(int rows, int cols, Failure failure) {
  gFailWithBadAlloc.store(failure == Failure::kBadAlloc);
  gFailRows.store(rows);
  gFailCols.store(cols);
}

std::size_t MatAllocationProbe::largest() const { return gLargest.load(); }
int MatAllocationProbe::refused() const { return gRefused.load(); }
int MatAllocationProbe::failed() const { return gFailed.load(); }

void MatAllocationProbe::Reset() {
  gLargest.store(0);
  gRefused.store(0);
  gFailed.store(0);
}
