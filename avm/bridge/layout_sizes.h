#pragma once
// The screen sizes of the layout codes of commands 19 and 88 (the codes
// are rows of the layout table). Header only: the host car viewer opens its
// window at a code's size and must read the same table as the renderer.
#include <cstdint>

struct LayoutSize {
  int32_t code;
  int32_t width;
  int32_t height;
};

inline constexpr LayoutSize kLayoutSizes[] = {
    {0, 1024, 600},   {1, 1280, 720},   {2, 1280, 480},   {3, 1280, 800},   {4, 1920, 720},
    {5, 1920, 860},   {6, 1920, 1080},  {7, 2000, 1200},  {8, 1600, 720},   {9, 1920, 1200},
    {15, 1000, 600},  {16, 1024, 458},  {17, 960, 600},   {18, 1024, 576},  {19, 1024, 384},
    {20, 768, 1024},  {21, 800, 1280},  {22, 1080, 1920}, {23, 960, 1280},  {24, 768, 720},
    {25, 768, 880},   {26, 800, 1100},  {27, 1080, 1650}, {33, 436, 600},   {34, 375, 600},
    {35, 337, 600},   {36, 640, 600},   {37, 392, 600},   {38, 523, 600},   {39, 450, 600},
};

// Screen size of a layout code. Returns false, changing nothing, for codes
// not in the size table.
inline bool ScreenSizeOfLayoutCode(int32_t code, int32_t* width, int32_t* height) {
  for (const LayoutSize& size : kLayoutSizes) {
    if (size.code == code) {
      *width = size.width;
      *height = size.height;
      return true;
    }
  }
  return false;
}
