#pragma once
// Whole-file reading with a size limit and file writing that never leaves a
// half-written file behind, for the tools. Every failure comes back as false
// with a sentence in *error naming the path.
#include <cstddef>
#include <string>

namespace tools {

enum class ReadResult {
  kOk,
  kCannotOpen,   // missing, unreadable, or not a regular file
  kTooLarge,     // larger than the limit; nothing was read
  kReadError,
};

// Reads a regular file of at most `limit` bytes into *bytes.
ReadResult ReadWholeFile(const std::string& path, std::size_t limit, std::string* bytes, std::string* error);

// Writes bytes to a fresh file beside path and renames it over path, so that
// readers see either the old file or the whole new one.
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error);

// Creates the directory and its missing parents (mode 0755).
bool MakeDirectories(const std::string& path, std::string* error);

// The last component of a path ("a/b/demo.car" gives "demo.car"); trailing
// separators are ignored.
std::string BaseName(const std::string& path);

}  // namespace tools
