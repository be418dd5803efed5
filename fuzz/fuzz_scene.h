#pragma once
// The renderer's scene record for harnesses that run a reader outside the
// library's start-up: allocated once, its asset directory set to a folder
// below the scratch folder.
#include <string>

struct ViewParam;

namespace fuzz {

// The asset directory (ending with '/') of the harness's scene, made on
// first use; the scene record is pViewParam from then on.
const std::string& SceneAssetRoot();
ViewParam* Scene();

}  // namespace fuzz
