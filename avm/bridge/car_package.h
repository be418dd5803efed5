#pragma once
// The car package: the files of one car directory in a single file, as a
// plain sequence of entries without header or count:
//
//   name length  int32 LE, 1..256
//   name         that many bytes, no terminating zero; the file's path inside
//                the unpack area, directories separated by backslashes
//   data length  int32 LE, 0..1048572
//   data         that many bytes
//   trailer      the bytes 0x11 0x22 0x33 0x44
//
// The package ends exactly after an entry's trailer.
#include <cstddef>
#include <cstdint>

constexpr int32_t kMaxPackageNameLength = 256;
constexpr int32_t kMaxPackageDataLength = 0xFFFFC;
// One entry's data and trailer are read together into one buffer.
constexpr std::size_t kPackageBufferSize = 1u << 20;
constexpr uint8_t kPackageTrailer[4] = {0x11, 0x22, 0x33, 0x44};

// Results of UnpackFiles.
constexpr int kUnpackDone = 1;
constexpr int kUnpackCannotOpen = -2;
constexpr int kUnpackDamaged = -4;

// Writes every entry of the package to destination + name (destination ends
// with a separator), creating the directories named before each backslash
// with mode 0755. Returns 1 when the package was read to its end and every
// file was written, -2 when it cannot be opened, -4 when it is damaged or
// unsafe (an entry with a bad length, a wrong trailer, a package that ends
// inside an entry, a name that is empty, holds a zero byte, starts with a
// separator, has a ".." component or makes a path too long) or a file cannot
// be created or fully written. Every failure is logged. Nothing is written
// outside destination; the entries before a bad one stay written.
int UnpackFiles(const char* package, const char* destination);

// True when an entry name stays inside the unpack area: not empty, no zero
// byte, no leading separator of either kind and no ".." component.
bool PackageEntryNameIsSafe(const char* name, std::size_t length);
