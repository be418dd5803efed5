// avm-img-conv: converts pictures between PNG and the renderer's converted
// ".bin" form, and describes either.
#include <cstdio>
#include <string>

#include <opencv2/core.hpp>

#include "tools/lib/bin_image.h"
#include "tools/lib/exit_codes.h"
#include "tools/lib/file_util.h"
#include "tools/lib/png_codec.h"
#include "tools/lib/sample_marks.h"

namespace {

const char kUsage[] =
    "usage: avm-img-conv to-bin PNG BIN\n"
    "       avm-img-conv to-png BIN PNG\n"
    "       avm-img-conv info FILE\n"
    "\n"
    "The renderer keeps its glyph sheets (common/plate/*.bin,\n"
    "common/pressure/*.bin) as PNG files whose 8-byte signature is replaced by\n"
    "\"kes \" 30 0B 09 0C; the rest of the file is the PNG unchanged.\n"
    "  to-bin  makes BIN from PNG\n"
    "  to-png  makes PNG from BIN\n"
    "  info    prints the form, size and channels of a PNG or BIN file, and\n"
    "          the sample kit's mark when it carries one\n"
    "  --help  this text\n"
    "The input must decode as a picture. Files over 512000 bytes are refused:\n"
    "the renderer converts in a buffer of that size and could not refresh such\n"
    "a sheet. So are pictures whose header states more than 4096 x 4096 pixels\n"
    "(read before anything is decoded). The output is replaced as a whole,\n"
    "never left half-written.\n"
    "Plate sheets must have three channels, tyre-panel pictures four.\n"
    "\n"
    "Exit status: 0 done; 1 bad arguments; 2 a file could not be read or\n"
    "written; 3 the input was refused (not PNG / not converted, undecodable,\n"
    "too large).\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "avm-img-conv: %s\n\n%s", problem.c_str(), kUsage);
  return tools::kExitUsage;
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "avm-img-conv: %s\n", message.c_str());
  return status;
}

// Reads a picture file within the working limit and decodes it.
int Load(const std::string& path, std::string* bytes, cv::Mat* picture) {
  std::string error;
  switch (tools::ReadWholeFile(path, tools::kBinWorkingLimit, bytes, &error)) {
    case tools::ReadResult::kOk:
      break;
    case tools::ReadResult::kTooLarge:
      return Fail(tools::kExitRefused, error + "; the renderer converts pictures of at most 512000 bytes");
    default:
      return Fail(tools::kExitIo, error);
  }
  if (!tools::HasPngSignature(*bytes) && !tools::HasBinMagic(*bytes)) {
    return Fail(tools::kExitRefused, path + " is neither a PNG nor a converted picture");
  }
  if (!tools::DecodeImage(*bytes, picture, &error)) {
    return Fail(tools::kExitRefused, path + ": " + error);
  }
  return tools::kExitOk;
}

std::string Describe(const cv::Mat& picture) {
  return std::to_string(picture.cols) + " x " + std::to_string(picture.rows) + ", " +
         std::to_string(picture.channels()) + " channel" + (picture.channels() == 1 ? "" : "s") +
         (picture.depth() == CV_8U ? ", 8-bit" : ", not 8-bit");
}

int Convert(bool toBin, const std::string& in, const std::string& out) {
  std::string bytes;
  cv::Mat picture;
  const int loaded = Load(in, &bytes, &picture);
  if (loaded != tools::kExitOk) {
    return loaded;
  }
  std::string converted;
  std::string error;
  if (!(toBin ? tools::PngToBin(bytes, &converted, &error) : tools::BinToPng(bytes, &converted, &error))) {
    return Fail(tools::kExitRefused, in + ": " + error);
  }
  if (!tools::WriteFileReplacing(out, converted, &error)) {
    return Fail(tools::kExitIo, error);
  }
  std::printf("%s: %s (%zu bytes)\n", out.c_str(), Describe(picture).c_str(), converted.size());
  return tools::kExitOk;
}

int Info(const std::string& path) {
  std::string bytes;
  cv::Mat picture;
  const int loaded = Load(path, &bytes, &picture);
  if (loaded != tools::kExitOk) {
    return loaded;
  }
  std::printf("%s: %s, %s (%zu bytes)\n", path.c_str(), tools::HasBinMagic(bytes) ? "converted" : "PNG",
              Describe(picture).c_str(), bytes.size());
  sample_marks::Mark mark;
  if (picture.depth() == CV_8U &&
      sample_marks::ReadMark(picture.ptr<std::uint8_t>(0), picture.cols, picture.rows, picture.channels(), &mark)) {
    std::printf("mark: kind %d angle %d group %d number %d frame %d steer %d\n", mark.kind, mark.angle, mark.group,
                mark.number, mark.frame, mark.steer);
  }
  return tools::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // One thread: the output must not depend on how work is shared out.
  cv::setNumThreads(1);
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return tools::kExitOk;
  }
  if (argc < 2) {
    return Usage("give a command");
  }
  const std::string command = argv[1];
  if (command == "to-bin" || command == "to-png") {
    if (argc != 4) {
      return Usage(command + " takes an input and an output file");
    }
    return Convert(command == "to-bin", argv[2], argv[3]);
  }
  if (command == "info") {
    if (argc != 3) {
      return Usage("info takes one file");
    }
    return Info(argv[2]);
  }
  return Usage("unknown command '" + command + "'");
}
