#pragma once
// What a simulated camera shows: a moving test pattern of its own, or the
// frames of a raw NV21 file, played in a loop.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "internal/host_frame_queue.h"

class FrameSource {
 public:
  FrameSource() = default;
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // Plays the file instead of the pattern. False (and logged) when it
  // cannot be opened.
  bool OpenFile(const std::string& path);
  // Fills the frame's planes for frame number n of camera `cameraIndex`.
  // False when the file holds no complete frame of the frame's size.
  bool Fill(HostFrame* frame, int64_t n, int cameraIndex);

  // Bytes of one NV21 frame of that size in a raw file.
  static size_t FileFrameBytes(int32_t width, int32_t height);

 private:
  bool FillFromFile(HostFrame* frame, int64_t n);
  std::FILE* file_ = nullptr;
  std::string path_;
  std::vector<uint8_t> scratch_;  // one file frame, sized once per frame size
  bool reportedShortFile_ = false;
};
