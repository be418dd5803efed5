// The preloaded half: wrappers of the libc write-side calls that count the
// calls touching paths below a prefix and fail the chosen one. Descriptors
// and streams opened below the prefix are remembered so that their writes,
// flushes and syncs are counted too.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

std::mutex gMutex;
bool gArmed = false;
std::string gPrefix;
int gNth = 0;
int gError = EIO;
int gCount = 0;
bool gFired = false;
std::set<int> gTrackedFds;
std::set<FILE*> gTrackedStreams;

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string PathOfFd(int fd) {
  char link[64];
  char target[4096];
  std::snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, target, sizeof(target) - 1);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

// The absolute form of path relative to dirfd, enough to compare with the
// prefix (no symbolic links are resolved in the name itself).
std::string Resolve(int dirfd, const char* path) {
  if (path == nullptr) {
    return std::string();
  }
  if (path[0] == '/') {
    return path;
  }
  std::string base;
  if (dirfd == AT_FDCWD) {
    char cwd[4096];
    base = getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : "";
  } else {
    base = PathOfFd(dirfd);
  }
  return base + "/" + path;
}

bool UnderPrefix(const std::string& path) {
  return gArmed && !gPrefix.empty() && path.compare(0, gPrefix.size(), gPrefix) == 0;
}

// Counts one operation; true when it is the one to fail (errno is set).
bool CountAndDecide() {
  ++gCount;
  if (gNth > 0 && gCount == gNth) {
    gFired = true;
    errno = gError;
    return true;
  }
  return false;
}

bool OpensForWriting(int flags) {
  return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0;
}

bool ModeWrites(const char* mode) {
  return mode != nullptr && (std::strchr(mode, 'w') != nullptr || std::strchr(mode, 'a') != nullptr ||
                             std::strchr(mode, '+') != nullptr);
}

int OpenCommon(int dirfd, const char* path, int flags, mode_t mode, bool at) {
  using OpenAt = int (*)(int, const char*, int, ...);
  static const OpenAt realOpenAt = Next<OpenAt>("openat");
  bool track = false;
  if (OpensForWriting(flags)) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (UnderPrefix(Resolve(at ? dirfd : AT_FDCWD, path))) {
      if (CountAndDecide()) {
        return -1;
      }
      track = true;
    }
  }
  const int fd = realOpenAt(at ? dirfd : AT_FDCWD, path, flags, mode);
  if (track && fd >= 0) {
    std::lock_guard<std::mutex> lock(gMutex);
    gTrackedFds.insert(fd);
  }
  return fd;
}

bool FailTrackedFd(int fd) {
  std::lock_guard<std::mutex> lock(gMutex);
  return gArmed && gTrackedFds.count(fd) != 0 && CountAndDecide();
}

bool FailTrackedStream(FILE* stream) {
  std::lock_guard<std::mutex> lock(gMutex);
  return gArmed && gTrackedStreams.count(stream) != 0 && CountAndDecide();
}

mode_t ModeArgument(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

// The control entries, found by name (dlsym) by the test side.
__attribute__((visibility("default"))) void avm_faults_arm(const char* prefix, int nth, int error);
__attribute__((visibility("default"))) int avm_faults_disarm();
__attribute__((visibility("default"))) int avm_faults_fired();

__attribute__((visibility("default"))) void avm_faults_arm(const char* prefix, int nth, int error) {
  std::lock_guard<std::mutex> lock(gMutex);
  gPrefix = prefix;
  gNth = nth;
  gError = error;
  gCount = 0;
  gFired = false;
  gTrackedFds.clear();
  gTrackedStreams.clear();
  gArmed = true;
}

__attribute__((visibility("default"))) int avm_faults_disarm() {
  std::lock_guard<std::mutex> lock(gMutex);
  gArmed = false;
  gTrackedFds.clear();
  gTrackedStreams.clear();
  return gCount;
}

__attribute__((visibility("default"))) int avm_faults_fired() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gFired ? 1 : 0;
}

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenCommon(AT_FDCWD, path, flags, mode, false);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenCommon(AT_FDCWD, path, flags, mode, false);
}

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenCommon(dirfd, path, flags, mode, true);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return OpenCommon(dirfd, path, flags, mode, true);
}

int creat(const char* path, mode_t mode) {
  return OpenCommon(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode, false);
}

FILE* fopen(const char* path, const char* mode) {
  using FOpen = FILE* (*)(const char*, const char*);
  static const FOpen realFOpen = Next<FOpen>("fopen");
  bool track = false;
  if (ModeWrites(mode)) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (UnderPrefix(Resolve(AT_FDCWD, path))) {
      if (CountAndDecide()) {
        return nullptr;
      }
      track = true;
    }
  }
  FILE* stream = realFOpen(path, mode);
  if (track && stream != nullptr) {
    std::lock_guard<std::mutex> lock(gMutex);
    gTrackedStreams.insert(stream);
    gTrackedFds.insert(fileno(stream));
  }
  return stream;
}

FILE* fopen64(const char* path, const char* mode) { return fopen(path, mode); }

ssize_t write(int fd, const void* buffer, size_t count) {
  using Write = ssize_t (*)(int, const void*, size_t);
  static const Write realWrite = Next<Write>("write");
  if (FailTrackedFd(fd)) {
    return -1;
  }
  return realWrite(fd, buffer, count);
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
  using FWrite = size_t (*)(const void*, size_t, size_t, FILE*);
  static const FWrite realFWrite = Next<FWrite>("fwrite");
  if (FailTrackedStream(stream)) {
    return 0;
  }
  return realFWrite(buffer, size, count, stream);
}

int fflush(FILE* stream) {
  using FFlush = int (*)(FILE*);
  static const FFlush realFFlush = Next<FFlush>("fflush");
  if (stream != nullptr && FailTrackedStream(stream)) {
    return EOF;
  }
  return realFFlush(stream);
}

int fsync(int fd) {
  using FSync = int (*)(int);
  static const FSync realFSync = Next<FSync>("fsync");
  if (FailTrackedFd(fd)) {
    return -1;
  }
  return realFSync(fd);
}

int close(int fd) {
  using Close = int (*)(int);
  static const Close realClose = Next<Close>("close");
  {
    std::lock_guard<std::mutex> lock(gMutex);
    gTrackedFds.erase(fd);
  }
  return realClose(fd);
}

int fclose(FILE* stream) {
  using FClose = int (*)(FILE*);
  static const FClose realFClose = Next<FClose>("fclose");
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gTrackedStreams.erase(stream) != 0) {
      gTrackedFds.erase(fileno(stream));
    }
  }
  return realFClose(stream);
}

int rename(const char* from, const char* to) {
  using Rename = int (*)(const char*, const char*);
  static const Rename realRename = Next<Rename>("rename");
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if ((UnderPrefix(Resolve(AT_FDCWD, to)) || UnderPrefix(Resolve(AT_FDCWD, from))) &&
        CountAndDecide()) {
      return -1;
    }
  }
  return realRename(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  using RenameAt = int (*)(int, const char*, int, const char*);
  static const RenameAt realRenameAt = Next<RenameAt>("renameat");
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if ((UnderPrefix(Resolve(toDir, to)) || UnderPrefix(Resolve(fromDir, from))) &&
        CountAndDecide()) {
      return -1;
    }
  }
  return realRenameAt(fromDir, from, toDir, to);
}

}  // extern "C"
