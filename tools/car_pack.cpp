// avm-car-pack: packs a car directory into a car package.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/lib/car_package.h"
#include "tools/lib/exit_codes.h"
#include "tools/lib/file_util.h"

namespace {

const char kUsage[] =
    "usage: avm-car-pack CAR_DIR [PACKAGE]\n"
    "\n"
    "Packs every file below CAR_DIR into a car package. Entries are named\n"
    "<car>\\<path with backslashes>, where <car> is CAR_DIR's last component\n"
    "(the directory the renderer unpacks the car into), in byte order of their\n"
    "names. PACKAGE defaults to <car>.car in the current directory; its file\n"
    "name must be <car> plus a four-character extension such as \".car\",\n"
    "because the renderer finds the unpacked car by that name.\n"
    "  --help   this text\n"
    "\n"
    "Refused: symbolic links and special files, names with a backslash or a\n"
    "control character, entry names over 256 bytes, files over 1048572 bytes.\n"
    "\n"
    "Exit status: 0 written; 1 bad arguments; 2 a file could not be read or the\n"
    "package could not be written; 3 the directory holds something a package\n"
    "cannot carry, or PACKAGE is misnamed (nothing is written).\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "avm-car-pack: %s\n\n%s", problem.c_str(), kUsage);
  return tools::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> operands;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return tools::kExitOk;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      return Usage("unknown option '" + argument + "'");
    }
    operands.push_back(argument);
  }
  if (operands.empty() || operands.size() > 2) {
    return Usage("give a car directory and optionally the package to write");
  }
  const std::string directory = operands[0];
  const std::string car = tools::BaseName(directory);
  const std::string package = operands.size() == 2 ? operands[1] : car + ".car";
  const std::string file = tools::BaseName(package);
  if (file.size() != car.size() + 4 || file.compare(0, car.size(), car) != 0 || file[car.size()] != '.') {
    std::fprintf(stderr,
                 "avm-car-pack: the package of car '%s' must be named '%s' plus a four-character extension "
                 "(such as '%s.car'); '%s' would unpack under another name\n",
                 tools::Printable(car).c_str(), tools::Printable(car).c_str(), tools::Printable(car).c_str(),
                 tools::Printable(file).c_str());
    return tools::kExitRefused;
  }
  std::vector<tools::PackageEntry> entries;
  std::string error;
  switch (tools::CollectCarDirectory(directory, &entries, &error)) {
    case tools::CollectResult::kOk:
      break;
    case tools::CollectResult::kCannotRead:
      std::fprintf(stderr, "avm-car-pack: %s\n", error.c_str());
      return tools::kExitIo;
    case tools::CollectResult::kRefused:
      std::fprintf(stderr, "avm-car-pack: %s\n", error.c_str());
      return tools::kExitRefused;
  }
  const std::string bytes = tools::SerializePackage(entries);
  if (!tools::WriteFileReplacing(package, bytes, &error)) {
    std::fprintf(stderr, "avm-car-pack: %s\n", error.c_str());
    return tools::kExitIo;
  }
  std::printf("%s: %zu entries, %zu bytes\n", package.c_str(), entries.size(), bytes.size());
  return tools::kExitOk;
}
