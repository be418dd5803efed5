// avm-car-list: lists and checks a car package, and unpacks it on request.
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tools/lib/car_package.h"
#include "tools/lib/exit_codes.h"
#include "tools/lib/file_util.h"
#include "tools/lib/package_extract.h"

namespace {

const char kUsage[] =
    "usage: avm-car-list [--quiet] [--extract DIR] PACKAGE\n"
    "\n"
    "Prints the entries of a car package, one per line (data bytes, then the\n"
    "name as stored), and checks it:\n"
    "  - every entry whole: name length 0..256, data length 0..1048572, the\n"
    "    trailer 11 22 33 44, nothing cut off at the end;\n"
    "  - every name a safe relative path once the separators in front of it\n"
    "    are dropped (the renderer ignores them): backslash separators, no\n"
    "    empty, '.' or '..' component, no '/', no control character; no file\n"
    "    twice and none both a file and a directory; a name that ends in a\n"
    "    backslash (a directory entry) or is empty writes no file and must\n"
    "    carry no data;\n"
    "  - a usable car: all names under one directory, named as the package\n"
    "    without its four-character extension; <car>\\params.bin larger than\n"
    "    1024 bytes and the marker <car>\\tires\\right_30\\f5.kes larger than\n"
    "    512 bytes (a marker under 1000 bytes is reported: such a package is\n"
    "    unpacked again at every start).\n"
    "  --quiet        no entry lines, only problems and the summary\n"
    "  --extract DIR  also writes the files below DIR (created when missing),\n"
    "                 only when every check passed; never outside DIR\n"
    "  --help         this text\n"
    "\n"
    "Exit status: 0 good; 1 bad arguments; 2 a file could not be read or\n"
    "written; 3 the package is malformed or hostile; 4 well-formed but not a\n"
    "usable car. Nothing is extracted unless the status would be 0.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "avm-car-list: %s\n\n%s", problem.c_str(), kUsage);
  return tools::kExitUsage;
}

struct Listed {
  std::string name;
  std::size_t size = 0;
};

// Opens a package for reading; only plain files (a directory, a pipe or a
// device is no package, and reading one could block or never end).
std::FILE* OpenPackage(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fprintf(stderr, "avm-car-list: cannot open %s: not a plain file\n", path.c_str());
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "avm-car-list: cannot open %s\n", path.c_str());
  }
  return file;
}

// Reads the whole package once; false with *status set on any problem.
bool ReadAll(const std::string& path, std::vector<Listed>* listed, int* status) {
  std::FILE* file = OpenPackage(path);
  if (file == nullptr) {
    *status = tools::kExitIo;
    return false;
  }
  tools::PackageReader reader(file);
  tools::PackageEntry entry;
  std::string error;
  for (;;) {
    const tools::PackageReader::Step step = reader.Next(&entry, &error);
    if (step == tools::PackageReader::Step::kEnd) {
      break;
    }
    if (step == tools::PackageReader::Step::kError) {
      std::fprintf(stderr, "avm-car-list: %s: %s\n", path.c_str(), error.c_str());
      std::fclose(file);
      *status = tools::kExitRefused;
      return false;
    }
    listed->push_back({entry.name, entry.data.size()});
  }
  std::fclose(file);
  return true;
}

