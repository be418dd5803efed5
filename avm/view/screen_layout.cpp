#include "avm/view/screen_layout.h"

#include <cmath>

#include "avm/common/avm_log.h"
#include "avm/bridge/scene_state.h"

int32_t lr_offset_angle[kLayoutRows][4] = {
    {50, 28, 1024, 600},  {51, 29, 1280, 720},  {76, 40, 1280, 480},  {47, 25, 1280, 800},
    {76, 40, 1920, 720},  {60, 33, 1920, 860},  {51, 29, 1920, 1080}, {48, 26, 2000, 1200},
    {60, 33, 1600, 720},  {47, 25, 1920, 1200}, {42, 22, 1024, 768},  {50, 28, 1024, 600},
    {50, 28, 1024, 600},  {50, 28, 1024, 600},  {50, 28, 1024, 600},  {50, 28, 1024, 600},
    {50, 28, 1024, 600},  {50, 28, 1024, 600},  {50, 28, 1024, 600},  {50, 28, 1024, 600},
    {67, 36, 768, 1024},  {50, 28, 800, 1280},  {50, 27, 1080, 1920}, {67, 36, 960, 1280},
    {90, 44, 768, 720},   {77, 40, 768, 880},   {60, 33, 800, 1100},  {61, 32, 1080, 1650},
    {67, 36, 768, 1024},  {67, 36, 768, 1024},  {67, 36, 768, 1024},  {67, 36, 768, 1024},
    {67, 36, 768, 1024},  {67, 36, 768, 1024},  {67, 36, 768, 1024},  {67, 36, 768, 1024},
    {67, 36, 768, 1024},  {67, 36, 768, 1024},  {67, 36, 768, 1024},  {67, 36, 768, 1024},
};

namespace {

void SetRect(float* rect, float x, float y, float w, float h) {
  rect[0] = x;
  rect[1] = y;
  rect[2] = w;
  rect[3] = h;
}

// Width of the top view on a landscape screen: 352 pixels per 1024.
int LandscapeTopWidth(int screenWidth) {
  return static_cast<int>(static_cast<double>(screenWidth) / 1024.0 * 352.0);
}

void PortraitLayout(ViewParam* scene) {
  const int w = scene->screenWidth;
  const int h = scene->screenHeight / 2;
  // The top view takes the rows from y = 0, the other views the rest less
  // a 2-pixel gap.
  SetRect(scene->topViewport, 0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
  SetRect(scene->sideViewport, 0.0f, static_cast<float>(h + 2), static_cast<float>(w),
          static_cast<float>(h - 2));
  SetRect(scene->mainViewport, 0.0f, static_cast<float>(h + 2), static_cast<float>(w),
          static_cast<float>(h - 2));
  SetRect(scene->fullViewport, 0.0f, 0.0f, static_cast<float>(w),
          static_cast<float>(scene->screenHeight));
}

void DeriveAspects(ViewParam* scene) {
  scene->sideAspect = scene->sideViewport[2] / scene->sideViewport[3];
  scene->mainAspect = scene->mainViewport[2] / scene->mainViewport[3];
}

}  // namespace

const int32_t* LayoutRow(int index) {
  // Command 19 keeps any code as given: the nearest row, never past the table.
  if (index < 0) {
    return lr_offset_angle[0];
  }
  return lr_offset_angle[index < kLayoutRows ? index : kLayoutRows - 1];
}

// Every index past the landscape rows is portrait, also those past the
// table, whose offsets come from its last (portrait) row.
bool IsPortraitLayout(int index) { return index >= kFirstPortraitRow; }

int AvmGetScreenIndex(int width, int height) {
  int best = 0;
  if (width > 0 && height > 0) {
    const float ratio = static_cast<float>(width) / static_cast<float>(height);
    const int first = ratio > 1.0f ? 0 : kFirstPortraitRow;
    best = first;
    float bestDifference = std::fabs(static_cast<float>(lr_offset_angle[first][2]) /
                                         static_cast<float>(lr_offset_angle[first][3]) -
                                     ratio);
    for (int row = first; row < first + kFirstPortraitRow; ++row) {
      const float difference = std::fabs(static_cast<float>(lr_offset_angle[row][2]) /
                                             static_cast<float>(lr_offset_angle[row][3]) -
                                         ratio);
      // Strictly smaller only: among equally good rows the first wins.
      if (difference < bestDifference) {
        bestDifference = difference;
        best = row;
      }
    }
  }
  AVM_LOGI("---------AvmGetScreenIndex,%d", best);
  return best;
}

void AvmSetScreen() {
  ViewParam* scene = pViewParam;
  const int w = scene->screenWidth;
  const int h = scene->screenHeight;
  // Any int32 may come with the side-inset command: sums in 64 bits.
  const int64_t inset = scene->sideViewInset;
  if (IsPortraitLayout(scene->screenIndex)) {
    PortraitLayout(scene);
  } else {
    const int f = LandscapeTopWidth(w);
    SetRect(scene->topViewport, 2.0f, 3.0f, static_cast<float>(f), static_cast<float>(h - 3));
    SetRect(scene->sideViewport, static_cast<float>(f + 4), static_cast<float>(inset + 3),
            static_cast<float>(w - (f + 4)), static_cast<float>(int64_t{h} - (inset + 3)));
    SetRect(scene->mainViewport, 0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
  }
  DeriveAspects(scene);
  const int32_t* row = LayoutRow(scene->screenIndex);
  scene->lrOffset[0] = row[0];
  scene->lrOffset[1] = row[1];
}

void AvmInitialScreenLayout() {
  ViewParam* scene = pViewParam;
  if (IsPortraitLayout(scene->screenIndex)) {
    PortraitLayout(scene);
  } else {
    const int w = scene->screenWidth;
    const int h = scene->screenHeight;
    const int f = LandscapeTopWidth(w);
    SetRect(scene->topViewport, 0.0f, 0.0f, static_cast<float>(f), static_cast<float>(h));
    SetRect(scene->sideViewport, static_cast<float>(f), 0.0f, static_cast<float>(w - f),
            static_cast<float>(h));
    SetRect(scene->mainViewport, 0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
    // Only portrait layouts set the full viewport later; start it as the
    // whole screen so nothing ever reads an unset rectangle.
    SetRect(scene->fullViewport, 0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
  }
  DeriveAspects(scene);
}
