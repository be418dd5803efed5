#pragma once
// Where the images of the selected car live. Every car is unpacked below
// {assetRoot}.tmp/ in one of two layouts:
//   named     {assetRoot}.tmp/{carName}/...            (every loader)
//   numbered  {assetRoot}.tmp/car{N}/color{M}/...      (whole-car and top
//             images only, when numberedCarLayout is 1)
// Paths are formatted into 256-byte buffers; one that does not fit is
// refused (FormatPath), never cut into another path.
#include <cstddef>

struct ViewParam;

// The unpacked-package area, appended to assetRoot with no separator.
constexpr const char* kCarTreeDir = ".tmp/";

// The longest text any car loader appends after "{assetRoot}.tmp/{carName}"
// ("//color//door//front2//d5.kes", "//color//light//front2//3.kes" and
// their kin are 29 bytes), with room to spare. A car name for which
// assetRoot + ".tmp/" + name + this many bytes fits the path buffers can be
// loaded by every loader without a path being refused.
constexpr std::size_t kLongestCarFileSuffix = 40;

// A file of the named car: "{assetRoot}.tmp///{carName}" followed by
// relativeFormat ("//color//a//130.kes", "//tires//left//f%d.kes"). The
// doubled separators are those the car files have always been named with;
// the file system folds them. Returns false, with an empty buffer and one
// log line, when the path does not fit capacity.
bool CarFilePath(char* buffer, std::size_t capacity, const char* assetRoot, const char* carName,
                 const char* relativeFormat, ...) __attribute__((format(printf, 5, 6)));

// True when every loader path of carName below assetRoot fits the 256-byte
// path buffers (and carName fits its own 256-byte field).
bool CarNameFitsPathBuffers(const char* assetRoot, const char* carName);

// color/a/{angle}.kes of the selected car, in the scene's layout.
bool WholeCarImagePath(char* buffer, std::size_t capacity, const ViewParam* scene, int angle);

// The car pictures of load_textureIndex by type: 0 color/light2.kes,
// 1 color/warning2.kes, 2 color/light1.kes (always the named layout).
// False for other types.
bool CarPicturePath(char* buffer, std::size_t capacity, const ViewParam* scene, int type);
