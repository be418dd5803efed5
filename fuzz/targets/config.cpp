// AvmReadConfig over arbitrary common/config.bin bytes: every display
// field must come out finite, whatever was stored.
#include <cmath>
#include <string>

#include "avm/bridge/scene_state.h"
#include "avm/view/view_init.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_scene.h"
#include "fuzz/fuzz_support.h"

namespace {

void CheckFinite(const float* values, std::size_t count, const char* field) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) {
      fuzz::Fail("config", field);
    }
  }
}

}  // namespace

FUZZ_TARGET(config) {
  ViewParam* scene = fuzz::Scene();
  static const std::string common = fuzz::SceneAssetRoot() + "common/";
  static const bool made = fuzz::MakeDirectories(common);
  if (!made || !fuzz::WriteWholeFile(common + "config.bin", data, size)) {
    fuzz::Fail("config", "cannot write config.bin");
  }
  AvmReadConfig();
  CheckFinite(&scene->layoutRects[0][0], 16, "layoutRects");
  CheckFinite(&scene->topViewMargin, 1, "topViewMargin");
  CheckFinite(&scene->viewFovy, 1, "viewFovy");
  CheckFinite(&scene->lrParamCommon, 1, "lrParamCommon");
  CheckFinite(scene->lrParamsLeft, 3, "lrParamsLeft");
  CheckFinite(scene->lrParamsRight, 3, "lrParamsRight");
  return 0;
}
