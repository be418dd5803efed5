#pragma once
// Facts about the files of an unpacked car directory, shared by the unpack
// check of mode 1 and by selection: whether a file is there, its size and
// time, and the paths of the two files that say a car is complete.
#include <cstdint>

struct ViewParam;

struct FileFacts {
  bool exists = false;
  int64_t size = -1;  // -1 when missing
  int64_t modified = 0;
};

FileFacts Facts(const char* path);
bool Exists(const char* path);

// params.bin and the marker tires/right_30/f5.kes of carName under
// {assetRoot}.tmp/, in buffers of kPathBufferSize. False when either path
// would not fit.
bool CarFilePaths(const ViewParam* scene, const char* carName, char* params, char* marker);
