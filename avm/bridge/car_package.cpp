#include "avm/bridge/car_package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <map>
#include <string>

#include "avm/common/avm_log.h"
#include "avm/common/path_format.h"
#include "avm/common/numbers.h"
#include "avm/common/regular_file.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// How one read from the package went.
enum class Read { kWhole, kNothing, kPart };

Read ReadExactly(FILE* file, void* buffer, std::size_t size) {
  const std::size_t got = std::fread(buffer, 1, size, file);
  if (got == size) {
    return Read::kWhole;
  }
  return got == 0 ? Read::kNothing : Read::kPart;
}

long long PackageLength(FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) {
    return -1;
  }
  const off_t length = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) {
    return -1;
  }
  return static_cast<long long>(length);
}

// The entry's path below destination as it is logged, with every
// backslash turned into a separator; false when it does not fit.
bool FormatEntryPath(const char* destination, const char* name, char* path, std::size_t capacity) {
  if (!FormatPath(path, capacity, "%s%s", destination, name)) {
    return false;
  }
  for (char* c = path + std::strlen(destination); *c != '\0'; ++c) {
    if (*c == '\\') {
      *c = '/';
    }
  }
  return true;
}

// Writes entries below the destination one directory at a time, never
// through a symbolic link: each directory is opened with O_NOFOLLOW from
// the one above it and the file itself is created the same way, so a link
// planted anywhere under the destination (a leftover, or one another
// package made) fails that entry instead of sending its bytes elsewhere.
// Directories opened for earlier entries are kept open, so each one is
// created and checked once per package (a car has a few dozen directories
// and hundreds of files).
class EntryWriter {
 public:
  explicit EntryWriter(const char* destination)
      : rootFd_(open(destination, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~EntryWriter() {
    CloseDirectories();
    if (rootFd_ >= 0) {
      close(rootFd_);
    }
  }
  EntryWriter(const EntryWriter&) = delete;
  EntryWriter& operator=(const EntryWriter&) = delete;

  // name as the package gives it: a directory is created before each
  // backslash, a forward slash only passes through an existing directory.
  // A name that ends in a separator, or is empty, names no file: its
  // directories are made and it succeeds when it carries no data. False
  // when a directory cannot be had, the file cannot be created or fully
  // written, or data has no file to go to.
  bool Write(const char* name, const uint8_t* data, std::size_t size) {
    int dirFd = rootFd_;
    std::string walked;  // directories passed, '/'-separated
    std::size_t componentStart = 0;
    for (std::size_t i = 0; dirFd >= 0 && name[i] != '\0'; ++i) {
      if (name[i] != '\\' && name[i] != '/') {
        continue;
      }
      const std::string component(name + componentStart, i - componentStart);
      componentStart = i + 1;
      if (component.empty() || component == ".") {
        continue;
      }
      walked += '/';
      walked += component;
      dirFd = Directory(walked, dirFd, component, name[i] == '\\');
    }
    if (dirFd < 0) {
      return false;
    }
    const char* leaf = name + componentStart;
    if (leaf[0] == '\0') {
      return size == 0;
    }
    // The data goes to a temporary file beside the file and is renamed over
    // it only once complete: a full or failing disk then leaves the file of
    // the previous unpack whole instead of cut (the car keeps working until
    // the next unpack succeeds). Only a plain file is replaced: a link,
    // folder or device planted at the name fails the entry.
    struct stat existing;
    if (fstatat(dirFd, leaf, &existing, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(existing.st_mode)) {
      return false;
    }
    char partName[32];
    const int fd = CreatePartFile(dirFd, partName, sizeof(partName));
    if (fd < 0) {
      return false;
    }
    struct stat info;
    bool written = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    for (std::size_t done = 0; written && done < size;) {
      const ssize_t wrote = write(fd, data + done, size - done);
      if (wrote < 0 && errno == EINTR) {
        continue;
      }
      written = wrote > 0;
      done += written ? static_cast<std::size_t>(wrote) : 0;
    }
    const bool closed = close(fd) == 0;
    if (written && closed && renameat(dirFd, partName, dirFd, leaf) == 0) {
      return true;
    }
    unlinkat(dirFd, partName, 0);
    return false;
  }

 private:
  // The directory `component` inside parentFd (created first when asked),
  // opened without following a link; -1 when it cannot be had.
  int Directory(const std::string& walked, int parentFd, const std::string& component, bool create) {
    const auto known = opened_.find(walked);
    if (known != opened_.end()) {
      return known->second;
    }
    if (create && mkdirat(parentFd, component.c_str(), 0755) != 0 && errno != EEXIST) {
      return -1;
    }
    const int fd = openat(parentFd, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      return -1;
    }
    if (opened_.size() >= kMaxOpenDirectories) {
      // More directories than any car has: start the cache over rather than
      // hold many descriptors (the parent, already used, may go with it).
      CloseDirectories();
    }
    return opened_.emplace(walked, fd).first->second;
  }

  // A temporary file of a directory, created exclusively under the first
  // free name so that it never truncates or replaces what stands there (an
  // entry's file, or a link planted at the name); its name goes to `name`.
  static int CreatePartFile(int dirFd, char* name, std::size_t capacity) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int n = 0; n < kUnpackPartTries; ++n) {
      std::snprintf(name, capacity, "%s%d.part", kUnpackPartPrefix, n);
      const int fd = openat(dirFd, name, kFlags, 0666);
      if (fd >= 0 || errno != EEXIST) {
        return fd;
      }
    }
    return -1;
  }

  void CloseDirectories() {
    for (const auto& entry : opened_) {
      close(entry.second);
    }
    opened_.clear();
  }

  static constexpr std::size_t kMaxOpenDirectories = 64;
  int rootFd_;
  std::map<std::string, int> opened_;
};

class PackageReader {
 public:
  PackageReader(FILE* file, const char* package, const char* destination, uint8_t* buffer)
      : file_(file), package_(package), destination_(destination), buffer_(buffer),
        writer_(destination) {}

