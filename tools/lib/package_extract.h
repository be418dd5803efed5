#pragma once
// Writes package entries below a destination directory without ever leaving
// it: the name's components are opened one by one relative to the directory
// before them, symbolic links are never followed, and entries are checked
// with CheckStoredEntry first.
#include <string>

namespace tools {

class ExtractDestination {
 public:
  ExtractDestination() = default;
  ~ExtractDestination();
  ExtractDestination(const ExtractDestination&) = delete;
  ExtractDestination& operator=(const ExtractDestination&) = delete;

  // Opens (creating when missing) the destination directory.
  bool Open(const std::string& directory, std::string* error);
  // Writes data to the entry's path, backslashes taken as separators and
  // leading separators dropped; a directory entry makes its directories and
  // an empty name writes nothing.
  bool Write(const std::string& storedName, const std::string& data, std::string* error);

 private:
  int root_ = -1;
  std::string directory_;
};

}  // namespace tools
