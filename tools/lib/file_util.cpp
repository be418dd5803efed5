#include "tools/lib/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tools {

namespace {

std::string Describe(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path, std::size_t limit, std::string* bytes, std::string* error) {
  bytes->clear();
  // Without O_NONBLOCK the open itself of a pipe waits for a writer, before
  // the check below can refuse it.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = Describe("cannot open", path);
    return ReadResult::kCannotOpen;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = "cannot open " + path + ": not a regular file";
    close(fd);
    return ReadResult::kCannotOpen;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) {
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  if (static_cast<unsigned long long>(info.st_size) > limit) {
    *error = path + " is " + std::to_string(static_cast<long long>(info.st_size)) + " bytes, more than the limit of " +
             std::to_string(limit) + " bytes";
    close(fd);
    return ReadResult::kTooLarge;
  }
  // Read up to one byte past the limit so that a file that grew after the
  // size check is still caught.
  std::vector<char> buffer(limit + 1 > 65536 ? 65536 : limit + 1);
  for (;;) {
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      *error = Describe("cannot read", path);
      close(fd);
      bytes->clear();
      return ReadResult::kReadError;
    }
    if (got == 0) {
      break;
    }
    bytes->append(buffer.data(), static_cast<std::size_t>(got));
    if (bytes->size() > limit) {
      *error = path + " grew past the limit of " + std::to_string(limit) + " bytes while it was read";
      close(fd);
      bytes->clear();
      return ReadResult::kTooLarge;
    }
  }
  close(fd);
  return ReadResult::kOk;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error) {
  std::string temporary = path + ".partial-XXXXXX";
  std::vector<char> name(temporary.begin(), temporary.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = Describe("cannot create a file beside", path);
    return false;
  }
  temporary = name.data();
  bool ok = WriteAll(fd, bytes);
  if (!ok) {
    *error = Describe("cannot write", temporary);
  }
  // mkstemp creates 0600; the outputs are ordinary shared files.
  if (ok && fchmod(fd, 0644) != 0) {
    *error = Describe("cannot set the mode of", temporary);
    ok = false;
  }
  if (close(fd) != 0 && ok) {
    *error = Describe("cannot write", temporary);
    ok = false;
  }
  if (ok && rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Describe("cannot replace", path);
    ok = false;
  }
  if (!ok) {
    unlink(temporary.c_str());
  }
  return ok;
}

bool MakeDirectories(const std::string& path, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(path, code);
  if (code) {
    *error = "cannot create directory " + path + ": " + code.message();
    return false;
  }
  if (!std::filesystem::is_directory(path, code)) {
    *error = "cannot create directory " + path + ": a file of that name is in the way";
    return false;
  }
  return true;
}

std::string BaseName(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') {
    --end;
  }
  const std::size_t slash = path.rfind('/', end == 0 ? 0 : end - 1);
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(start, end - start);
}

}  // namespace tools
