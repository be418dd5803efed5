#include "host/viewer/scratch_assets.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/lib/file_util.h"

namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// An absolute form of a path, without resolving links in its last part.
std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') {
    return path;
  }
  std::vector<char> here(4096);
  if (getcwd(here.data(), here.size()) == nullptr) {
    return path;
  }
  return std::string(here.data()) + "/" + path;
}

bool LinkCommonEntries(const std::string& from, const std::string& to, std::string* error) {
  DIR* folder = opendir(from.c_str());
  if (folder == nullptr) {
    *error = Reason("cannot read the common pictures in " + from);
    return false;
  }
  bool ok = true;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    // Other cars' packages are not needed, and the one to preview is
    // copied in by its own name.
    if (name == "." || name == ".." || EndsWith(name, ".car")) {
      continue;
    }
    if (symlink((from + name).c_str(), (to + name).c_str()) != 0) {
      *error = Reason("cannot link " + to + name);
      ok = false;
      break;
    }
  }
  closedir(folder);
  return ok;
}

int RemoveOne(const char* path, const struct stat*, int type, struct FTW*) {
  // FTW_PHYS reports links as links: removing one never touches its target.
  if (type == FTW_DP) {
    rmdir(path);
  } else {
    unlink(path);
  }
  return 0;
}

}  // namespace

bool MakeScratchAssets(const std::string& commonRoot, ScratchAssets* scratch, std::string* error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                        "/avm-viewer.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    *error = Reason("cannot make a scratch folder " + pattern);
    return false;
  }
  scratch->folder = name.data();
  scratch->root = scratch->folder + "/assets/";
  const std::string common = scratch->root + "common/";
  if (mkdir(scratch->root.c_str(), 0755) != 0 || mkdir(common.c_str(), 0755) != 0) {
    *error = Reason("cannot make " + common);
    return false;
  }
  std::string from = Absolute(commonRoot);
  if (from.back() != '/') {
    from += '/';
  }
  return LinkCommonEntries(from + "common/", common, error);
}

bool AddPackage(const ScratchAssets& scratch, const std::string& package, std::string* error) {
  const std::string copy = scratch.root + "common/" + tools::BaseName(package);
  std::FILE* in = std::fopen(package.c_str(), "rb");
  if (in == nullptr) {
    *error = Reason("cannot read " + package);
    return false;
  }
  std::FILE* out = std::fopen(copy.c_str(), "wb");
  if (out == nullptr) {
    *error = Reason("cannot write " + copy);
    std::fclose(in);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  for (;;) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
    if (got > 0 && std::fwrite(buffer.data(), 1, got, out) != got) {
      *error = Reason("cannot write " + copy);
      ok = false;
      break;
    }
    if (got < buffer.size()) {
      if (std::ferror(in)) {
        *error = Reason("cannot read " + package);
        ok = false;
      }
      break;
    }
  }
  std::fclose(in);
  if (std::fclose(out) != 0 && ok) {
    *error = Reason("cannot write " + copy);
    ok = false;
  }
  return ok;
}

bool AddCarDirectory(const ScratchAssets& scratch, const std::string& directory,
                     const std::string& carName, std::string* error) {
  const std::string cars = scratch.root + ".tmp";
  if (mkdir(cars.c_str(), 0755) != 0) {
    *error = Reason("cannot make " + cars);
    return false;
  }
  if (symlink(Absolute(directory).c_str(), (cars + "/" + carName).c_str()) != 0) {
    *error = Reason("cannot link " + cars + "/" + carName);
    return false;
  }
  return true;
}

void RemoveScratchAssets(const ScratchAssets& scratch) {
  if (!scratch.folder.empty()) {
    nftw(scratch.folder.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
  }
}
