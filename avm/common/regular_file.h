#pragma once
// The one rule for opening a file that comes from outside the renderer
// (packages, config.bin, params.bin, car.bin, pictures, shader files): it is
// read only when it is a regular file. A directory would read as an error
// and a pipe or device of that name would block the caller, who holds the
// scene lock, for as long as nobody writes into it; so the file is opened
// without blocking and checked before anything is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

// A descriptor open for reading, or -1 when path cannot be opened or is not
// a regular file. *size gets the file's length in bytes. Close it with close().
inline int OpenRegularFileDescriptor(const char* path, int64_t* size) {
  if (path == nullptr) {
    return -1;
  }
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    close(fd);
    return -1;
  }
  *size = static_cast<int64_t>(info.st_size);
  return fd;
}

// The same as a stream for binary reading, or null. Close it with fclose().
inline FILE* OpenRegularFile(const char* path) {
  int64_t size = 0;
  const int fd = OpenRegularFileDescriptor(path, &size);
  if (fd < 0) {
    return nullptr;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
  }
  return file;
}
