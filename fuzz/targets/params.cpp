// AvmCalScale over arbitrary params.bin bytes. Whatever the file holds, the
// float tables and scales that drawing uses must come out as finite numbers:
// one NaN or infinity there turns into a matrix of NaNs and a car that
// vanishes from the screen.
#include <cmath>
#include <cstdio>
#include <string>

#include "avm/bridge/scene_state.h"
#include "avm/view/car_params.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_scene.h"
#include "fuzz/fuzz_support.h"

namespace {

void CheckFinite(const float* values, std::size_t count, const char* table) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) {
      char what[96];
      std::snprintf(what, sizeof(what), "%s[%zu] is not finite", table, i);
      fuzz::Fail("params", what);
    }
  }
}

}  // namespace

FUZZ_TARGET(params) {
  ViewParam* scene = fuzz::Scene();
  static const std::string car = fuzz::SceneAssetRoot() + ".tmp/fz/";
  static const bool made = fuzz::MakeDirectories(car);
  if (!made || !fuzz::WriteWholeFile(car + "params.bin", data, size)) {
    fuzz::Fail("params", "cannot write params.bin");
  }
  scene->numberedCarLayout = 0;
  std::snprintf(scene->carName, sizeof(scene->carName), "fz");
  AvmCalScale();

  CheckFinite(&carCordCur[0][0], 192 * 4, "carCordCur");
  CheckFinite(carTop2Cur, 5, "carTop2Cur");
  CheckFinite(carPlateCordCur, 24, "carPlateCordCur");
  CheckFinite(carTiresParamsCur, 6, "carTiresParamsCur");
  CheckFinite(carLookatAllCur, 6, "carLookatAllCur");
  CheckFinite(carPicSizeCur, 4, "carPicSizeCur");
  CheckFinite(scene->topScale, 2, "topScale");
  CheckFinite(&scene->topCarScaleX, 1, "topCarScaleX");
  CheckFinite(&scene->topCarScaleY, 1, "topCarScaleY");
  CheckFinite(&scene->camHeight, 1, "camHeight");
  CheckFinite(&scene->camDistance, 1, "camDistance");
  CheckFinite(&scene->camTargetHeight, 1, "camTargetHeight");
  CheckFinite(&scene->camFourthValue, 1, "camFourthValue");
  return 0;
}
