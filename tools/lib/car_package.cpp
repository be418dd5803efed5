#include "tools/lib/car_package.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "tools/lib/file_util.h"
#include "tools/lib/le_bytes.h"

namespace tools {

namespace fs = std::filesystem;

std::string Printable(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string CheckEntryName(const std::string& name) {
  if (name.empty()) {
    return "the name is empty";
  }
  if (name.size() > static_cast<std::size_t>(kPackageMaxNameLength)) {
    return "the name is " + std::to_string(name.size()) + " bytes long; at most " +
           std::to_string(kPackageMaxNameLength) + " are allowed";
  }
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      return "the name holds a control character";
    }
    if (c == '/') {
      return "the name holds a '/'; directories are separated by backslashes";
    }
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find('\\', start);
    const std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (component.empty()) {
      return start == 0 ? "the name starts with a separator" : "the name has an empty component";
    }
    if (component == "." || component == "..") {
      return "the name has a '" + component + "' component";
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return "";
}

std::string EntryPath(const std::string& name) {
  const std::size_t start = name.find_first_not_of("\\/");
  return start == std::string::npos ? std::string() : name.substr(start);
}

bool EntryNamesNoFile(const std::string& name) {
  const std::string path = EntryPath(name);
  return path.empty() || path.back() == '\\';
}

std::string CheckStoredEntry(const std::string& name, std::size_t dataSize) {
  if (name.size() > static_cast<std::size_t>(kPackageMaxNameLength)) {
    return CheckEntryName(name);
  }
  const std::string path = EntryPath(name);
  if (!EntryNamesNoFile(name)) {
    return CheckEntryName(path);
  }
  if (dataSize > 0) {
    return "the entry names no file (" + std::string(path.empty() ? "an empty name" : "a directory") +
           ") but carries " + std::to_string(dataSize) + " bytes that would be lost";
  }
  return path.empty() ? std::string() : CheckEntryName(path.substr(0, path.size() - 1));
}

CollectResult CollectCarDirectory(const std::string& carDirectory, std::vector<PackageEntry>* entries,
                                  std::string* error) {
  entries->clear();
  std::error_code code;
  // The directory itself may be reached through a link; nothing inside it may.
  const fs::file_status top = fs::status(carDirectory, code);
  if (code || !fs::is_directory(top)) {
    *error = carDirectory + " is not a directory";
    return CollectResult::kCannotRead;
  }
  const std::string carName = BaseName(carDirectory);
  const std::string nameProblem = CheckEntryName(carName);
  if (!nameProblem.empty() || carName.find('\\') != std::string::npos) {
    *error = "the car directory's name '" + Printable(carName) + "' cannot begin a package entry" +
             (nameProblem.empty() ? std::string() : ": " + nameProblem);
    return CollectResult::kRefused;
  }

  std::vector<std::pair<std::string, std::string>> files;  // entry name, path
  fs::recursive_directory_iterator walk(carDirectory, fs::directory_options::none, code);
  if (code) {
    *error = "cannot list " + carDirectory + ": " + code.message();
    return CollectResult::kCannotRead;
  }
  for (const fs::recursive_directory_iterator end; walk != end; walk.increment(code)) {
    if (code) {
      *error = "cannot list " + carDirectory + ": " + code.message();
      return CollectResult::kCannotRead;
    }
    const fs::path path = walk->path();
    const fs::file_status status = fs::symlink_status(path, code);
    if (code) {
      *error = "cannot look at " + path.string() + ": " + code.message();
      return CollectResult::kCannotRead;
    }
    if (fs::is_directory(status)) {
      continue;
    }
    if (fs::is_symlink(status)) {
      *error = path.string() + " is a symbolic link; a package holds only plain files";
      return CollectResult::kRefused;
    }
    if (!fs::is_regular_file(status)) {
      *error = path.string() + " is not a plain file";
      return CollectResult::kRefused;
    }
    const fs::path relative = path.lexically_relative(carDirectory);
    std::string name = carName;
    for (const fs::path& component : relative) {
      const std::string text = component.string();
      if (text.find('\\') != std::string::npos) {
        *error = path.string() + ": a backslash in a file name would split it into directories when unpacked";
        return CollectResult::kRefused;
      }
      name += "\\" + text;
    }
    const std::string problem = CheckEntryName(name);
    if (!problem.empty()) {
      *error = path.string() + " cannot be packed as '" + Printable(name) + "': " + problem;
      return CollectResult::kRefused;
    }
    files.emplace_back(name, path.string());
  }
  // Byte order of the names, so that the package never depends on the order
  // in which the file system lists a directory.
  std::sort(files.begin(), files.end());
  for (const auto& [name, path] : files) {
    PackageEntry entry;
    entry.name = name;
    std::string readError;
    const ReadResult result =
        ReadWholeFile(path, static_cast<std::size_t>(kPackageMaxDataLength), &entry.data, &readError);
    if (result == ReadResult::kTooLarge) {
      *error = path + " is too large for a package entry (at most " + std::to_string(kPackageMaxDataLength) +
               " bytes): " + readError;
      return CollectResult::kRefused;
    }
    if (result != ReadResult::kOk) {
      *error = readError;
      return CollectResult::kCannotRead;
    }
    entries->push_back(std::move(entry));
  }
  return CollectResult::kOk;
}

std::string SerializePackage(const std::vector<PackageEntry>& entries) {
  std::string out;
  for (const PackageEntry& entry : entries) {
    AppendI32(&out, static_cast<std::int32_t>(entry.name.size()));
    out += entry.name;
    AppendI32(&out, static_cast<std::int32_t>(entry.data.size()));
    out += entry.data;
    out += kPackageTrailer;
  }
  return out;
}

std::string CarNameOfPackage(const std::string& packagePath) {
  const std::string file = BaseName(packagePath);
  return file.size() > 4 ? file.substr(0, file.size() - 4) : std::string();
}

bool PackageReader::ReadExactly(std::size_t count, std::string* into, bool* atEnd) {
  into->resize(count);
  std::size_t got = count == 0 ? 0 : std::fread(&(*into)[0], 1, count, file_);
  offset_ += got;
  *atEnd = got == 0 && count > 0;
  return got == count;
}

PackageReader::Step PackageReader::Next(PackageEntry* entry, std::string* error) {
  const std::uint64_t start = offset_;
  const std::string where = "entry " + std::to_string(entries_ + 1) + " at byte " + std::to_string(start);
  std::string field;
  bool atEnd = false;
  if (!ReadExactly(4, &field, &atEnd)) {
    if (atEnd && !std::ferror(file_)) {
      return Step::kEnd;
    }
    *error = std::ferror(file_) ? where + ": read error" : where + ": truncated inside the name length";
    return Step::kError;
  }
  const std::int32_t nameLength = ReadI32(Bytes(field));
  if (nameLength < 0 || nameLength > kPackageMaxNameLength) {
    *error = where + ": name length " + std::to_string(nameLength) + " is outside 0.." +
             std::to_string(kPackageMaxNameLength);
    return Step::kError;
  }
  if (!ReadExactly(static_cast<std::size_t>(nameLength), &entry->name, &atEnd)) {
    *error = where + ": truncated inside the name";
    return Step::kError;
  }
  // The name's own problems are told before the data is read; whether an
  // entry without a file may carry data is known only after.
  const std::string problem = CheckStoredEntry(entry->name, 0);
  if (!problem.empty()) {
    *error = where + ": refused name '" + Printable(entry->name) + "': " + problem;
    return Step::kError;
  }
  if (!ReadExactly(4, &field, &atEnd)) {
    *error = where + " ('" + entry->name + "'): truncated inside the data length";
    return Step::kError;
  }
  const std::int32_t dataLength = ReadI32(Bytes(field));
  if (dataLength < 0 || dataLength > kPackageMaxDataLength) {
    *error = where + " ('" + entry->name + "'): data length " + std::to_string(dataLength) + " is outside 0.." +
             std::to_string(kPackageMaxDataLength);
    return Step::kError;
  }
  if (!ReadExactly(static_cast<std::size_t>(dataLength), &entry->data, &atEnd)) {
    *error = where + " ('" + entry->name + "'): truncated inside the data (" + std::to_string(dataLength) +
             " bytes announced)";
    return Step::kError;
  }
  if (!ReadExactly(4, &field, &atEnd)) {
    *error = where + " ('" + entry->name + "'): truncated inside the trailer";
    return Step::kError;
  }
  if (field != kPackageTrailer) {
    *error = where + " ('" + entry->name + "'): the trailer is not 11 22 33 44";
    return Step::kError;
  }
  const std::string loss = CheckStoredEntry(entry->name, entry->data.size());
  if (!loss.empty()) {
    *error = where + " ('" + Printable(entry->name) + "'): " + loss;
    return Step::kError;
  }
  ++entries_;
  return Step::kEntry;
}

bool CheckEntrySet(const std::vector<std::string>& names, std::string* error) {
  std::set<std::string> files;
  std::set<std::string> directories;
  for (const std::string& name : names) {
    const std::string path = EntryPath(name);
    if (!EntryNamesNoFile(name) && !files.insert(path).second) {
      *error = "'" + Printable(path) + "' is in the package twice";
      return false;
    }
    for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
      directories.insert(path.substr(0, at));
    }
  }
  for (const std::string& name : files) {
    if (directories.count(name) != 0) {
      *error = "'" + Printable(name) + "' is both a file and the directory of other entries";
      return false;
    }
  }
  return true;
}

}  // namespace tools