  // Unpacks entries until the package ends or one is malformed. An entry
  // that cannot be written is skipped; the loss is reported at the end.
  int Run() {
    for (;;) {
      uint8_t lengthBytes[4];
      const Read read = ReadExactly(file_, lengthBytes, sizeof(lengthBytes));
      if (read == Read::kNothing && std::ferror(file_) == 0) {
        AVM_LOGI("load car,read %s end!", package_);
        break;
      }
      if (read != Read::kWhole) {
        return Damaged("ends inside an entry");
      }
      const int result = UnpackEntry(LittleEndian32(lengthBytes));
      if (result != kUnpackDone) {
        return result;
      }
    }
    if (entriesLost_ > 0) {
      AVM_LOGI("load car,%s %d entries not written", package_, entriesLost_);
      return kUnpackDamaged;
    }
    return kUnpackDone;
  }

 private:
  int Damaged(const char* why) {
    AVM_LOGI("load car,%s damaged:%s", package_, why);
    return kUnpackDamaged;
  }

  int UnpackEntry(int32_t nameLength) {
    if (nameLength < 0 || nameLength > kMaxPackageNameLength) {
      AVM_LOGI("load car,%s bad name length:%d", package_, nameLength);
      return kUnpackDamaged;
    }
    char name[kMaxPackageNameLength + 1];
    if (ReadExactly(file_, name, static_cast<std::size_t>(nameLength)) != Read::kWhole) {
      return Damaged("ends inside an entry name");
    }
    name[nameLength] = '\0';
    uint8_t lengthBytes[4];
    if (ReadExactly(file_, lengthBytes, sizeof(lengthBytes)) != Read::kWhole) {
      return Damaged("ends before an entry's data length");
    }
    const int32_t dataLength = LittleEndian32(lengthBytes);
    if (dataLength < 0 || dataLength > kMaxPackageDataLength) {
      AVM_LOGI("load car,%s bad data length:%d", package_, dataLength);
      return kUnpackDamaged;
    }
    const std::size_t dataSize = static_cast<std::size_t>(dataLength);
    if (ReadExactly(file_, buffer_, dataSize + sizeof(kPackageTrailer)) != Read::kWhole) {
      return Damaged("ends inside an entry's data");
    }
    if (std::memcmp(buffer_ + dataSize, kPackageTrailer, sizeof(kPackageTrailer)) != 0) {
      AVM_LOGI("load car,%s crc error.", package_);
      return kUnpackDamaged;
    }
    // Checked before anything of the entry is written: the name must not
    // lead out of the destination.
    if (!PackageEntryNameIsSafe(name, static_cast<std::size_t>(nameLength))) {
      AVM_LOGI("load car,%s unsafe entry name refused:%.*s", package_, nameLength, name);
      return kUnpackDamaged;
    }
    // The destination is the root of every name: separators in front lead
    // nowhere else.
    const char* relative = name;
    while (IsSeparator(*relative)) {
      ++relative;
    }
    char path[kPathBufferSize];
    if (!FormatEntryPath(destination_, relative, path, sizeof(path))) {
      AVM_LOGI("load car,%s entry path too long:%s", package_, relative);
      ++entriesLost_;
    } else if (!writer_.Write(relative, buffer_, dataSize)) {
      AVM_LOGI("load car,write %s fail", path);
      ++entriesLost_;
    }
    return kUnpackDone;
  }

  FILE* file_;
  const char* package_;
  const char* destination_;
  uint8_t* buffer_;
  EntryWriter writer_;
  int entriesLost_ = 0;
};

}  // namespace

bool PackageEntryNameIsSafe(const char* name, std::size_t length) {
  if (name == nullptr && length > 0) {
    return false;
  }
  if (length > 0 && std::memchr(name, '\0', length) != nullptr) {
    return false;  // the path would end early, at another file than named
  }
  std::size_t componentStart = 0;
  for (std::size_t i = 0; i <= length; ++i) {
    if (i == length || IsSeparator(name[i])) {
      if (i - componentStart == 2 && name[componentStart] == '.' && name[componentStart + 1] == '.') {
        return false;
      }
      componentStart = i + 1;
    }
  }
  return true;
}

int UnpackFiles(const char* package, const char* destination) {
  FILE* file = OpenRegularFile(package);
  AVM_LOGI("load car:%s", package);
  if (file == nullptr) {
    AVM_LOGI("load car %s failed!can not open file.", package);
    return kUnpackCannotOpen;
  }
  const long long length = PackageLength(file);
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kPackageBufferSize]);
  AVM_LOGI("load car:len:%d", static_cast<int>(length > INT_MAX ? INT_MAX : length));
  int result = kUnpackDamaged;
  if (length < 0) {
    AVM_LOGI("load car,%s cannot be read", package);
  } else if (buffer == nullptr) {
    AVM_LOGI("load car,%s no memory for the buffer", package);
  } else {
    result = PackageReader(file, package, destination, buffer.get()).Run();
  }
  std::fclose(file);
  return result;
}
