#include "tools/lib/params_bin.h"

#include "tools/lib/le_bytes.h"

namespace tools {

namespace {

void AppendEntries(std::string* out, const PositionEntry* entries, int count) {
  for (int i = 0; i < count; ++i) {
    AppendI32(out, entries[i].x);
    AppendI32(out, entries[i].y);
    AppendI32(out, entries[i].width);
    AppendI32(out, entries[i].height);
  }
}

void AppendFloats(std::string* out, const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    AppendF32(out, values[i]);
  }
}

void ReadEntries(const unsigned char** at, PositionEntry* entries, int count) {
  for (int i = 0; i < count; ++i) {
    entries[i].x = ReadI32(*at);
    entries[i].y = ReadI32(*at + 4);
    entries[i].width = ReadI32(*at + 8);
    entries[i].height = ReadI32(*at + 12);
    *at += 16;
  }
}

void ReadFloats(const unsigned char** at, float* values, int count) {
  for (int i = 0; i < count; ++i) {
    values[i] = ReadF32(*at);
    *at += 4;
  }
}

}  // namespace

bool ParseParams(const std::string& bytes, CarParams* params) {
  if (bytes.size() != kParamsBinSize) {
    return false;
  }
  const unsigned char* at = Bytes(bytes);
  for (std::int32_t& value : params->carSize) {
    value = ReadI32(at);
    at += 4;
  }
  ReadEntries(&at, params->tiresOffset, 4);
  ReadFloats(&at, &params->cord[0][0], 192 * 4);
  ReadFloats(&at, params->top2, 5);
  ReadFloats(&at, params->plateCord, 24);
  ReadFloats(&at, params->tiresParams, 6);
  ReadFloats(&at, params->lookat, 6);
  ReadFloats(&at, params->picSize, 4);
  ReadEntries(&at, params->lampsOffset, 12);
  ReadEntries(&at, params->doorsOffset, 18);
  ReadEntries(&at, params->lampsOffset2, 104);
  ReadEntries(&at, params->doorsOffset2, 78);
  ReadEntries(&at, params->tiresOffset2, 26);
  return true;
}

std::string SerializeParams(const CarParams& params) {
  std::string out;
  out.reserve(kParamsBinSize);
  for (std::int32_t value : params.carSize) {
    AppendI32(&out, value);
  }
  AppendEntries(&out, params.tiresOffset, 4);
  AppendFloats(&out, &params.cord[0][0], 192 * 4);
  AppendFloats(&out, params.top2, 5);
  AppendFloats(&out, params.plateCord, 24);
  AppendFloats(&out, params.tiresParams, 6);
  AppendFloats(&out, params.lookat, 6);
  AppendFloats(&out, params.picSize, 4);
  AppendEntries(&out, params.lampsOffset, 12);
  AppendEntries(&out, params.doorsOffset, 18);
  AppendEntries(&out, params.lampsOffset2, 104);
  AppendEntries(&out, params.doorsOffset2, 78);
  AppendEntries(&out, params.tiresOffset2, 26);
  return out;
}

}  // namespace tools
