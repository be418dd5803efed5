#include "fuzz/fuzz_scene.h"

#include <cstdio>

#include "avm/bridge/scene_state.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {

const std::string& SceneAssetRoot() {
  static const std::string root = [] {
    const std::string path = ScratchDirectory() + "assets/";
    if (!MakeDirectories(path) || AllocateSceneState() == nullptr) {
      Fail("scene", "cannot set up the scene record");
    }
    if (std::snprintf(pViewParam->assetRoot, sizeof(pViewParam->assetRoot), "%s", path.c_str()) >=
        static_cast<int>(sizeof(pViewParam->assetRoot))) {
      Fail("scene", "scratch folder path too long for the asset directory");
    }
    return path;
  }();
  return root;
}

ViewParam* Scene() {
  SceneAssetRoot();
  return pViewParam;
}

}  // namespace fuzz
