#pragma once
// What the harnesses share: a private scratch folder per process, whole-file
// writes, a listing of a folder tree (to prove that nothing was written
// where it does not belong), and a reader that cuts the fuzzer's bytes into
// the fields a harness needs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// A folder of this process under $TMPDIR (or /tmp), made on first use and
// ending with '/'. Harnesses keep all their files below it.
const std::string& ScratchDirectory();

bool WriteWholeFile(const std::string& path, const uint8_t* data, std::size_t size);
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool MakeDirectories(const std::string& path);
// Removes path and everything below it; symbolic links are removed, never
// followed.
void RemoveTree(const std::string& path);
// Every path below root, relative to it, folders included ("a", "a/b", ...).
std::vector<std::string> ListTree(const std::string& root);

// A finding: prints the target and what went wrong, then aborts so that the
// fuzzer keeps the input (and the replay test fails).
[[noreturn]] void Fail(const char* target, const char* what);

// Cuts input bytes into fields; past the end every field reads as zero.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // Up to count bytes from the current position.
  std::vector<uint8_t> Bytes(std::size_t count);
  std::vector<uint8_t> Rest() { return Bytes(size_ - offset_); }
  std::size_t remaining() const { return size_ - offset_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

}  // namespace fuzz
