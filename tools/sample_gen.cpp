// avm-sample-gen: writes the sample asset tree (common/) and the sample car.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <opencv2/core.hpp>

#include "tools/lib/exit_codes.h"
#include "tools/lib/file_util.h"
#include "tools/lib/sample_car.h"
#include "tools/lib/sample_common.h"

namespace {

const char kUsage[] =
    "usage: avm-sample-gen [--assets DIR] [--car DIR]\n"
    "\n"
    "Writes the sample assets, the same bytes on every run.\n"
    "  --assets DIR  the shared pictures into DIR/common/: layer, icon and screen\n"
    "                pictures, plate and tyre-panel glyph sheets, plate.png and\n"
    "                the object mesh car.bin\n"
    "  --car DIR     the sample car into DIR (its last component is the car's\n"
    "                name, e.g. .../demo): 192 whole-car pictures, top pictures,\n"
    "                wheel, lamp and door overlays, beam and other-car pictures,\n"
    "                params.bin\n"
    "  --help        this text\n"
    "At least one of --assets and --car is needed. Existing files of the same\n"
    "names are replaced; nothing else is removed.\n"
    "\n"
    "Exit status: 0 written; 1 bad arguments; 2 a file could not be written or\n"
    "the model did not fit the car tables (the message says which).\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "avm-sample-gen: %s\n\n%s", problem, kUsage);
  return tools::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // One thread: the output must not depend on how work is shared out.
  cv::setNumThreads(1);
  std::string assets;
  std::string car;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return tools::kExitOk;
    }
    if ((argument == "--assets" || argument == "--car") && i + 1 < argc) {
      (argument == "--assets" ? assets : car) = argv[++i];
      if ((argument == "--assets" ? assets : car).empty()) {
        return Usage("an empty directory name was given");
      }
      continue;
    }
    return Usage(("unexpected argument '" + argument + "'").c_str());
  }
  if (assets.empty() && car.empty()) {
    return Usage("nothing to write: give --assets, --car or both");
  }
  const auto started = std::chrono::steady_clock::now();
  std::string error;
  if (!assets.empty()) {
    tools::CommonReport report;
    const std::string common = assets + "/common";
    if (!tools::MakeDirectories(common, &error) || !tools::WriteCommonPictures(common, &report, &error) ||
        !tools::WriteGlyphSheets(common, &report, &error) ||
        !tools::WriteObjectMesh(common + "/car.bin", &report, &error)) {
      std::fprintf(stderr, "avm-sample-gen: %s\n", error.c_str());
      return tools::kExitIo;
    }
    std::printf("common pictures: %d files, %zu bytes in %s\n", report.files, report.bytes, common.c_str());
  }
  if (!car.empty()) {
    tools::SampleCarReport report;
    if (!tools::WriteSampleCar(car, tools::SpriteSetup(), tools::TopSetup(), &report, &error)) {
      std::fprintf(stderr, "avm-sample-gen: %s\n", error.c_str());
      return tools::kExitIo;
    }
    const double rebuilt =
        report.overlayPixels == 0
            ? 100.0
            : 100.0 * static_cast<double>(report.overlayPixels - report.residualPixels) / report.overlayPixels;
    std::printf("sample car: %d files, %zu bytes in %s; %d overlays rebuild %.2f%% of the pixels their states change\n",
                report.files, report.bytes, car.c_str(), report.overlays, rebuilt);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("generated in %.1f s\n", seconds);
  return tools::kExitOk;
}