// The renderer's checks of an unpacked car, on the package's entries.
bool CheckCar(const std::string& path, const std::vector<Listed>& listed, std::string* car) {
  bool good = true;
  auto problem = [&](const std::string& text) {
    std::fprintf(stderr, "avm-car-list: %s: %s\n", path.c_str(), text.c_str());
    good = false;
  };
  *car = tools::CarNameOfPackage(path);
  if (car->empty()) {
    problem("the file name is too short to name a car (the renderer drops its last four characters)");
  }
  std::map<std::string, std::size_t> sizes;
  for (const Listed& entry : listed) {
    const std::string stored = tools::EntryPath(entry.name);
    if (stored.empty()) {
      continue;  // writes nothing
    }
    const std::string first = stored.substr(0, stored.find('\\'));
    if (first != *car || first.size() == stored.size()) {
      problem("entry '" + tools::Printable(entry.name) + "' does not lie in the car's directory '" +
              tools::Printable(*car) + "\\'");
      break;
    }
    if (!tools::EntryNamesNoFile(entry.name)) {
      sizes[stored.substr(first.size() + 1)] = entry.size;
    }
  }
  const auto params = sizes.find(tools::kCarParamsName);
  if (params == sizes.end() || params->second <= 1024) {
    problem(std::string("no ") + tools::kCarParamsName + " larger than 1024 bytes");
  }
  const auto marker = sizes.find(tools::kCarMarkerName);
  if (marker == sizes.end() || marker->second <= 512) {
    problem(std::string("no marker ") + tools::kCarMarkerName + " larger than 512 bytes");
  } else if (marker->second < 1000) {
    std::fprintf(stderr,
                 "avm-car-list: %s: note: the marker has %zu bytes, under 1000: the renderer unpacks this package "
                 "again at every start\n",
                 path.c_str(), marker->second);
  }
  return good;
}

int Extract(const std::string& path, const std::string& directory) {
  tools::ExtractDestination destination;
  std::string error;
  if (!destination.Open(directory, &error)) {
    std::fprintf(stderr, "avm-car-list: %s\n", error.c_str());
    return tools::kExitIo;
  }
  std::FILE* file = OpenPackage(path);
  if (file == nullptr) {
    return tools::kExitIo;
  }
  // The reader checks every entry again: the file may have changed since the
  // first pass.
  tools::PackageReader reader(file);
  tools::PackageEntry entry;
  int status = tools::kExitOk;
  for (;;) {
    const tools::PackageReader::Step step = reader.Next(&entry, &error);
    if (step == tools::PackageReader::Step::kEnd) {
      break;
    }
    if (step == tools::PackageReader::Step::kError) {
      std::fprintf(stderr, "avm-car-list: %s: %s\n", path.c_str(), error.c_str());
      status = tools::kExitRefused;
      break;
    }
    if (!destination.Write(entry.name, entry.data, &error)) {
      std::fprintf(stderr, "avm-car-list: %s\n", error.c_str());
      status = tools::kExitIo;
      break;
    }
  }
  std::fclose(file);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  bool quiet = false;
  std::string extract;
  std::string package;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return tools::kExitOk;
    }
    if (argument == "--quiet") {
      quiet = true;
    } else if (argument == "--extract") {
      if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
        return Usage("--extract needs a directory");
      }
      extract = argv[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      return Usage("unknown option '" + argument + "'");
    } else if (package.empty()) {
      package = argument;
    } else {
      return Usage("give one package");
    }
  }
  if (package.empty()) {
    return Usage("give the package to list");
  }
  std::vector<Listed> listed;
  int status = tools::kExitOk;
  if (!ReadAll(package, &listed, &status)) {
    return status;
  }
  std::vector<std::string> names;
  std::size_t bytes = 0;
  for (const Listed& entry : listed) {
    names.push_back(entry.name);
    bytes += entry.size;
  }
  std::string error;
  if (!tools::CheckEntrySet(names, &error)) {
    std::fprintf(stderr, "avm-car-list: %s: %s\n", package.c_str(), error.c_str());
    return tools::kExitRefused;
  }
  if (!quiet) {
    for (const Listed& entry : listed) {
      std::printf("%10zu  %s\n", entry.size, entry.name.c_str());
    }
  }
  std::string car;
  const bool usable = CheckCar(package, listed, &car);
  std::printf("%zu entries, %zu data bytes, car '%s'%s\n", listed.size(), bytes, tools::Printable(car).c_str(),
              usable ? "" : " (not usable)");
  if (!usable) {
    return tools::kExitNotACar;
  }
  if (!extract.empty()) {
    return Extract(package, extract);
  }
  return tools::kExitOk;
}
