#pragma once
// The car package: the files of one car directory in a single file, as a
// plain sequence of entries without header or count:
//
//   name length  int32 LE, 0..256
//   name         that many bytes, no terminating zero; the file's path inside
//                the unpack area, directories separated by backslashes
//   data length  int32 LE, 0..1048572
//   data         that many bytes
//   trailer      the bytes 0x11 0x22 0x33 0x44
//
// The package ends exactly after an entry's trailer. Packers write more
// than files: a name ending in a separator with no data is a directory
// entry, a name may begin with a separator (the unpack area is its root),
// and a name may be empty (nothing to write).
#include <cstddef>
#include <cstdint>

constexpr int32_t kMaxPackageNameLength = 256;
constexpr int32_t kMaxPackageDataLength = 0xFFFFC;
// One entry's data and trailer are read together into one buffer.
constexpr std::size_t kPackageBufferSize = 1u << 20;
constexpr uint8_t kPackageTrailer[4] = {0x11, 0x22, 0x33, 0x44};

// Each file is written under a temporary name in its own directory,
// "<prefix><n>.part" with the lowest n that names nothing yet (created
// exclusively), and renamed over the file once complete. An entry may name
// any file a car directory can hold, these included, so the temporary
// file is never one that stands there: it can neither cut an entry written
// before nor be taken for one. The name keeps to characters every file
// system of a head unit's storage accepts.
constexpr char kUnpackPartPrefix[] = ".unpack-";
constexpr int kUnpackPartTries = 64;

// Results of UnpackFiles.
constexpr int kUnpackDone = 1;
constexpr int kUnpackCannotOpen = -2;
constexpr int kUnpackDamaged = -4;

// Writes every entry of the package to destination + name (destination ends
// with a separator), creating the directories named before each backslash
// with mode 0755; leading separators of a name are ignored, a directory
// entry only makes its directories and an empty name writes nothing.
// Returns 1 when the package was read to its end and every entry was
// written, -2 when it cannot be opened, -4 when it is damaged or unsafe (an
// entry with a bad length, a wrong trailer, a package that ends inside an
// entry, a name that holds a zero byte or has a ".." component: unpacking
// stops there) or when some entry could not be written (its file cannot be
// created or fully written, its path is too long, or it names no file but
// carries data: that entry is skipped, the rest are still written, and -4
// reports the loss at the end). Every failure is logged. Nothing is
// written outside destination; the entries before a bad one stay written.
int UnpackFiles(const char* package, const char* destination);

// True when an entry name stays inside the unpack area: no zero byte and
// no ".." component. Empty names and leading separators are safe: the
// unpack area is the root of every name.
bool PackageEntryNameIsSafe(const char* name, std::size_t length);
