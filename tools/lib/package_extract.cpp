#include "tools/lib/package_extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tools/lib/car_package.h"
#include "tools/lib/file_util.h"

namespace tools {

ExtractDestination::~ExtractDestination() {
  if (root_ >= 0) {
    close(root_);
  }
}

bool ExtractDestination::Open(const std::string& directory, std::string* error) {
  if (!MakeDirectories(directory, error)) {
    return false;
  }
  root_ = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root_ < 0) {
    *error = "cannot open " + directory + ": " + std::strerror(errno);
    return false;
  }
  directory_ = directory;
  return true;
}

bool ExtractDestination::Write(const std::string& storedName, const std::string& data, std::string* error) {
  const std::string problem = CheckStoredEntry(storedName, data.size());
  if (!problem.empty()) {
    *error = "refused entry '" + Printable(storedName) + "': " + problem;
    return false;
  }
  const std::string name = EntryPath(storedName);
  if (name.empty()) {
    return true;  // an entry without a name writes nothing
  }
  std::vector<std::string> components;
  std::size_t start = 0;
  for (std::size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', start)) {
    components.push_back(name.substr(start, at - start));
    start = at + 1;
  }
  const std::string leaf = name.substr(start);
  int current = dup(root_);
  if (current < 0) {
    *error = std::string("cannot open the destination: ") + std::strerror(errno);
    return false;
  }
  std::string walked = directory_;
  for (const std::string& component : components) {
    walked += "/" + component;
    if (mkdirat(current, component.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = "cannot create directory " + walked + ": " + std::strerror(errno);
      close(current);
      return false;
    }
    const int next = openat(current, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(current);
    if (next < 0) {
      *error = "cannot enter " + walked + " (it must be a plain directory): " + std::strerror(errno);
      return false;
    }
    current = next;
  }
  if (leaf.empty()) {
    close(current);  // a directory entry: its directories are all it makes
    return true;
  }
  const std::string path = walked + "/" + leaf;
  const int file = openat(current, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  close(current);
  if (file < 0) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t wrote = write(file, data.data() + done, data.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) {
        continue;
      }
      *error = "cannot write " + path + ": " + std::strerror(errno);
      close(file);
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  if (close(file) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace tools
