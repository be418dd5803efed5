// The 2D top view for any of the sixteen door combinations. A car ships
// only six top images (no door, each single door, all doors); since the
// doors of flags 0 and 2 lie in the left half of the picture and those of
// flags 1 and 3 in the right half, any other combination is the left half of
// the image whose left-hand doors match joined onto the image whose
// right-hand doors match.
#include <algorithm>
#include <cstdio>

#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/sprites/car_asset_paths.h"
#include "avm/sprites/sprite_image.h"
#include "avm/sprites/state_sprite_parts.h"
#include "avm/sprites/state_sprites.h"

namespace {

// Flags packed as the digits of a top image name: d0 d1 d2 d3 -> 1000 * d0
// + 100 * d1 + 10 * d2 + d3.
int TopCode(bool d0, bool d1, bool d2, bool d3) {
  return (d0 ? 1000 : 0) + (d1 ? 100 : 0) + (d2 ? 10 : 0) + (d3 ? 1 : 0);
}

// The six images a car ships.
bool TopImageShipped(int code) {
  switch (code) {
    case 0:
    case 1000:
    case 100:
    case 10:
    case 1:
    case 1111:
      return true;
    default:
      return false;
  }
}

// The shipped image whose left-pair doors (d0, d2) are the given ones:
// top0000, top1000, top0010 or top1111.
int LeftHalfSource(bool d0, bool d2) {
  if (d0 && d2) {
    return 1111;
  }
  return TopCode(d0, false, d2, false);
}

// The shipped image whose right-pair doors (d1, d3) are the given ones:
// top0000, top0100, top0001 or top1111.
int RightHalfSource(bool d1, bool d3) {
  if (d1 && d3) {
    return 1111;
  }
  return TopCode(false, d1, false, d3);
}

// Decodes the top images of one composition; a missing or undecodable one
// is replaced by top0000, decoded at most once.
class TopImageReader {
 public:
  cv::Mat Read(int code) {
    if (code != 0) {
      char fileName[16];
      std::snprintf(fileName, sizeof(fileName), "top%04d.kes", code);
      cv::Mat image = Decode(fileName);
      if (!image.empty()) {
        return image;
      }
    }
    if (!plainRead_) {
      plain_ = Decode("top0000.kes");
      plainRead_ = true;
    }
    return plain_;
  }

 private:
  static cv::Mat Decode(const char* fileName) {
    char path[kPathBufferSize];
    get_top_name(path, fileName);  // a path that does not fit reads as missing
    return DecodeSpriteImage(path);
  }

  cv::Mat plain_;
  bool plainRead_ = false;
};

// Copies the left half of left (columns 0 .. cols / 2 - 1, every row) onto
// the same place of right. Top images of one car are meant to share one
// size; when right is smaller the copy is clipped to it, so a damaged car
// gives a wrong picture, never a write outside either image.
void JoinLeftHalf(const cv::Mat& left, cv::Mat& right) {
  if (left.empty() || right.empty() || left.type() != right.type()) {
    return;
  }
  const int width = std::min(left.cols / 2, right.cols);
  const int height = std::min(left.rows, right.rows);
  if (width <= 0 || height <= 0) {
    return;
  }
  const cv::Rect half(0, 0, width, height);
  left(half).copyTo(right(half));
}

}  // namespace

int get_top_name(char* out, const char* fileName) {
  const ViewParam* scene = pViewParam;
  if (out == nullptr) {
    return 1;
  }
  if (fileName == nullptr) {
    out[0] = '\0';
    return 1;
  }
  if (scene->numberedCarLayout == 1) {
    FormatPath(out, kPathBufferSize, "%s%s//car%d//color%d//top//%s", scene->assetRoot,
               kCarTreeDir, scene->carNumber, scene->colorNumber, fileName);
  } else {
    CarFilePath(out, kPathBufferSize, scene->assetRoot, scene->carName, "//color//top//%s",
                fileName);
  }
  return 1;
}

int load_texture_top(int texture) {
  AVM_LOGI("load_texture_top\n");
  const ViewParam* scene = pViewParam;
  const bool d0 = DoorFlagOpen(scene, 0);
  const bool d1 = DoorFlagOpen(scene, 1);
  const bool d2 = DoorFlagOpen(scene, 2);
  const bool d3 = DoorFlagOpen(scene, 3);

  TopImageReader reader;
  const int code = TopCode(d0, d1, d2, d3);
  if (TopImageShipped(code)) {
    return UploadSpriteImage(texture, reader.Read(code));
  }
  const cv::Mat left = reader.Read(LeftHalfSource(d0, d2));
  cv::Mat result = reader.Read(RightHalfSource(d1, d3));
  if (result.data == left.data) {
    // Both stand in for missing files with the same top0000: the join
    // would copy the image onto itself, so there is nothing to do.
    return UploadSpriteImage(texture, result);
  }
  JoinLeftHalf(left, result);
  return UploadSpriteImage(texture, result);
}
