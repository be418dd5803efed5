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
#include <set>
#include <string>

#include "avm/bridge/avm_log.h"
#include "avm/bridge/path_format.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

int32_t LittleEndian32(const uint8_t* bytes) {
  const uint32_t value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                         (static_cast<uint32_t>(bytes[2]) << 16) |
                         (static_cast<uint32_t>(bytes[3]) << 24);
  return static_cast<int32_t>(value);
}

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

// Opens the package for reading only when it is a regular file: a
// directory reads as an error and a pipe would block the caller (who holds
// the scene lock) for as long as nobody writes into it.
FILE* OpenPackage(const char* package) {
  const int fd = open(package, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
  }
  return file;
}

bool MakeDirectory(const char* path) {
  struct stat info;
  if (stat(path, &info) == 0) {
    return true;  // a file of that name makes the write below fail, logged there
  }
  return mkdir(path, 0755) == 0 || errno == EEXIST;
}

// The entry's path below destination, with every backslash turned into a
// separator and the directories before each one created. Directories
// already made for earlier entries of the same package are not asked for
// again (a car has a few dozen directories and hundreds of files).
bool PrepareEntryPath(const char* destination, const char* name, char* path, std::size_t capacity,
                      std::set<std::string>* madeDirectories) {
  if (!FormatPath(path, capacity, "%s%s", destination, name)) {
    return false;
  }
  const std::size_t nameStart = std::strlen(destination);
  for (std::size_t i = nameStart; path[i] != '\0'; ++i) {
    if (path[i] != '\\') {
      continue;
    }
    path[i] = '\0';
    if (madeDirectories->insert(path).second) {
      MakeDirectory(path);
    }
    path[i] = '/';
  }
  return true;
}

// Writes the whole data; a file that cannot be created, written, flushed or
// closed is a failure.
bool WriteEntryFile(const char* path, const uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

class PackageReader {
 public:
  PackageReader(FILE* file, const char* package, const char* destination, uint8_t* buffer)
      : file_(file), package_(package), destination_(destination), buffer_(buffer) {}

  // Unpacks entries until the package ends or one fails.
  int Run() {
    for (;;) {
      uint8_t lengthBytes[4];
      const Read read = ReadExactly(file_, lengthBytes, sizeof(lengthBytes));
      if (read == Read::kNothing && std::ferror(file_) == 0) {
        AVM_LOGI("load car,read %s end!", package_);
        return kUnpackDone;
      }
      if (read != Read::kWhole) {
        return Damaged("ends inside an entry");
      }
      const int result = UnpackEntry(LittleEndian32(lengthBytes));
      if (result != kUnpackDone) {
        return result;
      }
    }
  }

 private:
  int Damaged(const char* why) {
    AVM_LOGI("load car,%s damaged:%s", package_, why);
    return kUnpackDamaged;
  }

  int UnpackEntry(int32_t nameLength) {
    if (nameLength < 1 || nameLength > kMaxPackageNameLength) {
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
    char path[kPathBufferSize];
    if (!PrepareEntryPath(destination_, name, path, sizeof(path), &madeDirectories_)) {
      AVM_LOGI("load car,%s entry path too long:%s", package_, name);
      return kUnpackDamaged;
    }
    if (!WriteEntryFile(path, buffer_, dataSize)) {
      AVM_LOGI("load car,write %s fail", path);
      return kUnpackDamaged;
    }
    return kUnpackDone;
  }

  FILE* file_;
  const char* package_;
  const char* destination_;
  uint8_t* buffer_;
  std::set<std::string> madeDirectories_;
};

}  // namespace

bool PackageEntryNameIsSafe(const char* name, std::size_t length) {
  if (name == nullptr || length == 0 || IsSeparator(name[0])) {
    return false;
  }
  if (std::memchr(name, '\0', length) != nullptr) {
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
  FILE* file = OpenPackage(package);
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
