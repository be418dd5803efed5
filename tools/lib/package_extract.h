#pragma once
// Writes package entries below a destination directory without ever leaving
// it: the name's components are opened one by one relative to the directory
// before them, symbolic links are never followed, and names are checked with
// CheckEntryName first.
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
  // Writes data to the entry's path, backslashes taken as separators.
  bool Write(const std::string& name, const std::string& data, std::string* error);

 private:
  int root_ = -1;
  std::string directory_;
};

}  // namespace tools
