// Command 60: saves the display configuration as common/config.bin below
// the asset directory, in the form initialisation reads back (view_init.h):
// 27 little-endian 32-bit values, 108 bytes.
//
// The file is written beside the old one and renamed over it only when it
// was written completely, so a full storage or a failing write never leaves
// a cut configuration where a good one was.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "avm/common/avm_log.h"
#include "avm/bridge/command_handlers.h"
#include "avm/common/path_format.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/view_init.h"

namespace {

class ConfigBytes {
 public:
  void Int(int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
      bytes_[size_++] = static_cast<uint8_t>(bits >> (8 * i));
    }
  }
  void Float(float value) {
    int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    Int(bits);
  }
  const uint8_t* data() const { return bytes_; }
  std::size_t size() const { return size_; }

 private:
  uint8_t bytes_[kConfigFileSize] = {};
  std::size_t size_ = 0;
};

void Serialise(const ViewParam* scene, ConfigBytes* out) {
  for (const auto& rect : scene->layoutRects) {
    for (float value : rect) {
      out->Float(value);
    }
  }
  out->Float(scene->topViewMargin);
  out->Float(scene->viewFovy);
  out->Int(scene->lrOffset[0]);
  out->Int(scene->lrOffset[1]);
  out->Float(scene->lrParamCommon);
  for (float value : scene->lrParamsLeft) {
    out->Float(value);
  }
  for (float value : scene->lrParamsRight) {
    out->Float(value);
  }
}

bool WriteAll(FILE* file, const ConfigBytes& bytes) {
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool flushed = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  const bool closed = std::fclose(file) == 0;
  return written && flushed && closed;
}

}  // namespace

int CmdSaveConfiguration(int32_t) {
  const ViewParam* scene = pViewParam;
  char path[kPathBufferSize];
  char partPath[kPathBufferSize];
  if (!FormatPath(path, sizeof(path), "%s%s", scene->assetRoot, kConfigFileName) ||
      !FormatPath(partPath, sizeof(partPath), "%s%s.part", scene->assetRoot, kConfigFileName)) {
    return 1;
  }
  // Whatever reads the log takes "---------CMD_CONFIG_SAVE:<path> " for a
  // saved configuration: it is written only once the file is in place, and
  // a failure's line never begins with it.
  FILE* file = std::fopen(partPath, "wb");
  if (file == nullptr) {
    AVM_LOGI("---------CMD_CONFIG_SAVE failed:%s cannot be created", path);
    return 1;
  }
  ConfigBytes bytes;
  Serialise(scene, &bytes);
  static_assert(kConfigFileSize == 27 * 4, "config.bin holds 27 values of 4 bytes");
  if (!WriteAll(file, bytes) || std::rename(partPath, path) != 0) {
    AVM_LOGI("---------CMD_CONFIG_SAVE failed:%s write failed, the old file stays", path);
    std::remove(partPath);
    return 1;
  }
  AVM_LOGI("---------CMD_CONFIG_SAVE:%s ", path);
  return 1;
}
