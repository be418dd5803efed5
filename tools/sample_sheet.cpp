// avm-sample-sheet: draws a contact sheet of a car directory.
#include <cstdio>
#include <string>

#include <opencv2/core.hpp>

#include "tools/lib/contact_sheet.h"
#include "tools/lib/exit_codes.h"

namespace {

const char kUsage[] =
    "usage: avm-sample-sheet CAR_DIR OUT.png\n"
    "\n"
    "Draws a contact sheet of a car directory for people to look at: the 192\n"
    "whole-car pictures each at its carCordCur place in the rendered frame,\n"
    "the top pictures with their door overlays, state pictures composed from\n"
    "the wheel, lamp and door overlays at their params.bin positions (pasted\n"
    "the way the renderer pastes them), and the beam and other-car pictures.\n"
    "  --help  this text\n"
    "\n"
    "Exit status: 0 written; 1 bad arguments; 2 a picture or params.bin could\n"
    "not be read or is unusable, or the sheet could not be written.\n";

}  // namespace

int main(int argc, char** argv) {
  cv::setNumThreads(1);
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return tools::kExitOk;
  }
  if (argc != 3) {
    std::fprintf(stderr, "avm-sample-sheet: give a car directory and the picture to write\n\n%s", kUsage);
    return tools::kExitUsage;
  }
  std::string error;
  if (!tools::WriteContactSheet(argv[1], argv[2], &error)) {
    std::fprintf(stderr, "avm-sample-sheet: %s\n", error.c_str());
    return tools::kExitIo;
  }
  std::printf("%s\n", argv[2]);
  return tools::kExitOk;
}
