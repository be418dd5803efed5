#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" void __sanitizer_report_error_summary(const char* summary) __attribute__((weak));

namespace fuzz {

const std::string& ScratchDirectory() {
  static const std::string directory = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/avm-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
      Fail("scratch", "cannot make a scratch folder");
    }
    return std::string(buffer.data()) + "/";
  }();
  return directory;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, std::size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = write(fd, data + done, size - done);
    if (written <= 0) {
      close(fd);
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return close(fd) == 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return false;
  }
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes->append(chunk, got);
  }
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool MakeDirectories(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at == path.size() || path[at] == '/') {
      const std::string prefix = path.substr(0, at);
      if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
        return false;
      }
    }
  }
  return true;
}

void RemoveTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) {
    return;
  }
  if (S_ISDIR(info.st_mode)) {
    DIR* folder = opendir(path.c_str());
    if (folder != nullptr) {
      while (const dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
          RemoveTree(path + "/" + entry->d_name);
        }
      }
      closedir(folder);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

namespace {

void ListInto(const std::string& root, const std::string& relative, std::vector<std::string>* out) {
  DIR* folder = opendir((root + relative).c_str());
  if (folder == nullptr) {
    return;
  }
  while (const dirent* entry = readdir(folder)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
      continue;
    }
    const std::string name = relative.empty() ? entry->d_name : relative + "/" + entry->d_name;
    out->push_back(name);
    struct stat info;
    if (lstat((root + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      ListInto(root, name, out);
    }
  }
  closedir(folder);
}

}  // namespace

std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> paths;
  ListInto(root.back() == '/' ? root : root + "/", "", &paths);
  return paths;
}

void Fail(const char* target, const char* what) {
  // The fuzzer closes the target's standard error; the sanitizer's report
  // channel stays open, so the reason reaches the log through it as well.
  char summary[512];
  std::snprintf(summary, sizeof(summary), "fuzz target %s: %s", target, what);
  if (__sanitizer_report_error_summary != nullptr) {
    __sanitizer_report_error_summary(summary);
  }
  std::fprintf(stderr, "%s\n", summary);
  std::fflush(stderr);
  std::abort();
}

uint8_t ByteReader::U8() { return offset_ < size_ ? data_[offset_++] : 0; }

uint16_t ByteReader::U16() {
  const uint16_t low = U8();
  return static_cast<uint16_t>(low | (U8() << 8));
}

uint32_t ByteReader::U32() {
  const uint32_t low = U16();
  return low | (static_cast<uint32_t>(U16()) << 16);
}

std::vector<uint8_t> ByteReader::Bytes(std::size_t count) {
  const std::size_t take = count < size_ - offset_ ? count : size_ - offset_;
  std::vector<uint8_t> bytes(data_ + offset_, data_ + offset_ + take);
  offset_ += take;
  return bytes;
}

}  // namespace fuzz
