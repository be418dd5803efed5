#include "avm/sprites/whole_car_sprites.h"

#include <GLES2/gl2.h>

#include <cmath>
#include <exception>
#include <opencv2/imgproc.hpp>

#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/sprite_image.h"

namespace {

// Decodes the file and uploads it unchanged.
int LoadUnchanged(int texture, const char* path) {
  return UploadSpriteImage(texture, DecodeSpriteImage(path));
}

}  // namespace

int load_textureAll(int texture) { return load_textureAll2(texture, pViewParam->spriteAngle); }

int load_textureAll2(int texture, int angle) {
  char path[kPathBufferSize];
  // A path that does not fit is an image that is not there.
  WholeCarImagePath(path, sizeof(path), pViewParam, angle);
  return LoadUnchanged(texture, path);
}

int load_textureIndex(int texture, int type) {
  char path[kPathBufferSize];
  if (type < 0 || type > 2) {
    AVM_LOGI("---------load_textureIndex,type %d unknown", type);
    return texture;
  }
  CarPicturePath(path, sizeof(path), pViewParam, type);
  return LoadUnchanged(texture, path);
}

int load_texturMipMap(int texture, int scale) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  char path[kPathBufferSize];
  FormatPath(path, sizeof(path), "%scommon/lane1.png", pViewParam->assetRoot);
  cv::Mat lane = DecodeSpriteImage(path);
  cv::Mat shrunk;
  if (!lane.empty()) {
    const double factor = scale * 0.125;
    // The size cv::resize derives from the factors (its own rounding, half
    // to even: a 100-pixel lane at scale 1 gives 12), worked out beforehand
    // only so that a factor giving no pixels, or far too many, is refused
    // instead of failing inside the resize.
    const double width = static_cast<double>(cv::saturate_cast<int>(lane.cols * factor));
    const double height = static_cast<double>(cv::saturate_cast<int>(lane.rows * factor));
    if (width < 1.0 || height < 1.0 || width * height > static_cast<double>(kMaxSpritePixels)) {
      AVM_LOGI("---------load_texturMipMap,scale %d out of range", scale);
    } else {
      try {
        cv::Mat rgba;
        cv::cvtColor(lane, rgba, cv::COLOR_BGRA2RGBA);
        cv::resize(rgba, shrunk, cv::Size(), factor, factor, cv::INTER_AREA);
      } catch (const std::exception&) {
        // The decoder library's errors and memory running out alike.
        shrunk.release();
      }
    }
  }
  return UploadSpriteImage(texture, shrunk);
}
