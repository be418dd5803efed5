#pragma once
// The car package: a plain sequence of entries, each
//   int32 name length (little-endian, 0..256), the name (no terminator,
//   directories separated by backslashes, starting with the car's directory
//   name), int32 data length (0..1048572), the data, and the trailer bytes
//   0x11 0x22 0x33 0x44.
// No header, no count: the package ends after its last whole entry.
// Besides files, packers write directory entries (a name ending in a
// backslash, no data), names with leading separators (which the renderer
// ignores) and entries without a name (which write nothing); the reader
// takes them as the renderer does. The packer here writes files only.
//
// The renderer unpacks a package into <asset root>.tmp/ + name and takes the
// car's name from the package's file name without its last four characters,
// so the package of car "demo" is "demo.car" and holds "demo\params.bin",
// "demo\color\a\0.kes", ...
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tools {

constexpr std::int32_t kPackageMaxNameLength = 256;
constexpr std::int32_t kPackageMaxDataLength = 1048572;  // the unpacker's 1 MiB buffer less the trailer
inline const std::string kPackageTrailer("\x11\x22\x33\x44", 4);

// Files the renderer checks after unpacking and at selection.
inline const char* const kCarParamsName = "params.bin";
inline const char* const kCarMarkerName = "tires\\right_30\\f5.kes";

struct PackageEntry {
  std::string name;  // as stored, with backslashes
  std::string data;
};

// Why a name is refused, or empty when it is a safe relative path: no empty,
// "." or ".." component, no leading or trailing separator, no forward slash
// (the unpacker would not create its directories), no control character.
// This is what the packer writes.
std::string CheckEntryName(const std::string& name);

// The path an entry names below the unpack area: the name without the
// separators in front of it, which the renderer ignores. Backslashes stay.
std::string EntryPath(const std::string& name);
// True when an entry names no file of its own: an empty path (nothing is
// written) or one ending in a backslash (a directory entry).
bool EntryNamesNoFile(const std::string& name);
// Why a stored entry is refused, or empty when the renderer unpacks it
// cleanly: a file whose path CheckEntryName accepts, or an entry that names
// no file (its directories checked the same way) and carries no data.
std::string CheckStoredEntry(const std::string& name, std::size_t dataSize);

// Printable form of untrusted bytes for messages (\xHH for the rest).
std::string Printable(const std::string& bytes);

enum class CollectResult { kOk, kCannotRead, kRefused };

// Collects the files of a car directory as package entries, sorted by name,
// each named <directory's last component>\<relative path with backslashes>.
// Refuses (kRefused) symbolic links, special files, names that
// CheckEntryName refuses or that are too long, and files over
// kPackageMaxDataLength bytes; kCannotRead when the directory or a file
// cannot be read.
CollectResult CollectCarDirectory(const std::string& carDirectory, std::vector<PackageEntry>* entries,
                                  std::string* error);

// The package bytes of the entries, in their order.
std::string SerializePackage(const std::vector<PackageEntry>& entries);

// The car name the renderer derives from a package path: the file name
// without its last four characters ("" when the name is too short).
std::string CarNameOfPackage(const std::string& packagePath);

// Reads a package entry by entry from an open file, checking each as it
// comes: lengths in range, a whole entry, the trailer, CheckStoredEntry.
class PackageReader {
 public:
  enum class Step { kEntry, kEnd, kError };
  explicit PackageReader(std::FILE* file) : file_(file) {}
  // kEntry fills *entry; kEnd after the last whole entry; kError with a
  // sentence in *error (the offset of the bad entry included).
  Step Next(PackageEntry* entry, std::string* error);
  int entriesRead() const { return entries_; }

 private:
  bool ReadExactly(std::size_t count, std::string* into, bool* atEnd);
  std::FILE* file_;
  std::uint64_t offset_ = 0;
  int entries_ = 0;
};

// Checks that the entries make a package that unpacks cleanly: no file
// twice, no path that is both a file and a directory of another entry.
bool CheckEntrySet(const std::vector<std::string>& names, std::string* error);

}  // namespace tools
