#include "avm/imagegen/glyph_plan.h"

namespace {

bool Inside(int64_t x, int64_t y, int64_t width, int64_t height, const cv::Mat& picture) {
  return width > 0 && height > 0 && x >= 0 && y >= 0 && x + width <= picture.cols &&
         y + height <= picture.rows;
}

}  // namespace

void AddGlyphPaste(GlyphPlan* plan, int64_t sourceX, int64_t sourceY, int64_t width, int64_t height,
                   int64_t targetX, int64_t targetY) {
  if (plan->count >= kMaxGlyphPastes) {
    plan->count = kMaxGlyphPastes + 1;  // marks the plan as overfilled
    return;
  }
  plan->pastes[plan->count++] = GlyphPaste{sourceX, sourceY, width, height, targetX, targetY};
}

bool GlyphPlanFits(const GlyphPlan& plan, const cv::Mat& sheet, const cv::Mat& canvas) {
  if (plan.count > kMaxGlyphPastes || sheet.empty() || canvas.empty() ||
      sheet.type() != canvas.type()) {
    return false;
  }
  for (int i = 0; i < plan.count; ++i) {
    const GlyphPaste& paste = plan.pastes[i];
    if (!Inside(paste.sourceX, paste.sourceY, paste.width, paste.height, sheet) ||
        !Inside(paste.targetX, paste.targetY, paste.width, paste.height, canvas)) {
      return false;
    }
  }
  return true;
}

void ApplyGlyphPlan(const GlyphPlan& plan, const cv::Mat& sheet, cv::Mat& canvas) {
  for (int i = 0; i < plan.count && i < kMaxGlyphPastes; ++i) {
    const GlyphPaste& paste = plan.pastes[i];
    const int width = static_cast<int>(paste.width);
    const int height = static_cast<int>(paste.height);
    sheet(cv::Rect(static_cast<int>(paste.sourceX), static_cast<int>(paste.sourceY), width, height))
        .copyTo(canvas(cv::Rect(static_cast<int>(paste.targetX), static_cast<int>(paste.targetY),
                                width, height)));
  }
}
